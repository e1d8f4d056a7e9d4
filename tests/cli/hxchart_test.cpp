// hxchart run in-process: exit codes and the exact lines it prints.
#include <gtest/gtest.h>

#include <sstream>

#include "hxchart.h"
#include "testsupport.h"
#include "u_hx300.h"

namespace {

struct Tresult {
    int status;
    std::string out, err;
};

Tresult hxchart(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = hx::cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(Hxchart, CountsEachLogAndWritesItsReport) {
    hx::test::Ttemp_dir dir;
    std::string all = dir.write_file("contest.ALL", hx::test::read_file(HX_EXAMPLES "/contest.ALL"));
    std::string cbr = dir.write_file("contest2.cbr", hx::test::read_file(HX_EXAMPLES "/contest.cbr"));
    Tresult r = hxchart({all, cbr});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, all + ": MIVO (ALL), 175 QSOs, report " + dir.file("contest.hx") + "\n" + cbr +
                         ": Cabrilo, 44 QSOs, report " + dir.file("contest2.hx") + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(hx::test::same_bytes(hx::test::read_file(HX_TEST_DATA "/worked_example.hx"),
                                     dir.read_file("contest.hx")));
}

TEST(Hxchart, LogsThatFailOrAreNotCounted) {
    hx::test::Ttemp_dir dir;
    struct Case {
        const char* name;
        std::string path;
        std::string out, err;
    } cases[] = {
        {"missing", dir.file("none.ALL"), ": Unknown, 0 QSOs\n", ": cannot open the log: No such file or directory\n"},
        {"directory", dir.path(), ": Unknown, 0 QSOs\n", ": cannot open the log: is a directory\n"},
        {"not a log", dir.write_file("notes.log", "hello\n"), ": Unknown, 0 QSOs\n",
         ": not a recognised log (no identifying line)\n"},
        {"TXT listing", dir.write_file("l.txt", "mon day time\n"), ": MIVO (TXT), 0 QSOs\n",
         ": a MIVO (TXT) listing is recognised but not counted\n"},
        {"nothing countable", dir.write_file("e.ALL", "Mivo for Windows \r\n\r\n"),
         ": MIVO (ALL), 0 QSOs\n" + dir.file("e.ALL") + ": skipped 1 QSO line: 1 without a valid hour (line 2)\n",
         ": no countable QSO line; no report written\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tresult r = hxchart({c.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, c.path + c.out);
        EXPECT_EQ(r.err, "hxchart: " + c.path + c.err);
    }
}

TEST(Hxchart, ReportThatCannotBeWritten) {
    hx::test::Ttemp_dir dir;
    std::string all = dir.write_file("c.ALL", hx::test::read_file(HX_EXAMPLES "/contest.ALL"));
    ::mkdir(dir.file("c.hx").c_str(), 0755);
    Tresult r = hxchart({all});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, all + ": MIVO (ALL), -1 QSOs\n");
    EXPECT_EQ(r.err, "hxchart: " + all + ": cannot write the report " + dir.file("c.hx") + "\n");
}

TEST(Hxchart, PrintsSkippedLines) {
    hx::test::Ttemp_dir dir;
    std::string log = "Mivo for Windows \r\n2024/03/15 12:00\r\n\r\n2024/03/15 xx:00\r\n";
    Tresult r = hxchart({dir.write_file("s.ALL", log)});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("s.ALL: skipped 2 QSO lines: 2 without a valid hour (lines 3, 4)\n"), std::string::npos)
        << r.out;
}

TEST(Hxchart, Usage) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {{}, 2, "hxchart: no log given (see hxchart --help)\n"},
        {{"--shift", "25", "x"}, 2, "hxchart: --shift: '25' is not a whole number from -24 to 24\n"},
        {{"--shift=abc", "x"}, 2, "hxchart: --shift: 'abc' is not a whole number from -24 to 24\n"},
        {{"--shift"}, 2, "hxchart: --shift needs a value from -24 to 24\n"},
        {{"--bogus", "x"}, 2, "hxchart: unknown option '--bogus' (see hxchart --help)\n"},
    };
    for (const auto& c : cases) {
        Tresult r = hxchart(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
    Tresult help = hxchart({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--shift N"), std::string::npos);
    EXPECT_EQ(hxchart({"--version"}).out, "hxchart (HX) 4.0\n");
}

TEST(Hxchart, ShiftIsHandedToTheRun) {
    hx::test::Ttemp_dir dir;
    std::string all = dir.write_file("three_days.ALL", hx::test::read_file(HX_TEST_DATA "/three_days.ALL"));
    EXPECT_EQ(hxchart({"--shift", "-3", all}).status, 0);
    EXPECT_TRUE(hx::test::same_bytes(hx::test::read_file(HX_TEST_DATA "/three_days_m3.hx"), dir.read_file("three_days.hx")));
}

}  // namespace
