// Fuzz target: the TIME Shift answer parser of the window. The result always
// lies in -24..24; a whole number (sign and decimal digits, or a hexadecimal
// prefix and digits) gives its value when in range and 0 otherwise; any other
// answer gives the value of the digits read before reading stopped, or 0.
#include <cstdint>
#include <string_view>

#include "fuzz_common.h"
#include "time_shift.h"

namespace {

bool blank(char c) { return static_cast<unsigned char>(c) <= 32; }

int digit_value(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    const std::int32_t shift = hx::time_shift_from_answer(answer);
    HX_FUZZ_CHECK(shift >= -24 && shift <= 24);

    std::string_view t = answer;
    while (!t.empty() && blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && blank(t.back())) t.remove_suffix(1);
    int base = 10;
    bool minus = false;
    if (t.starts_with("0x") || t.starts_with("0X")) {
        base = 16;
        t.remove_prefix(2);
    } else if (t.starts_with('$') || t.starts_with('x') || t.starts_with('X')) {
        base = 16;
        t.remove_prefix(1);
    } else if (t.starts_with('+') || t.starts_with('-')) {
        minus = t.front() == '-';
        t.remove_prefix(1);
    }
    std::int64_t value = 0;  // saturates far beyond any shift
    std::size_t n = 0;
    for (; n < t.size() && digit_value(t[n], base) >= 0; ++n)
        value = value > (std::int64_t{1} << 40) ? value : value * base + digit_value(t[n], base);
    const bool whole = n > 0 && n == t.size();
    if (whole) {
        const std::int64_t v = minus ? -value : value;
        HX_FUZZ_CHECK(shift == (v >= -24 && v <= 24 ? v : 0));
    } else {
        // Whether the sign is kept when reading stops early is left open here.
        HX_FUZZ_CHECK((shift < 0 ? -shift : shift) == (value <= 24 ? value : 0));
        HX_FUZZ_CHECK(shift >= 0 || minus);
    }
    return 0;
}
