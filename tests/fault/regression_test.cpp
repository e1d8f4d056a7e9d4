// Faults that the hardening work found in the core, one test each, named after
// what failed.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fault_support.h"
#include "hx_util2.h"
#include "testsupport.h"
#include "u_hx300.h"

namespace hx::fault {
namespace {

using test::Ttemp_dir;

// Detection kept 4096 bytes of a line and took a longer line that still fit
// its read buffer for a short one: a TXT header after 5000 blanks was not
// recognised (-1).
TEST(FaultFound, TxtHeaderAfterMoreBlanksThanDetectionKeeps) {
    Ttemp_dir dir;
    const std::string header = std::string(5000, ' ') + "mon day time  MHz";
    EXPECT_EQ(hx::check_log_type(dir.write_file("log.txt", "junk\r\n" + header + "\r\n")), hx::lt_txt);
    EXPECT_EQ(hx::header_line, header);
}

// The same fault cut an identifying line of 4097 bytes up to the read buffer
// at 4096 bytes: header_line lost its end, and a TXT layout the words there.
TEST(FaultFound, IdentifyingLineLongerThan4096BytesWasCut) {
    Ttemp_dir dir;
    const std::string txt = "mon day time" + std::string(5000, ' ') + "MHz";
    const std::string cabrillo = "START-OF-LOG: " + std::string(5000, 'v');
    EXPECT_EQ(hx::check_log_type(dir.write_file("log.txt", txt + "\r\n")), hx::lt_txt);
    EXPECT_EQ(hx::header_line, txt);
    hx::Tlayout layout{};
    hx::set_layout(hx::lt_txt, layout);
    EXPECT_EQ(layout.col_band, (hx::Tcolumn{5012, 4}));
    EXPECT_EQ(hx::check_log_type(dir.write_file("log.cbr", cabrillo + "\nQSO:\n")), hx::lt_cabrillo);
    EXPECT_EQ(hx::header_line, cabrillo);
}

// "." + name + ".XXXXXX" passed NAME_MAX for a report name of 248 to 255
// bytes, so a log whose name was 249 to 255 bytes long got -1 although its
// report could be written.
TEST(FaultFound, ReportOfALogWithA255ByteNameCouldNotBeCreated) {
    for (std::size_t length : {248u, 249u, 255u}) {
        SCOPED_TRACE(std::to_string(length) + "-byte log name");
        Ttemp_dir dir;
        const std::string name = std::string(length - 4, 'a') + ".ALL";
        const std::string log = dir.write_file(name, all_log({all_line("2008/01/05", "21:02")}));
        EXPECT_EQ(run(log), (Toutcome{1, hx::lt_all}));
        EXPECT_EQ(dir.list(), (std::vector<std::string>{name, name.substr(0, length - 4) + ".hx"}));
    }
}

// The line reader indexed p[at - 1] with at == 0 for a Ctrl-Z that begins
// the buffer: the unsigned index wrapped (pointer overflow, undefined
// behaviour; found by fuzz_detect under clang's UndefinedBehaviorSanitizer).
TEST(FaultFound, CtrlZThatBeginsTheFileWrappedTheIndexBeforeTheBuffer) {
    Ttemp_dir dir;
    for (const std::string& bytes : {all_log({all_line("2008/01/05", "21:02")}).insert(0, 1, '\x1a'),
                                     std::string("\x1a\xff\xff\xff\n\x07\x08\x80")}) {
        const std::string log = dir.write_file("c.ALL", bytes);
        const int fd = hx::open_log(log);
        ASSERT_GE(fd, 0);
        hx::Tline_reader reader(fd, log);
        std::vector<std::string> lines;
        for (std::string_view line; reader.next(line);) lines.emplace_back(line);
        ::close(fd);
        EXPECT_EQ(lines, std::vector<std::string>{""}) << "the file ends where it begins";
        EXPECT_EQ(run(log), (Toutcome{0, -1}));
    }
}

// column_end wrapped past 32 bits for a header word beyond 2 GB, and the TXT
// layout then subtracted from the wrapped value (signed overflow).
TEST(FaultFound, HeaderWordBeyondTwoGigabytesOverflowed) {
    const std::size_t size = (std::size_t{1} << 31) + 4096;
    void* area = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(area, MAP_FAILED);
    char* bytes = static_cast<char*>(area);
    const std::size_t at = (std::size_t{1} << 31) - 1;  // 1-based column 2^31
    std::memcpy(bytes + at, "MHz", 3);
    const std::string_view header(bytes, size);  // NUL bytes, then "MHz"

    EXPECT_EQ(hx::column_end(header, "MHz"), INT32_MAX);
    hx::Tlayout layout{};
    hx::layout_from_header(header, layout);
    EXPECT_EQ(layout.col_band, (hx::Tcolumn{INT32_MAX - 3, 4}));
    EXPECT_EQ(hx::take_field("short line", layout.col_band.start, layout.col_band.length), "");
    ::munmap(area, size);
}

}  // namespace
}  // namespace hx::fault
