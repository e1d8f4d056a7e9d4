// The text-line rules of every file the program reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "hx_util2.h"
#include "testsupport.h"

namespace {

std::vector<std::string> lines_of(std::string_view bytes, std::size_t keep = 4096) {
    hx::test::Ttemp_dir dir;
    std::string p = dir.write_file("f", bytes);
    int fd = ::open(p.c_str(), O_RDONLY);
    std::vector<std::string> out;
    {
        hx::Tline_reader r(fd, p, keep);
        std::string_view l;
        while (r.next(l)) out.emplace_back(l);
    }
    ::close(fd);
    return out;
}

using V = std::vector<std::string>;

TEST(LineReader, FollowsTheLineRules) {
    struct Case {
        const char* name;
        std::string input;
        V lines;
    } cases[] = {
        {"empty file reads as one empty line", "", {""}},
        {"text without final LF is one line", "abc", {"abc"}},
        {"final LF ends the last line", "abc\n", {"abc"}},
        {"blank line in the middle", "abc\n\nx\n", {"abc", "", "x"}},
        {"CR LF and LF give the same lines", "a\r\nb\nc\r\n", {"a", "b", "c"}},
        {"lone CR does not end a line and is dropped", "a\rb\n", {"ab"}},
        {"CR anywhere is dropped", "\r\ra\r\r\rb\r\r\n", {"ab"}},
        {"a file of CR bytes only is one empty line", "\r\r\r", {""}},
        {"Ctrl-Z at the start ends the file", "\x1a" "abc\n", {""}},
        {"Ctrl-Z after LF ends the file", "abc\n\x1a" "def\n", {"abc"}},
        {"Ctrl-Z inside a line is an ordinary byte", "a\x1a" "b\n", {"a\x1a" "b"}},
        {"Ctrl-Z after CR is inside the line", "a\n\r\x1a\n", {"a", "\x1a"}},
        {"NUL bytes are ordinary", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        {"only LFs", "\n\n", {"", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(lines_of(c.input), c.lines);
    }
}

TEST(LineReader, KeepsOnlyTheHeadOfALongLineAndReadsOn) {
    std::string big(3u << 20, 'x');  // longer than the read buffer
    big[0] = 'A';
    big[1] = '\r';
    V got = lines_of("first\n" + big + "\nlast", 8);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], "first");
    EXPECT_EQ(got[1], "Axxxxxxx");
    EXPECT_EQ(got[2], "last");
}

TEST(LineReader, LongLineOfCRsStillGivesTheBytesAfterThem) {
    std::string line(2u << 20, '\r');
    line += "tail";
    V got = lines_of(line + "\nnext\n", 4);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "tail");
    EXPECT_EQ(got[1], "next");
}

}  // namespace
