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

// Lines by the rules, written plainly: what the reader must give for `bytes`.
V plain_lines(std::string_view bytes) {
    V lines;
    std::size_t i = 0;
    while (i < bytes.size() && bytes[i] != '\x1a') {
        std::size_t lf = bytes.find('\n', i);
        std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        std::string line;
        for (std::size_t k = i; k < end; ++k)
            if (bytes[k] != '\r') line.push_back(bytes[k]);
        lines.push_back(line);
        i = end + 1;
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
}

// Over a megabyte of lines of every length, so that lines straddle the reads,
// the blocks the reader marks ahead and its buffer: CR LF ends, lone and
// doubled CR bytes, Ctrl-Z inside lines, lines longer than `keep`, and a
// Ctrl-Z that begins a line right where the first read ends.
TEST(LineReader, LinesAcrossReadsAndBlocksAreThoseOfThePlainReading) {
    std::uint64_t seed = 42;
    auto next = [&](std::uint64_t n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return (seed >> 33) % n;
    };
    std::string body;
    while (body.size() < (1400u << 10)) {
        std::size_t len = next(10) == 0 ? next(3000) : next(120);
        for (std::size_t k = 0; k < len; ++k) {
            const std::uint64_t r = next(5000);
            // Ctrl-Z only inside a line: where a line begins it would end the file.
            body.push_back(r == 0 ? '\r' : r < 20 && k > 0 ? '\x1a' : static_cast<char>('a' + r % 26));
        }
        // Mostly CR LF, as in real logs; the odd LF alone, CR CR LF or lone CR.
        const std::uint64_t end = next(100);
        body += end < 95 ? "\r\n" : end < 98 ? "\n" : end < 99 ? "\r\r\n" : "\r";
    }
    // Ctrl-Z beginning a line far into the file, and right after the first read.
    std::string ctrl_z_far = body;
    ctrl_z_far.replace(1000000, 2, "\n\x1a");
    std::string ctrl_z_at_read_end = body;
    ctrl_z_at_read_end.replace(16383, 2, "\n\x1a");

    for (const std::string& bytes : {body, ctrl_z_far, ctrl_z_at_read_end}) {
        for (std::size_t keep : {std::size_t{100}, std::size_t{4096}}) {
            SCOPED_TRACE(keep);
            V want = plain_lines(bytes);
            hx::test::Ttemp_dir dir;
            const std::string path = dir.write_file("f", bytes);
            // One line at a time, with cut().
            int fd = ::open(path.c_str(), O_RDONLY);
            {
                hx::Tline_reader r(fd, path, keep);
                std::string_view l;
                std::size_t n = 0;
                while (r.next(l)) {
                    ASSERT_LT(n, want.size());
                    ASSERT_EQ(l, std::string_view(want[n]).substr(0, keep)) << "line " << n + 1;
                    ASSERT_EQ(r.cut(), want[n].size() > keep) << "line " << n + 1;
                    ++n;
                }
                EXPECT_EQ(n, want.size());
            }
            ::close(fd);
            // The whole file at once.
            fd = ::open(path.c_str(), O_RDONLY);
            {
                hx::Tline_reader r(fd, path, keep);
                std::size_t n = 0;
                r.for_each([&](std::string_view l, std::uint64_t number) {
                    ASSERT_LT(n, want.size());
                    ASSERT_EQ(number, n + 1);
                    ASSERT_EQ(l, std::string_view(want[n]).substr(0, keep)) << "line " << n + 1;
                    ++n;
                });
                EXPECT_EQ(n, want.size());
            }
            ::close(fd);
        }
    }
}

}  // namespace
