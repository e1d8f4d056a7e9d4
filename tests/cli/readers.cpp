// Strict CSV and XML readers for the tests.
#include "readers.h"

#include <cstdint>

namespace hx::test {

std::optional<std::vector<std::vector<std::string>>> parse_csv(std::string_view s, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::size_t i = 0;
    while (i < s.size()) {
        std::string field;
        if (s[i] == '"') {
            ++i;
            for (;;) {
                if (i == s.size()) return fail("unclosed quote");
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i++];
            }
            if (i < s.size() && s[i] != ',' && s[i] != '\r') return fail("text after a closing quote");
        } else {
            while (i < s.size() && s[i] != ',' && s[i] != '\r') {
                if (s[i] == '"') return fail("quote inside an unquoted field");
                if (s[i] == '\n') return fail("bare LF");
                field += s[i++];
            }
        }
        row.push_back(std::move(field));
        if (i == s.size()) return fail("last record without CR LF");
        if (s[i] == ',') {
            ++i;
            if (i == s.size()) return fail("last record without CR LF");
            continue;
        }
        if (i + 1 >= s.size() || s[i + 1] != '\n') return fail("bare CR");
        i += 2;
        rows.push_back(std::move(row));
        row.clear();
    }
    return rows;
}

std::vector<const Txml_element*> Txml_element::all(std::string_view n) const {
    std::vector<const Txml_element*> found;
    for (const Txml_element& c : children) {
        if (c.name == n) found.push_back(&c);
        for (const Txml_element* d : c.all(n)) found.push_back(d);
    }
    return found;
}

std::string Txml_element::all_text() const {
    std::string t = text;
    for (const Txml_element& c : children) t += c.all_text();
    return t;
}

namespace {

class Txml_parser {
public:
    explicit Txml_parser(std::string_view s) : s_(s) {}

    std::optional<Txml_element> document(std::string* why) {
        std::optional<Txml_element> root;
        if (!utf8_xml_chars()) return fail(why);
        if (s_.substr(0, 5) == "<?xml") {
            std::size_t e = s_.find("?>");
            if (e == std::string_view::npos) return fail(why, "unclosed declaration");
            i_ = e + 2;
        }
        skip_misc();
        if (!at('<')) return fail(why, "no root element");
        Txml_element r;
        if (!element(r)) return fail(why);
        skip_misc();
        if (i_ != s_.size()) return fail(why, "content after the root element");
        return r;
    }

private:
    std::optional<Txml_element> fail(std::string* why, std::string reason = {}) {
        if (!reason.empty()) error_ = reason;
        if (why) *why = error_ + " at byte " + std::to_string(i_);
        return std::nullopt;
    }
    bool error(std::string reason) {
        error_ = std::move(reason);
        return false;
    }
    bool at(char c) const { return i_ < s_.size() && s_[i_] == c; }
    static bool name_char(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
    }
    void skip_space() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
    }
    // Blanks and comments between the parts of the prolog and after the root.
    void skip_misc() {
        for (;;) {
            skip_space();
            if (s_.substr(i_, 4) != "<!--") return;
            std::size_t e = s_.find("-->", i_ + 4);
            if (e == std::string_view::npos) return;
            i_ = e + 3;
        }
    }

    // Every byte sequence is UTF-8 and every character one that XML 1.0 allows.
    bool utf8_xml_chars() {
        for (std::size_t i = 0; i < s_.size();) {
            const auto b = static_cast<unsigned char>(s_[i]);
            std::uint32_t cp;
            std::size_t n;
            if (b < 0x80) cp = b, n = 1;
            else if ((b & 0xE0) == 0xC0) cp = b & 0x1F, n = 2;
            else if ((b & 0xF0) == 0xE0) cp = b & 0x0F, n = 3;
            else if ((b & 0xF8) == 0xF0) cp = b & 0x07, n = 4;
            else return i_ = i, error("byte that begins no UTF-8 character");
            if (i + n > s_.size()) return i_ = i, error("cut UTF-8 character");
            for (std::size_t k = 1; k < n; ++k) {
                const auto c = static_cast<unsigned char>(s_[i + k]);
                if ((c & 0xC0) != 0x80) return i_ = i, error("bad UTF-8 continuation");
                cp = (cp << 6) | (c & 0x3F);
            }
            const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
            if (cp < least[n]) return i_ = i, error("overlong UTF-8");
            const bool ok = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                            (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
            if (!ok) return i_ = i, error("character not allowed in XML");
            i += n;
        }
        return true;
    }

    bool name(std::string& out) {
        const std::size_t b = i_;
        while (i_ < s_.size() && name_char(s_[i_])) ++i_;
        if (i_ == b || (s_[b] >= '0' && s_[b] <= '9') || s_[b] == '-' || s_[b] == '.') return error("bad name");
        out.assign(s_.substr(b, i_ - b));
        return true;
    }

    // A reference after "&", appended resolved to `out`.
    bool reference(std::string& out) {
        const std::size_t e = s_.find(';', i_);
        if (e == std::string_view::npos || e - i_ > 10) return error("raw & or unterminated reference");
        const std::string_view r = s_.substr(i_, e - i_);
        static const std::map<std::string_view, char> kNamed = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        if (auto it = kNamed.find(r); it != kNamed.end()) {
            out += it->second;
        } else if (r.size() > 1 && r[0] == '#') {
            std::uint32_t cp = 0;
            const bool hex = r[1] == 'x';
            std::string_view digits = r.substr(hex ? 2 : 1);
            if (digits.empty()) return error("empty character reference");
            for (char c : digits) {
                int v = (c >= '0' && c <= '9') ? c - '0'
                        : hex && (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : hex && (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                         : -1;
                if (v < 0) return error("bad character reference");
                cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
                if (cp > 0x10FFFF) return error("character reference out of range");
            }
            const bool ok = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                            (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
            if (!ok) return error("character reference to a character XML does not allow");
            if (cp < 0x80) {
                out += static_cast<char>(cp);
            } else if (cp < 0x800) {
                out += static_cast<char>(0xC0 | (cp >> 6)), out += static_cast<char>(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                out += static_cast<char>(0xE0 | (cp >> 12));
                out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), out += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (cp >> 18)), out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), out += static_cast<char>(0x80 | (cp & 0x3F));
            }
        } else {
            return error("unknown entity");
        }
        i_ = e + 1;
        return true;
    }

    bool element(Txml_element& el) {
        ++i_;  // '<'
        if (!name(el.name)) return false;
        for (;;) {
            const std::size_t before = i_;
            skip_space();
            if (at('/') || at('>')) break;
            if (i_ == before) return error("no blank before an attribute");
            std::string an;
            if (!name(an)) return false;
            skip_space();
            if (!at('=')) return error("attribute without =");
            ++i_;
            skip_space();
            if (!at('"') && !at('\'')) return error("unquoted attribute value");
            const char q = s_[i_++];
            std::string value;
            while (!at(q)) {
                if (i_ == s_.size()) return error("unclosed attribute value");
                if (at('<')) return error("< in an attribute value");
                if (at('&')) {
                    ++i_;
                    if (!reference(value)) return false;
                } else {
                    value += s_[i_++];
                }
            }
            ++i_;
            if (!el.attrs.emplace(an, value).second) return error("repeated attribute " + an);
        }
        if (at('/')) {
            if (s_.substr(i_, 2) != "/>") return error("bad empty-element tag");
            i_ += 2;
            return true;
        }
        ++i_;  // '>'
        for (;;) {
            if (i_ >= s_.size()) return error("unclosed element " + el.name);
            if (s_.substr(i_, 2) == "</") {
                i_ += 2;
                std::string end;
                if (!name(end)) return false;
                if (end != el.name) return error("end tag " + end + " closes " + el.name);
                skip_space();
                if (!at('>')) return error("bad end tag");
                ++i_;
                return true;
            }
            if (s_.substr(i_, 4) == "<!--") {
                std::size_t e = s_.find("-->", i_ + 4);
                if (e == std::string_view::npos) return error("unclosed comment");
                i_ = e + 3;
            } else if (at('<')) {
                el.children.emplace_back();
                if (!element(el.children.back())) return false;
            } else if (at('&')) {
                ++i_;
                if (!reference(el.text)) return false;
            } else {
                if (s_.substr(i_, 3) == "]]>") return error("]]> in text");
                el.text += s_[i_++];
            }
        }
    }

    std::string_view s_;
    std::size_t i_ = 0;
    std::string error_;
};

}  // namespace

std::optional<Txml_element> parse_xml(std::string_view doc, std::string* why) {
    return Txml_parser(doc).document(why);
}

}  // namespace hx::test
