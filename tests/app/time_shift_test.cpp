// The TIME Shift answer rules, one row per rule: what a typed answer gives.
#include <gtest/gtest.h>

#include <string_view>

#include "u_main.h"

namespace {

struct Tcase {
    const char* name;
    std::string_view answer;
    std::int32_t shift;
};

// Full-width "－３" and "５" as 8-bit (UTF-8) text.
constexpr std::string_view kFullWidthMinusThree = "\xEF\xBC\x8D\xEF\xBC\x93";
constexpr std::string_view kFullWidthFive = "\xEF\xBC\x95";

const Tcase kCases[] = {
    {"plain number", "5", 5},
    {"lowest shift", "-24", -24},
    {"highest shift", "24", 24},
    {"zero", "0", 0},
    {"plus sign", "+3", 3},
    {"minus zero", "-0", 0},
    {"blanks around", "   7   ", 7},
    {"tabs and line ends around", "\t\r\n7\r\n", 7},
    {"every control byte is trimmed", std::string_view("\x01\x1F 8\x00", 4), 8},
    {"byte 0x80 and above is not a blank", "\xA0" "9", 0},
    {"one above the range", "25", 0},
    {"one below the range", "-25", 0},
    {"empty", "", 0},
    {"blanks only", "   ", 0},
    {"no digit", "abc", 0},
    {"sign without digits", "-", 0},
    {"blank after the sign stops reading", "- 5", 0},
    {"stops at a letter", "12abc", 12},
    {"stops at a decimal point", "3.5", 3},
    {"sign kept when reading stops", "-20x", -20},
    {"plus kept when reading stops", "+4 h", 4},
    {"stops early and out of range", "30x", 0},
    {"two signs", "--5", 0},
    {"inner blank stops reading", "1 2", 1},
    {"dollar hex", "$A", 10},
    {"0x hex", "0xA", 10},
    {"0X hex", "0X18", 24},
    {"x hex", "x18", 24},
    {"X hex small letters", "Xf", 15},
    {"hex out of range", "$1F", 0},
    {"hex stops at a non-hex letter", "$1G", 1},
    {"hex prefix without digits", "$", 0},
    {"0x without digits reads no digit", "0x", 0},
    {"no sign before a hex prefix", "-$A", 0},
    {"full-width minus three", kFullWidthMinusThree, 0},
    {"full-width digit", kFullWidthFive, 0},
    {"ten digits with leading zeros", "0000000024", 24},
    {"ten digits beyond 32 bits", "4294967301", 0},
    {"eleven digits", "12345678901", 0},
    {"leading zeros do not count toward the size", "00000000024", 24},
    {"eleven digits stopped early", "12345678901x", 0},
    {"thirty digits", "123456789012345678901234567890", 0},
    {"eleven hex digits", "$10000000005", 0},
    {"int32 limit", "2147483647", 0},
    {"int32 negative limit", "-2147483648", 0},
};

TEST(TimeShiftAnswer, GivesTheShiftOfEachRule) {
    for (const Tcase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hx::time_shift_from_answer(c.answer), c.shift);
    }
}

}  // namespace
