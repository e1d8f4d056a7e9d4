// What the fuzz targets share: a check that stops the fuzzer with the failed
// condition, so that libFuzzer keeps the input as a crash, and the text-line
// rules written plainly, as the reference the product's reader must match.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define HX_FUZZ_CHECK(cond)                                                                  \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);   \
            std::abort();                                                                    \
        }                                                                                    \
    } while (false)

namespace hx::fuzz {

// Lines end at LF, CR bytes are dropped, a Ctrl-Z where a line begins ends the
// file, and a file without any line reads as one empty line.
inline std::vector<std::string> lines_of(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < bytes.size() && bytes[i] != '\x1a') {
        const std::size_t lf = bytes.find('\n', i);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        std::string line;
        for (std::size_t k = i; k < end; ++k)
            if (bytes[k] != '\r') line.push_back(bytes[k]);
        lines.push_back(std::move(line));
        i = end + 1;
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
}

}  // namespace hx::fuzz
