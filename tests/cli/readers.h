// Strict readers for what hxchart writes, so that tests check the files as a
// spreadsheet or a browser would take them: RFC 4180 CSV and well-formed XML.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hx::test {

// Rows of RFC 4180 text whose records end in CR LF; nullopt, with the reason
// in `why`, for a bare CR or LF outside quotes, a quote inside an unquoted
// field, text after a closing quote, an unclosed quote or a last record
// without CR LF.
std::optional<std::vector<std::vector<std::string>>> parse_csv(std::string_view text, std::string* why = nullptr);

struct Txml_element {
    std::string name;
    std::map<std::string, std::string> attrs;  // values with references resolved
    std::string text;                          // the element's own character data, resolved
    std::vector<Txml_element> children;

    // Every element named `name` at any depth below this one, in document order.
    std::vector<const Txml_element*> all(std::string_view name) const;
    // The element's text and that of everything below it.
    std::string all_text() const;
};

// The root element of a well-formed XML 1.0 document in UTF-8; nullopt, with
// the reason in `why`, for anything else: bytes that are not UTF-8 or not XML
// characters, unknown or malformed references, a raw "<" or "&", unbalanced
// or crossed tags, unquoted or repeated attributes, more than one root.
std::optional<Txml_element> parse_xml(std::string_view doc, std::string* why = nullptr);

}  // namespace hx::test
