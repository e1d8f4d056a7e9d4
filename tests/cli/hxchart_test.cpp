// hxchart run in-process: exit codes and the exact lines it prints, for one
// log and for batches, with the parse audit, --quiet, --print and progress.
#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "hxchart.h"
#include "testsupport.h"
#include "u_hx300.h"

namespace {

using hx::test::Ttemp_dir;

struct Tresult {
    int status;
    std::string out, err;
};

Tresult hxchart(std::vector<std::string> args, bool err_is_terminal = false) {
    std::ostringstream out, err;
    int status = hx::cli::run(args, out, err, err_is_terminal);
    return {status, out.str(), err.str()};
}

std::string example(const char* name) { return hx::test::read_file(std::string(HX_EXAMPLES "/") + name); }

// The per-log lines of `out`: "PATH: TYPE, N QSOs...".
std::vector<std::string> log_lines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
        for (const char* type : {": MIVO (", ": Cabrilo, ", ": Unknown, "})
            if (l.find(type) != std::string::npos) lines.push_back(l);
    return lines;
}

TEST(Hxchart, CountsEachLogAndWritesItsReport) {
    Ttemp_dir dir;
    std::string all = dir.write_file("contest.ALL", example("contest.ALL"));
    std::string cbr = dir.write_file("contest2.cbr", example("contest.cbr"));
    Tresult r = hxchart({all, cbr});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, all + ": MIVO (ALL), 175 QSOs, report " + dir.file("contest.hx") + "\n" + cbr +
                         ": Cabrilo, 44 QSOs, report " + dir.file("contest2.hx") + "\n" + cbr +
                         ": read 44 QSO lines by their fields, 0 by the template columns\n"
                         "2 logs: 2 counted (219 QSOs), 0 not recognised, 0 not counted, 0 failed\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(hx::test::same_bytes(hx::test::read_file(HX_TEST_DATA "/worked_example.hx"),
                                     dir.read_file("contest.hx")));
}

TEST(Hxchart, LogsThatFailOrAreNotCounted) {
    Ttemp_dir dir;
    struct Case {
        const char* name;
        std::string path;
        std::string out, err, summary;
    } cases[] = {
        {"missing", dir.file("none.ALL"), ": Unknown, 0 QSOs\n", ": cannot open the log: No such file or directory\n",
         "1 log: 0 counted (0 QSOs), 0 not recognised, 0 not counted, 1 failed\n"},
        {"directory", dir.path(), ": Unknown, 0 QSOs\n", ": cannot open the log: is a directory\n",
         "1 log: 0 counted (0 QSOs), 0 not recognised, 0 not counted, 1 failed\n"},
        {"not a log", dir.write_file("notes.log", "hello\n"), ": Unknown, 0 QSOs\n",
         ": not a recognised log (no identifying line)\n",
         "1 log: 0 counted (0 QSOs), 1 not recognised, 0 not counted, 0 failed\n"},
        {"empty file", dir.write_file("empty.ALL", ""), ": Unknown, 0 QSOs\n", ": not a recognised log (empty file)\n",
         "1 log: 0 counted (0 QSOs), 1 not recognised, 0 not counted, 0 failed\n"},
        {"TXT listing", dir.write_file("l.txt", "mon day time\n"), ": MIVO (TXT), 0 QSOs\n",
         ": a MIVO (TXT) listing is recognised but not counted\n",
         "1 log: 0 counted (0 QSOs), 0 not recognised, 1 not counted, 0 failed\n"},
        {"nothing countable", dir.write_file("e.ALL", "Mivo for Windows \r\n\r\n"),
         ": MIVO (ALL), 0 QSOs\n" + dir.file("e.ALL") + ": skipped 1 QSO line: 1 without a valid hour (line 2)\n",
         ": no countable QSO line; no report written\n",
         "1 log: 0 counted (0 QSOs), 0 not recognised, 1 not counted, 0 failed\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tresult r = hxchart({c.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, c.path + c.out + c.summary);
        EXPECT_EQ(r.err, "hxchart: " + c.path + c.err);
    }
}

TEST(Hxchart, ReportThatCannotBeWritten) {
    Ttemp_dir dir;
    std::string all = dir.write_file("c.ALL", example("contest.ALL"));
    ::mkdir(dir.file("c.hx").c_str(), 0755);
    Tresult r = hxchart({all});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, all + ": MIVO (ALL), -1 QSOs\n1 log: 0 counted (0 QSOs), 0 not recognised, 0 not counted, 1 failed\n");
    EXPECT_EQ(r.err, "hxchart: " + all + ": cannot write the report " + dir.file("c.hx") + "\n");
}

// Each bad input gets one line naming it and the reason; the logs after it
// are counted all the same.
TEST(Hxchart, BadInputNeverStopsTheOthers) {
    Ttemp_dir dir;
    ::mkdir(dir.file("大会 logs").c_str(), 0755);
    const std::string good1 = dir.write_file("first log.ALL", example("contest.ALL"));
    const std::string good2 = dir.write_file("大会 logs/コンテスト 1.cbr", example("contest.cbr"));
    const std::string missing = dir.file("none.cbr");
    const std::string empty = dir.write_file("empty.log", "");
    const std::string io_error = "/proc/self/mem";  // a regular file whose first read fails with EIO
    Tresult r = hxchart({missing, good1, dir.path(), io_error, empty, good2});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hxchart: " + missing + ": cannot open the log: No such file or directory\n"
                     "hxchart: " + dir.path() + ": cannot open the log: is a directory\n"
                     "hxchart: " + io_error + ": cannot read " + io_error + ": Input/output error\n"
                     "hxchart: " + empty + ": not a recognised log (empty file)\n");
    EXPECT_NE(r.out.find(good1 + ": MIVO (ALL), 175 QSOs, report " + dir.file("first log.hx") + "\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find(good2 + ": Cabrilo, 44 QSOs, report " + dir.file("大会 logs/コンテスト 1.hx") + "\n"),
              std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("6 logs: 2 counted (219 QSOs), 1 not recognised, 0 not counted, 3 failed\n")) << r.out;
    // The report names the log by its file name, bytes as they are.
    std::string expected = hx::test::read_file(HX_TEST_DATA "/contest_cbr.hx");
    expected.replace(expected.find("contest.cbr"), 11, "コンテスト 1.cbr");
    EXPECT_TRUE(hx::test::same_bytes(expected, dir.read_file("大会 logs/コンテスト 1.hx")));
}

// Root reads every file and folder, so the run goes to a child without
// privileges.
TEST(Hxchart, UnreadableLogAndFolderAreNamedWithTheirReason) {
    Ttemp_dir dir;
    ::chmod(dir.path().c_str(), 0777);
    const std::string locked = dir.write_file("locked.ALL", example("contest.ALL"));
    const std::string good = dir.write_file("good.ALL", example("contest.ALL"));
    const std::string folder = dir.file("locked");
    ::mkdir(folder.c_str(), 0755);
    dir.write_file("locked/hidden.ALL", example("contest.ALL"));
    ::chmod(locked.c_str(), 0);
    ::chmod(folder.c_str(), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        Tresult r = hxchart({"--quiet", "--recursive", dir.path()});
        const std::string msg = std::to_string(r.status) + "\n" + r.out + r.err;
        ssize_t n = ::write(fds[1], msg.data(), msg.size());
        ::_exit(n == static_cast<ssize_t>(msg.size()) ? 0 : 98);
    }
    ::close(fds[1]);
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ASSERT_TRUE(WIFEXITED(wstatus));
    ASSERT_EQ(WEXITSTATUS(wstatus), 0);
    EXPECT_EQ(got, "1\n"
                   "2 logs: 1 counted (175 QSOs), 0 not recognised, 0 not counted, 1 failed\n"
                   "hxchart: " + folder + ": cannot read the folder: Permission denied\n"
                   "hxchart: " + locked + ": cannot open the log: Permission denied\n");
    EXPECT_TRUE(hx::test::file_exists(dir.file("good.hx")));
}

TEST(Hxchart, RecursiveFindsLogsInAnyCaseInSortedOrder) {
    Ttemp_dir dir;
    const std::string top = dir.file("logs");
    ::mkdir(top.c_str(), 0755);
    ::mkdir((top + "/sub").c_str(), 0755);
    dir.write_file("logs/a.ALL", example("contest.ALL"));
    dir.write_file("logs/B.cbr", example("contest.cbr"));
    dir.write_file("logs/sub/c.Log", hx::test::read_file(HX_TEST_DATA "/three_days.ALL"));
    dir.write_file("logs/sub/notes.LOG", "not a log\n");
    dir.write_file("logs/readme.txt", "Mivo for Windows \r\n");  // not a log's name: left alone
    dir.write_file("logs/old.hx", "");
    dir.write_file("outside.ALL", example("contest.ALL"));
    ASSERT_EQ(::symlink("../outside.ALL", (top + "/link.all").c_str()), 0);
    ASSERT_EQ(::symlink("..", (top + "/sub/up").c_str()), 0);  // a cycle, never followed

    Tresult r = hxchart({"--recursive", top});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(log_lines(r.out), (std::vector<std::string>{
                                    top + "/B.cbr: Cabrilo, 44 QSOs, report " + top + "/B.hx",
                                    top + "/a.ALL: MIVO (ALL), 175 QSOs, report " + top + "/a.hx",
                                    top + "/link.all: MIVO (ALL), 175 QSOs, report " + top + "/link.hx",
                                    top + "/sub/c.Log: MIVO (ALL), 110 QSOs, report " + top + "/sub/c.hx",
                                    top + "/sub/notes.LOG: Unknown, 0 QSOs",
                                }));
    EXPECT_EQ(r.err, "hxchart: " + top + "/sub/notes.LOG: not a recognised log (no identifying line)\n");
    EXPECT_TRUE(r.out.ends_with("5 logs: 4 counted (504 QSOs), 1 not recognised, 0 not counted, 0 failed\n"))
        << r.out;
}

TEST(Hxchart, RecursiveFolderProblems) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("c.ALL", example("contest.ALL"));
    ::mkdir(dir.file("none").c_str(), 0755);
    dir.write_file("none/x.txt", "");
    struct Case {
        const char* name;
        std::string folder, err;
    } cases[] = {
        {"missing folder", dir.file("gone"), ": cannot read the folder: No such file or directory\n"},
        {"a file, not a folder", log, ": cannot read the folder: not a folder\n"},
        {"no logs under it", dir.file("none"), ": no *.ALL, *.cbr or *.log file under it\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The log named besides the folder is still counted.
        Tresult r = hxchart({"--recursive=" + c.folder, log});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "hxchart: " + c.folder + c.err);
        EXPECT_TRUE(r.out.ends_with("1 log: 1 counted (175 QSOs), 0 not recognised, 0 not counted, 0 failed\n"))
            << r.out;
    }
}

TEST(Hxchart, QuietPrintsOnlyFailuresAndTheSummary) {
    Ttemp_dir dir;
    const std::string cbr = dir.write_file("c.cbr", example("contest.cbr"));
    const std::string bad = dir.write_file("bad.ALL", "x\n");
    const std::string skips = dir.write_file("s.ALL", "Mivo for Windows \r\n2024/03/15 12:00\r\n\r\n");
    Tresult r = hxchart({"--quiet", cbr, bad, skips});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "3 logs: 2 counted (45 QSOs), 1 not recognised, 0 not counted, 0 failed\n");
    EXPECT_EQ(r.err, "hxchart: " + bad + ": not a recognised log (no identifying line)\n");
}

TEST(Hxchart, PrintWritesEachReportUnchanged) {
    Ttemp_dir dir;
    const std::string all = dir.write_file("contest.ALL", example("contest.ALL"));
    const std::string cbr = dir.write_file("other.cbr", example("contest.cbr"));
    Tresult r = hxchart({"--print", all, cbr});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(hx::test::same_bytes(dir.read_file("contest.hx") + dir.read_file("other.hx"), r.out));
    EXPECT_NE(r.out.find("\r\n"), std::string::npos);
    // With the reports on stdout, the per-log lines and the summary move to stderr.
    EXPECT_NE(r.err.find(all + ": MIVO (ALL), 175 QSOs, report "), std::string::npos) << r.err;
    EXPECT_TRUE(r.err.ends_with("2 logs: 2 counted (219 QSOs), 0 not recognised, 0 not counted, 0 failed\n"));
}

// Removes what a progress display writes: "\rTEXT" to show a line and
// "\r<blanks>\r" to erase it. Text that follows a shown line without an
// erase in between is removed with it, up to its LF.
std::string without_progress(const std::string& err) {
    std::string s;
    for (std::size_t i = 0; i < err.size();) {
        if (err[i] != '\r') {
            s += err[i++];
            continue;
        }
        const std::size_t b = ++i;
        while (i < err.size() && err[i] != '\r' && err[i] != '\n') ++i;
        const bool blanks = err.find_first_not_of(' ', b) >= i;
        if (blanks && i < err.size() && err[i] == '\r') ++i;
    }
    return s;
}

TEST(Hxchart, ProgressOnlyOnATerminalWithMoreThanOneLog) {
    Ttemp_dir dir;
    const std::string a = dir.write_file("a.ALL", example("contest.ALL"));
    const std::string bad = dir.write_file("b.ALL", "");
    struct Case {
        const char* name;
        bool terminal;
        std::vector<std::string> args;
        bool progress;
    } cases[] = {
        {"terminal, two logs", true, {a, bad}, true},
        {"terminal, two logs, quiet", true, {"--quiet", a, bad}, true},
        {"terminal, one log", true, {a}, false},
        {"no terminal, two logs", false, {a, bad}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tresult r = hxchart(c.args, c.terminal);
        Tresult plain = hxchart(c.args, false);
        EXPECT_EQ(r.out, plain.out);
        EXPECT_EQ(r.err.find('\r') != std::string::npos, c.progress);
        // Progress is erased before each message, so the messages read the same.
        EXPECT_EQ(without_progress(r.err), plain.err);
        if (c.progress) {
            EXPECT_NE(r.err.find("\rhxchart: 1/2 " + a), std::string::npos);
            EXPECT_NE(r.err.find("\rhxchart: 2/2 " + bad), std::string::npos);
        }
    }
}

TEST(Hxchart, ParseAudit) {
    Ttemp_dir dir;
    const std::string cbr = dir.write_file("audit.cbr",
                                           "START-OF-LOG: 3.0\n"
                                           "QSO:  7000 CW 2024-06-15 1200 JA9XXZ 599 JA1ZZA 599\n"   // by fields
                                           "QSO:  7000 CW 2024/06/15 1300 JA9XXZ 599 JA1ZZA 599\n"   // by columns
                                           "QSO:  7000 CW 2024-06-15 xx00 JA9XXZ 599 JA1ZZA 599\n"   // no hour
                                           "QSO:  7000 CW 2024-06-15 2500 JA9XXZ 599 JA1ZZA 599\n"   // no hour
                                           "QSO:  7000 CW 2024-02-30 1400 JA9XXZ 599 JA1ZZA 599\n"   // no date
                                           "QSO:  7000 CW 2024-06-19 1400 JA9XXZ 599 JA1ZZA 599\n"   // fourth day
                                           "QSO:  7000 CW 2024-06-14 2300 JA9XXZ 599 JA1ZZA 599\n"); // earlier
    Tresult r = hxchart({cbr});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, cbr + ": Cabrilo, 3 QSOs, report " + dir.file("audit.hx") + "\n" + cbr +
                         ": skipped 4 QSO lines: 2 without a valid hour (lines 4, 5); 1 without a valid day or date "
                         "(line 6); 1 beyond the third chart day (line 7)\n" +
                         cbr + ": read 5 QSO lines by their fields, 2 by the template columns\n" + cbr +
                         ": out of time order; counted again from its earliest QSO\n"
                         "1 log: 1 counted (3 QSOs), 0 not recognised, 0 not counted, 0 failed\n");
}

TEST(Hxchart, SkippedLinesBeyondTheFirstFewAreElided) {
    Ttemp_dir dir;
    std::string log = "Mivo for Windows \r\n2024/03/15 12:00\r\n";
    for (int i = 0; i < 7; ++i) log += "2024/03/15 xx:00\r\n";
    Tresult r = hxchart({dir.write_file("s.ALL", log)});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("s.ALL: skipped 7 QSO lines: 7 without a valid hour (lines 3, 4, 5, 6, 7, ...)\n"),
              std::string::npos)
        << r.out;
}

TEST(Hxchart, LogsSharingAReportNameAreFlagged) {
    Ttemp_dir dir;
    const std::string all = dir.write_file("contest.ALL", example("contest.ALL"));
    const std::string cbr = dir.write_file("contest.cbr", example("contest.cbr"));
    Tresult r = hxchart({all, cbr});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "hxchart: " + cbr + ": its report " + dir.file("contest.hx") + " replaces the one of " + all + "\n");
}

TEST(Hxchart, Usage) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("c.ALL", example("contest.ALL"));
    struct Case {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{}, "hxchart: no log given (see hxchart --help)\n"},
        {{"--quiet", "--svg"}, "hxchart: no log given (see hxchart --help)\n"},
        {{"--shift", "25", "x"}, "hxchart: --shift: '25' is not a whole number from -24 to 24\n"},
        {{"--shift=abc", "x"}, "hxchart: --shift: 'abc' is not a whole number from -24 to 24\n"},
        {{"--shift"}, "hxchart: --shift needs a value from -24 to 24\n"},
        {{"--bogus", "x"}, "hxchart: unknown option '--bogus' (see hxchart --help)\n"},
        {{"x", "--recursive"}, "hxchart: --recursive needs a folder\n"},
        {{"x", "--csv"}, "hxchart: --csv needs a file name, or - for standard output\n"},
        {{"--csv=", "x"}, "hxchart: --csv needs a file name, or - for standard output\n"},
        {{"--print", "--csv", "-", "x"}, "hxchart: --print and --csv - cannot both write to standard output\n"},
        {{"--csv", log, log}, nullptr},
    };
    for (const auto& c : cases) {
        Tresult r = hxchart(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.err ? c.err : "hxchart: --csv: " + log + " is one of the logs\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(dir.read_file("c.ALL"), example("contest.ALL"));
    EXPECT_FALSE(hx::test::file_exists(dir.file("c.hx")));

    // "--" ends the options: what follows is a log even when it begins with "-".
    EXPECT_EQ(hxchart({"--quiet", "--", "-x"}).err, "hxchart: -x: cannot open the log: No such file or directory\n");

    Tresult help = hxchart({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--shift N", "--recursive DIR", "--quiet", "--print", "--csv FILE", "--svg",
                               "--help", "--version"}) {
        SCOPED_TRACE(option);
        const std::size_t at = help.out.find("  " + std::string(option));
        ASSERT_NE(at, std::string::npos);
        const std::size_t next = help.out.find("\n  --", at + 1);
        EXPECT_NE(help.out.substr(at, next - at).find("example: hxchart"), std::string::npos)
            << "one example per option";
    }
    EXPECT_EQ(hxchart({"--version"}).out, "hxchart (HX) 4.0\n");
}

TEST(Hxchart, ShiftIsHandedToTheRun) {
    Ttemp_dir dir;
    std::string all = dir.write_file("three_days.ALL", hx::test::read_file(HX_TEST_DATA "/three_days.ALL"));
    EXPECT_EQ(hxchart({"--shift", "-3", all}).status, 0);
    EXPECT_TRUE(hx::test::same_bytes(hx::test::read_file(HX_TEST_DATA "/three_days_m3.hx"), dir.read_file("three_days.hx")));
}

}  // namespace
