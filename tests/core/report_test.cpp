// The report: golden files compared byte for byte, the writers' edge cases,
// and the atomic replacement of the report file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

#include "testsupport.h"
#include "u_hx300.h"

namespace {

using hx::test::same_bytes;
using hx::test::Ttemp_dir;

const std::string kData = HX_TEST_DATA;

// Runs the breakdown over a copy of `log` named `name` and returns the report.
std::string report_of(const std::string& log, const std::string& name, std::int32_t shift,
                      std::int32_t* result = nullptr) {
    Ttemp_dir dir;
    std::string path = dir.write_file(name, hx::test::read_file(log));
    std::int32_t type = 0;
    std::int32_t r = hx::break_down(path, type, shift);
    if (result) *result = r;
    return r > 0 ? hx::test::read_file(hx::out_path) : std::string();
}

TEST(Report, GoldenFiles) {
    struct Case {
        const char* name;
        std::string log;
        const char* log_name;
        std::int32_t shift;
        const char* golden;
    } cases[] = {
        {"worked example: ALL, one chart day from hour 21", HX_EXAMPLES "/contest.ALL", "contest.ALL", 0,
         "worked_example.hx"},
        {"ALL, three chart days from hour 0", kData + "/three_days.ALL", "three_days.ALL", 0, "three_days.hx"},
        {"shift -24 gives the chart of 0", kData + "/three_days.ALL", "three_days.ALL", -24, "three_days.hx"},
        {"shift +24 gives the chart of 0", kData + "/three_days.ALL", "three_days.ALL", 24, "three_days.hx"},
        {"shift -3", kData + "/three_days.ALL", "three_days.ALL", -3, "three_days_m3.hx"},
        {"shift +3", kData + "/three_days.ALL", "three_days.ALL", 3, "three_days_p3.hx"},
        {"Cabrillo across a month end, from hour 21", kData + "/month_end.cbr", "month_end.cbr", 0, "month_end.hx"},
        {"Cabrillo, two chart days", HX_EXAMPLES "/contest.cbr", "contest.cbr", 0, "contest_cbr.hx"},
    };
    const bool update = std::getenv("HX_UPDATE_GOLDEN") != nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string got = report_of(c.log, c.log_name, c.shift);
        if (update) hx::test::write_file(kData + "/" + c.golden, got);
        EXPECT_TRUE(same_bytes(hx::test::read_file(kData + "/" + c.golden), got));
    }
}

TEST(Report, CabrilloWithTheWorkedExampleCountsEndsAfterTheQsoSection) {
    std::string all = hx::test::read_file(kData + "/worked_example.hx");
    std::string expect = all.substr(0, all.find("Time Chart / Multi. "));
    std::size_t at = expect.find("contest.ALL");
    expect.replace(at, 11, "worked_example.cbr");
    EXPECT_TRUE(same_bytes(expect, report_of(kData + "/worked_example.cbr", "worked_example.cbr", 0)));
}

TEST(Report, NumbersWiderThanTheirFieldsMoveTheLineOn) {
    // 1000 QSOs in one hour and 10000 in the day: a cell of 4 characters and
    // totals of 5 push the rest of their lines to the right.
    std::string log = "Mivo for Windows \r\n";
    std::string line(69, ' ');
    line.replace(0, 10, "2024/03/15");
    line.replace(54, 1, "-");
    line.replace(60, 1, "-");
    line.replace(66, 3, "14 ");
    for (int h = 0; h < 10; ++h) {
        line[11] = '0';
        line[12] = static_cast<char>('0' + h);
        for (int i = 0; i < 1000; ++i) log += line + "\r\n";
    }
    Ttemp_dir dir;
    std::int32_t type = 0;
    ASSERT_EQ(hx::break_down(dir.write_file("wide.ALL", log), type, 0), 10000);
    std::string report = hx::test::read_file(hx::out_path);
    const char* row = "14 |1000100010001000100010001000100010001000  -  -  -  -  -  -  -  -  -  -  -  -  -  -|10000\r\n";
    const char* sum = "SUM|1000100010001000100010001000100010001000  0  0  0  0  0  0  0  0  0  0  0  0  0  0|10000\r\n";
    const char* cum = "          3000      6000      9000      10000      10000      10000      10000      10000      \r\n";
    EXPECT_NE(report.find(row), std::string::npos) << report;
    EXPECT_NE(report.find(sum), std::string::npos);
    EXPECT_NE(report.find(cum), std::string::npos);
}

TEST(Report, WritersEdgeCases) {
    hx::Ttally t{};
    hx::report_file.clear();
    hx::chart_qso(t, 0, 0);
    hx::chart_multi(t, 0, 0);
    EXPECT_EQ(hx::report_file.text(), "\r\nTime Chart / QSO \r\nTime Chart / Multi. \r\n");

    // A day with no counts: the rules follow each other, zeros throughout.
    hx::report_file.clear();
    hx::chart_qso(t, 0, 1);
    EXPECT_TRUE(same_bytes(
        hx::test::crlf({"", "Time Chart / QSO ", "day 1",
                        "      0  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18 19 20 21 22 23",
                        std::string(82, '-'), std::string(82, '-'),
                        "SUM|  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0|   0",
                        "            0        0        0        0        0        0        0        0      ", ""}),
        hx::report_file.text()));

    // A band with QSOs but no marks on day 2 only: a Multi. row of dashes
    // with total 0 on day 2, and no row on day 1.
    t.at(2, 5, 6, 0) = 2;
    hx::report_file.clear();
    hx::chart_multi(t, 0, 2);
    const std::string& m = hx::report_file.text();
    std::size_t day2 = m.find("day 2");
    EXPECT_EQ(m.find("50 |"), m.find("50 |", day2));
    EXPECT_NE(m.find("50 |  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -|   0"),
              std::string::npos);

    // Out-of-range arguments never read outside the tally.
    hx::report_file.clear();
    hx::chart_qso(t, 30, 5);
    EXPECT_EQ(hx::band_day_total(t, 4, 0), 0);
    EXPECT_EQ(hx::band_label(9), "120");
    EXPECT_EQ(hx::band_label(10), "up ");
}

TEST(Report, LogfileLineShowsTheFileName) {
    Ttemp_dir dir;
    std::string log = hx::test::read_file(HX_EXAMPLES "/contest.ALL");
    std::int32_t type = 0;
    ASSERT_GT(hx::break_down(dir.write_file("a.ALL", log), type, 0), 0);
    EXPECT_EQ(hx::out_path, dir.file("a.hx"));
    std::string r = hx::test::read_file(hx::out_path);
    EXPECT_EQ(r.substr(0, r.find("\r\n\r\n")),
              "  Mivo Break Down / Time Chart  Ver 4.0\r\n                             logfile = a.ALL");
}

// ---------------------------------------------------------------------------
// Replacing the report

std::string log_text() { return hx::test::read_file(HX_EXAMPLES "/contest.ALL"); }

TEST(ReportFile, ReplacesTheEarlierReportWholeWithNewFilePermissions) {
    Ttemp_dir dir;
    std::string log = dir.write_file("c.ALL", log_text());
    dir.write_file("c.hx", "earlier report");
    ::chmod(dir.file("c.hx").c_str(), 0600);
    mode_t old = ::umask(022);
    std::int32_t type = 0;
    EXPECT_EQ(hx::break_down(log, type, 0), 175);
    EXPECT_EQ(hx::break_down(log, type, 0), 175);  // twice: the same report again
    ::umask(old);
    EXPECT_TRUE(same_bytes(hx::test::read_file(kData + "/worked_example.hx").substr(0, 60),
                           dir.read_file("c.hx").substr(0, 60)));
    struct stat st{};
    ::stat(dir.file("c.hx").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"c.ALL", "c.hx"}));
}

TEST(ReportFile, CannotBeCreatedLeavesEverythingAsItWas) {
    struct Case {
        const char* name;
        void (*prepare)(const Ttemp_dir&);
        std::vector<std::string> files;
    } cases[] = {
        {"report path is a directory", [](const Ttemp_dir& d) { ::mkdir(d.file("c.hx").c_str(), 0755); },
         {"c.ALL", "c.hx"}},
        {"existing report is read-only",
         [](const Ttemp_dir& d) {
             d.write_file("c.hx", "earlier report");
             ::chmod(d.file("c.hx").c_str(), 0444);
         },
         {"c.ALL", "c.hx"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Ttemp_dir dir;
        std::string log = dir.write_file("c.ALL", log_text());
        c.prepare(dir);
        std::int32_t type = 0;
        EXPECT_EQ(hx::break_down(log, type, 0), -1);
        EXPECT_EQ(type, hx::lt_all);
        EXPECT_EQ(hx::out_path, dir.file("c.hx"));
        EXPECT_EQ(dir.list(), c.files);
        EXPECT_EQ(dir.read_file("c.ALL"), log_text());
        struct stat st{};
        ::stat(dir.file("c.hx").c_str(), &st);
        if (S_ISREG(st.st_mode)) {
            EXPECT_EQ(dir.read_file("c.hx"), "earlier report");
        }
    }
}

TEST(ReportFile, PlantedLinkAtTheReportNameIsReplacedNotFollowed) {
    Ttemp_dir dir;
    std::string victim = dir.write_file("victim", "keep me");
    ::symlink(victim.c_str(), dir.file("c.hx").c_str());
    std::int32_t type = 0;
    EXPECT_EQ(hx::break_down(dir.write_file("c.ALL", log_text()), type, 0), 175);
    EXPECT_EQ(dir.read_file("victim"), "keep me");
    struct stat st{};
    ::lstat(dir.file("c.hx").c_str(), &st);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

}  // namespace
