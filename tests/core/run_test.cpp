// The run: which lines count, into which chart day, hour and band, and what
// the run returns and leaves behind.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "testsupport.h"
#include "u_hx300.h"

namespace {

using hx::test::Ttemp_dir;

// An ALL QSO line with the date in 1-10, time in 12-16, marks in 55 and 61 and
// the band in 67-69.
std::string all_line(std::string_view date, std::string_view time, std::string_view band,
                     char m1 = '-', char m2 = '-') {
    std::string l(75, ' ');
    l.replace(0, date.size(), date);
    l.replace(11, time.size(), time);
    l.replace(17, 6, "JA1ZZZ");
    l.replace(30, 3, "599");
    l.replace(42, 3, "599");
    l[54] = m1;
    l[60] = m2;
    l.replace(66, band.size(), band);
    l.replace(71, 2, "CW");
    return l;
}

std::string all_log(std::initializer_list<std::string> qsos) {
    std::string s = "Mivo for Windows \r\n";
    for (const auto& q : qsos) s += q + "\r\n";
    return s;
}

// A Cabrillo QSO line in the template columns.
std::string cab_line(std::string_view freq5, std::string_view date, std::string_view hhmm) {
    return "QSO: " + std::string(freq5) + " CW " + std::string(date) + " " + std::string(hhmm) +
           " JA9XXZ        599 10     JA1ZZZ        599 10M";
}

std::string cab_log(std::initializer_list<std::string> qsos) {
    std::string s = "START-OF-LOG: 3.0\r\nCALLSIGN: JA9XXZ\r\n";
    for (const auto& q : qsos) s += q + "\r\n";
    return s + "END-OF-LOG:\r\n";
}

struct Trun {
    std::int32_t result;
    std::int32_t type;
};

Trun run_on(const std::string& path, std::int32_t shift = 0) {
    std::int32_t type = 0;
    std::int32_t r = hx::break_down(path, type, shift);
    return {r, type};
}

// QSO counts of (chart day, hour, band) as a short text "d/h/b=n ...", in tally order.
std::string qsos() {
    std::string s;
    for (int d = 1; d <= 3; ++d)
        for (int h = 0; h < 24; ++h)
            for (int b = 0; b < 11; ++b)
                if (int n = hx::tally.at(d, h, b, 0)) {
                    if (!s.empty()) s += ' ';
                    s.append(std::to_string(d)).append("/").append(std::to_string(h)).append("/");
                    s.append(std::to_string(b)).append("=").append(std::to_string(n));
                }
    return s;
}

TEST(Run, ChartDaysAndShifts) {
    struct Case {
        const char* name;
        std::int32_t shift;
        std::vector<std::pair<const char*, const char*>> qsos;  // date, time
        std::int32_t start_hour;
        std::string counts;
    } cases[] = {
        {"equal hour of the next day opens chart day 2", 0,
         {{"2024/03/15", "12:00"}, {"2024/03/16", "11:59"}, {"2024/03/16", "12:00"}}, 12,
         "1/11/2=1 1/12/2=1 2/12/2=1"},
        {"shift -3", -3, {{"2024/03/15", "02:00"}, {"2024/03/15", "22:59"}, {"2024/03/15", "23:00"}}, 23,
         "1/2/2=1 1/22/2=1 2/23/2=1"},
        {"shift +3 keeps 24 hours per chart day", 3,
         {{"2024/03/15", "22:00"}, {"2024/03/16", "00:30"}, {"2024/03/16", "01:00"}, {"2024/03/16", "22:00"}},
         1, "1/0/2=1 1/22/2=1 2/1/2=1 2/22/2=1"},
        {"shift -24 gives the chart of 0", -24, {{"2024/03/15", "12:00"}, {"2024/03/16", "12:00"}}, 12,
         "1/12/2=1 2/12/2=1"},
        {"shift +24 gives the chart of 0", 24, {{"2024/03/15", "12:00"}, {"2024/03/16", "12:00"}}, 12,
         "1/12/2=1 2/12/2=1"},
        {"a whole chart day without QSOs keeps its place", 0,
         {{"2024/03/15", "12:00"}, {"2024/03/15", "20:00"}, {"2024/03/17", "22:00"}, {"2024/03/17", "23:00"}},
         12, "1/12/2=1 1/20/2=1 3/22/2=1 3/23/2=1"},
        {"month end opens the next chart day", 0,
         {{"2024/01/31", "12:00"}, {"2024/02/01", "11:00"}, {"2024/02/01", "13:00"}}, 12,
         "1/11/2=1 1/12/2=1 2/13/2=1"},
        {"leap day", 0, {{"2024/02/28", "23:00"}, {"2024/02/29", "23:00"}, {"2024/03/01", "22:00"}}, 23,
         "1/23/2=1 2/22/2=1 2/23/2=1"},
        {"without a valid year the day of month is used", 0,
         {{"xxxx/03/15", "12:00"}, {"xxxx/03/16", "12:00"}, {"2024/02/16", "13:00"}}, 12,
         "1/12/2=1 2/12/2=1 2/13/2=1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Ttemp_dir dir;
        std::string log = "Mivo for Windows \r\n";
        for (auto [date, time] : c.qsos) log += all_line(date, time, "7  ") + "\r\n";
        Trun r = run_on(dir.write_file("t.ALL", log), c.shift);
        EXPECT_EQ(r.result, static_cast<std::int32_t>(c.qsos.size()));
        EXPECT_EQ(r.type, hx::lt_all);
        EXPECT_EQ(hx::start_hour, c.start_hour);
        EXPECT_EQ(qsos(), c.counts);
    }
}

TEST(Run, SkipsLinesWithoutCounterAndSaysWhy) {
    Ttemp_dir dir;
    std::string log = all_log({
        "",                                      // line 2: blank, no hour
        all_line("2024/03/15", "12:00", "14 "),  // line 3: first countable
        all_line("2024/03/15", "24:00", "14 "),  // hour 24
        all_line("2024/03/15", "-1:00", "14 "),  // signed hour
        all_line("2024/03/15", "1x:00", "14 "),  // garbled
        all_line("2024/13/15", "13:00", "14 "),  // no valid date in calendar mode
        all_line("2024/03/19", "13:00", "14 "),  // fourth chart day
        all_line("2024/03/15", " 7:00", "14 "),  // blank and digit: hour 7
        "2024/03/15 8",                          // short line: hour 8, band "up"
    });
    Trun r = run_on(dir.write_file("t.ALL", log));
    EXPECT_EQ(r.result, 3);
    EXPECT_EQ(qsos(), "1/7/3=1 1/8/10=1 1/12/3=1");
    EXPECT_EQ(hx::run_audit.no_hour.count, 4u);
    EXPECT_EQ(hx::run_audit.no_hour.first_lines, (std::vector<std::uint64_t>{2, 4, 5, 6}));
    EXPECT_EQ(hx::run_audit.no_day.first_lines, (std::vector<std::uint64_t>{7}));
    EXPECT_EQ(hx::run_audit.beyond.first_lines, (std::vector<std::uint64_t>{8}));
}

TEST(Run, MarksCountUnlessTheColumnHoldsAMinus) {
    Ttemp_dir dir;
    std::string log = all_log({all_line("2024/03/15", "10:00", "21 ", '-', '-'),
                               all_line("2024/03/15", "10:01", "21 ", ' ', '-'),
                               all_line("2024/03/15", "10:02", "21 ", '*', 'x'),
                               "2024/03/15 10:03 short line ends before the marks"});
    EXPECT_EQ(run_on(dir.write_file("t.ALL", log)).result, 4);
    EXPECT_EQ(hx::tally.at(1, 10, 4, 0), 3);
    EXPECT_EQ(hx::tally.at(1, 10, 10, 0), 1);
    EXPECT_EQ(hx::tally.at(1, 10, 4, 1), 2);
    EXPECT_EQ(hx::tally.at(1, 10, 4, 2), 1);
    EXPECT_EQ(hx::tally.at(1, 10, 10, 1) + hx::tally.at(1, 10, 10, 2), 2);
}

TEST(Run, CabrilloLines) {
    Ttemp_dir dir;
    // The first line of the file is never a QSO line, whatever it holds.
    std::string log = "QSO: 14000 CW 2024-03-15 0100 first line\r\nSTART-OF-LOG: 3.0\r\n" +
                      cab_line(" 7010", "2024-03-15", "1200") + "\r\nSOAPBOX: x\r\n" +
                      cab_line("   50", "2024-03-15", "1300") + "\r\n" +
                      cab_line(" 1.2G", "2024-03-16", "1100");  // last line, no LF
    Trun r = run_on(dir.write_file("t.cbr", log));
    EXPECT_EQ(r.result, 3);
    EXPECT_EQ(r.type, hx::lt_cabrillo);
    EXPECT_EQ(qsos(), "1/11/9=1 1/12/2=1 1/13/6=1");
    int marks = 0;
    for (int h = 0; h < 24; ++h)
        for (int b = 0; b < 11; ++b) marks += hx::tally.at(1, h, b, 1) + hx::tally.at(1, h, b, 2);
    EXPECT_EQ(marks, 0);
}

TEST(Run, OnlyQsoLineIsTheLast) {
    Ttemp_dir dir;
    Trun r = run_on(dir.write_file("t.cbr", "START-OF-LOG: 3.0\n" + cab_line("14000", "2024-03-15", "0900")));
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(qsos(), "1/9/3=1");
    EXPECT_EQ(hx::day_index, 1);
}

TEST(Run, LogsThatAreNotCounted) {
    Ttemp_dir dir;
    struct Case {
        const char* name;
        std::string path;
        std::int32_t result, type;
    } cases[] = {
        {"TXT listing", dir.write_file("t.txt", "mon day time\n 1 15 1200\n"), 0, -1},
        {"unrecognised", dir.write_file("u.log", "hello\n"), 0, -1},
        {"missing", dir.file("missing.ALL"), 0, -1},
        {"directory", dir.path(), 0, -1},
        {"ALL without a countable line", dir.write_file("e.ALL", "Mivo for Windows \r\n\r\nnothing\r\n"), 0, 1},
        {"Cabrillo without QSO lines", dir.write_file("e.cbr", "START-OF-LOG: 3.0\nEND-OF-LOG:\n"), 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Trun r = run_on(c.path);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.type, c.type);
    }
    // Not one of them wrote a report.
    for (const auto& name : dir.list()) EXPECT_EQ(name.find(".hx"), std::string::npos) << name;
}

TEST(Run, LogWithoutCountableLineLeavesTheEarlierReport) {
    Ttemp_dir dir;
    dir.write_file("t.hx", "earlier");
    EXPECT_EQ(run_on(dir.write_file("t.ALL", "Mivo for Windows \r\nx\r\n")).result, 0);
    EXPECT_EQ(dir.read_file("t.hx"), "earlier");
}

TEST(Run, OutOfTimeOrderIsAnchoredAtTheEarliestQso) {
    Ttemp_dir dir;
    // Newest first, over two UTC days: read a second time from the earliest.
    std::string reverse = cab_log({cab_line("14000", "2024-03-16", "0300"), cab_line("14000", "2024-03-16", "0100"),
                                   cab_line("14000", "2024-03-15", "2300"), cab_line("14000", "2024-03-15", "0200")});
    EXPECT_EQ(run_on(dir.write_file("r.cbr", reverse)).result, 4);
    EXPECT_TRUE(hx::run_audit.reread);
    EXPECT_EQ(hx::start_hour, 2);
    EXPECT_EQ(qsos(), "1/1/3=1 1/2/3=1 1/23/3=1 2/3/3=1");

    // In time order: read once.
    std::string ordered = cab_log({cab_line("14000", "2024-03-15", "0200"), cab_line("14000", "2024-03-16", "0300")});
    EXPECT_EQ(run_on(dir.write_file("o.cbr", ordered)).result, 2);
    EXPECT_FALSE(hx::run_audit.reread);

    // A positive shift puts the chart's start before the first QSO: a QSO
    // between that start and the first QSO needs no second reading.
    std::string shifted = cab_log({cab_line("14000", "2024-03-15", "2200"), cab_line("14000", "2024-03-15", "0500")});
    EXPECT_EQ(run_on(dir.write_file("s.cbr", shifted), 3).result, 2);
    EXPECT_FALSE(hx::run_audit.reread);
    EXPECT_EQ(qsos(), "1/5/3=1 1/22/3=1");
}

TEST(Run, MergedLogLandsEachQsoInItsOwnChartDay) {
    Ttemp_dir dir;
    std::string merged = cab_log({
        cab_line(" 7010", "2024-03-15", "1200"), cab_line(" 7010", "2024-03-16", "1300"),
        cab_line("21010", "2024-03-15", "0900"),  // second computer, earlier
        cab_line("21010", "2024-03-16", "0859"), cab_line("21010", "2024-03-16", "0900"),
    });
    EXPECT_EQ(run_on(dir.write_file("m.cbr", merged)).result, 5);
    EXPECT_EQ(hx::start_hour, 9);
    EXPECT_EQ(qsos(), "1/8/4=1 1/9/4=1 1/12/2=1 2/9/4=1 2/13/2=1");
}

TEST(Run, ReportPathRules) {
    struct Case {
        const char* path;
        const char* base;
    } cases[] = {{"C:\\logs\\contest.ALL", "C:\\logs\\contest"}, {"contest.cbr", "contest"},
                 {"C:\\logs\\contest", "C:\\logs\\con"},          {"abcd", ""},
                 {"abc", ""},                                      {"/data/x", "/data/"},
                 {"/data/abcdef", "/data/ab"},                     {"a/b.ALL", "a/b"}};
    for (const auto& c : cases) EXPECT_EQ(hx::base_name(c.path), c.base) << c.path;
}

TEST(Run, LogWhoseNameIsItsOwnReportNameIsNeverOverwritten) {
    Ttemp_dir dir;
    std::string log = all_log({all_line("2024/03/15", "12:00", "7  ")});
    std::string p = dir.write_file(".hx", log);
    EXPECT_EQ(run_on(p).result, -1);
    EXPECT_EQ(dir.read_file(".hx"), log);
}

TEST(FieldInt, Table) {
    struct Case {
        const char* line;
        int start, length, value;
    } cases[] = {
        {" 5", 1, 2, 5},           {"05", 1, 2, 5},         {"5x", 1, 2, -1},
        {"", 1, 2, -1},            {"-1", 1, 2, -1},        {"+7", 1, 2, 7},
        {"  ", 1, 2, -1},          {"1 2", 1, 3, -1},       {"\t9\x01", 1, 3, 9},
        {"2147483647", 1, 10, 2147483647}, {"2147483648", 1, 10, -1},
        {"-2147483648", 1, 11, -2147483647 - 1}, {"99999999999", 1, 11, -1},
        {"000000000000000000000000000012", 1, 30, 12}, {"123456789012345678901234567890", 1, 30, -1},
        {"- 1", 1, 3, -1},         {"+", 1, 1, -1},         {"\xA0" "1", 1, 2, -1},
        {"ab12", 3, 5, 12},        {"12", 0, 1, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(hx::field_int(c.line, c.start, c.length), c.value) << c.line;
}

}  // namespace
