// The TIME Shift answer parser: 8-bit text in, a shift of -24..24 out.
#include "time_shift.h"

#include <algorithm>

namespace hx {
namespace {

bool is_blank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::int32_t time_shift_from_answer(std::string_view answer) {
    while (!answer.empty() && is_blank(answer.front())) answer.remove_prefix(1);
    while (!answer.empty() && is_blank(answer.back())) answer.remove_suffix(1);

    int base = 10;
    bool negative = false;
    if (answer.starts_with("0x") || answer.starts_with("0X")) {
        base = 16;
        answer.remove_prefix(2);
    } else if (answer.starts_with('$') || answer.starts_with('x') || answer.starts_with('X')) {
        base = 16;
        answer.remove_prefix(1);
    } else if (answer.starts_with('+') || answer.starts_with('-')) {
        negative = answer.front() == '-';
        answer.remove_prefix(1);
    }

    // Past 2^31 nothing can fall within -24..24 any more, so the value stops
    // growing there instead of overflowing.
    constexpr std::int64_t kBeyond = std::int64_t{1} << 31;
    std::int64_t value = 0;
    for (const char c : answer) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            break;
        }
        value = std::min(value * base + digit, kBeyond);
    }
    const std::int64_t v = negative ? -value : value;
    return v >= -24 && v <= 24 ? static_cast<std::int32_t>(v) : 0;
}

}  // namespace hx
