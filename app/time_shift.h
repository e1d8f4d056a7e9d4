// The TIME Shift answer parser of the window, kept apart from Qt so that the
// fuzzer and the tests build it alone.
#pragma once

#include <cstdint>
#include <string_view>

namespace hx {

// The shift a TIME Shift answer (8-bit text as typed) gives. Bytes 0..32 are
// trimmed from both ends. What is left is read as an optional sign and decimal
// digits, or as "$", "x", "X", "0x" or "0X" and hexadecimal digits with no
// sign. Reading stops quietly at the first byte that does not fit, keeping
// the digits (and the sign) read before it; no digit at all reads as 0. A
// value outside -24..24, one beyond 32 bits included, gives 0.
std::int32_t time_shift_from_answer(std::string_view answer);

}  // namespace hx
