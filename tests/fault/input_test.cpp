// Bad input: whatever bytes a log holds, the run ends, counts by the line
// rules, leaves the log as it was, and either writes a whole report or leaves
// the earlier one in place, with no temporary file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <string>

#include "fault_support.h"
#include "hx_util2.h"
#include "testsupport.h"
#include "u_hx300.h"

namespace hx::fault {
namespace {

using test::Ttemp_dir;

const std::string kEarlier = "earlier report\r\n";
const std::string kA = all_line("2008/01/05", "21:02", "3.5");
const std::string kB = all_line("2008/01/05", "22:00", "14 ");
const std::string kCabrilloQso = "QSO:  7012 CW 2008-01-06 2100 JA9XXZ        599 10     JO1YFH        599 05M";
constexpr std::size_t k100mb = 100u << 20;

struct Twant {
    Toutcome outcome;
    std::uint64_t no_hour = 0, no_day = 0, beyond = 0;
};

// Runs over `bytes` saved as `name` beside an earlier report, and checks the
// outcome, the skipped lines and the folder afterwards. The report, when one
// is written, must be the one that `same_report_as` gives, or else the text
// the run made.
void check_run(const std::string& name, const std::string& bytes, const Twant& want,
               const std::string* same_report_as = nullptr, std::int32_t shift = 0) {
    Ttemp_dir dir;
    const std::string log = dir.write_file(name, bytes);
    const std::string report = hx::base_name(log) + ".hx";
    test::write_file(report, kEarlier);
    Tsnapshot after = snapshot(dir.path());

    EXPECT_EQ(run(log, shift), want.outcome);
    EXPECT_EQ(hx::run_audit.no_hour.count, want.no_hour);
    EXPECT_EQ(hx::run_audit.no_day.count, want.no_day);
    EXPECT_EQ(hx::run_audit.beyond.count, want.beyond);
    if (want.outcome.result > 0) {
        const std::string text = same_report_as ? report_of(name, *same_report_as, shift) : hx::report_file.text();
        after[report.substr(dir.path().size() + 1)] = file_entry(0644, text);
    }
    EXPECT_EQ(snapshot(dir.path()), after);
}

class Tinput_fixture : public ::testing::Test {
protected:
    void SetUp() override { umask_ = ::umask(022); }
    void TearDown() override { ::umask(umask_); }
    Twatchdog watchdog{300};

private:
    mode_t umask_ = 022;
};

using FaultInput = Tinput_fixture;

std::string with(std::string line, std::size_t at, std::string_view bytes) {
    line.resize(std::max(line.size(), at + bytes.size()));
    std::copy(bytes.begin(), bytes.end(), line.begin() + static_cast<std::ptrdiff_t>(at));
    return line;
}

TEST_F(FaultInput, BadBytesAreCountedByTheLineRules) {
    const std::string clean = all_log({kA, kB});
    const std::string long_line_cut = all_log({kA, kA, kB});
    const std::string cabrillo = cabrillo_log({kCabrilloQso});
    struct Tcase {
        const char* name;
        const char* file;
        std::function<std::string()> bytes;
        Twant want;
        const std::string* same_report_as;
    } cases[] = {
        {"empty file", "in.ALL", [] { return std::string(); }, {{0, -1}}, nullptr},
        {"only CR bytes", "in.ALL", [] { return std::string(1 << 16, '\r'); }, {{0, -1}}, nullptr},
        {"only NUL bytes", "in.ALL", [] { return std::string(1 << 16, '\0'); }, {{0, -1}}, nullptr},
        {"one million empty lines", "in.ALL", [] { return std::string(1000000, '\n'); }, {{0, -1}}, nullptr},
        {"CR bytes anywhere in the lines", "in.ALL",
         [] {
             return "\r\rMivo for Windows \r\r\r\n\r" + kA.substr(0, 4) + "\r" + kA.substr(4) + "\r\r\n" +
                    kB.substr(0, 12) + "\r" + kB.substr(12) + "\r\n";
         },
         {{2, lt_all}}, &clean},
        {"NUL bytes in the call, band and hour fields", "in.ALL",
         [] {
             return all_log({kA, with(with(kB, 17, std::string(6, '\0')), 66, std::string(3, '\0')),
                             with(kB, 11, std::string(2, '\0'))});
         },
         {{2, lt_all}, 1}, nullptr},
        {"invalid Shift-JIS and UTF-8 bytes in the call and band fields", "in.ALL",
         [] { return all_log({with(kA, 17, "\x81\xff\xc3\x28\xed\xa0\x80\xfc\x5c"), with(kB, 66, "\xfc\x5c\x80")}); },
         {{2, lt_all}}, nullptr},
        {"one million empty lines after the identifying line", "in.ALL",
         [] {
             std::string s = "Mivo for Windows \r\n";
             for (int i = 0; i < 1000000; ++i) s += "\r\n";
             return s + kA + "\r\n";
         },
         {{1, lt_all}, 1000000}, nullptr},
        {"a 100 MB QSO line counts by its first columns", "in.ALL",
         [] { return all_log({kA, kA + std::string(k100mb, 'x'), kB}); }, {{3, lt_all}}, &long_line_cut},
        {"a 100 MB line before the identifying line", "in.ALL",
         [&] { return std::string(k100mb, ' ') + "\n" + clean; }, {{2, lt_all}, 1}, &clean},
        {"a 100 MB Cabrillo identifying line", "in.cbr",
         [] { return "START-OF-LOG: " + std::string(k100mb, 'v') + "\r\n" + kCabrilloQso + "\r\n"; },
         {{1, lt_cabrillo}}, &cabrillo},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        check_run(c.file, c.bytes(), c.want, c.same_report_as);
    }
}

TEST_F(FaultInput, CtrlZEndsTheFileOnlyWhereALineBegins) {
    // Elsewhere Ctrl-Z is a byte of the line, and as a byte below 33 it is
    // trimmed from a number field like a blank.
    const std::string x = all_line("2008/01/05", "21:30", "7  ");
    for (std::size_t at = 0; at <= x.size(); ++at) {
        SCOPED_TRACE("Ctrl-Z at column " + std::to_string(at + 1) + " of a QSO line");
        const std::string line = at < x.size() ? with(x, at, "\x1a") : x + "\x1a";
        Twant want{{3, lt_all}};
        switch (at) {
        case 0: want = {{1, lt_all}}; break;                  // the file ends before the line
        case 1: case 2: want = {{2, lt_all}, 0, 1}; break;     // no year
        case 3: want = {{1, lt_all}, 0, 0, 2}; break;         // year 200: the earliest QSO, the others far beyond
        case 6: case 9: want = {{2, lt_all}, 0, 1}; break;     // month 0, day 0
        }
        check_run("in.ALL", all_log({kA, line, kB}), want);
    }
    const std::string all_header = "Mivo for Windows ";
    for (std::size_t at = 0; at < all_header.size(); ++at) {
        SCOPED_TRACE("Ctrl-Z at column " + std::to_string(at + 1) + " of the ALL identifying line");
        check_run("in.ALL", with(all_header, at, "\x1a") + "\r\n" + kA + "\r\n", {{0, -1}});
    }
    const std::string cabrillo_header = "START-OF-LOG: 3.0";
    for (std::size_t at = 0; at < cabrillo_header.size(); ++at) {
        SCOPED_TRACE("Ctrl-Z at column " + std::to_string(at + 1) + " of the Cabrillo identifying line");
        const bool kept = at >= 13;  // after "START-OF-LOG:" the line still identifies the log
        check_run("in.cbr", with(cabrillo_header, at, "\x1a") + "\r\n" + kCabrilloQso + "\r\n",
                  {kept ? Toutcome{1, lt_cabrillo} : Toutcome{0, -1}});
    }
}

TEST_F(FaultInput, LongNumbersSignsAndBlanksInTheDayAndHourFields) {
    // Each text is written from column 9 on (day in 9-10, hour in 12-13) over a
    // QSO line after a first QSO on 2008/01/05 at 21:02.
    struct Tcase {
        const char* name;
        std::string_view text;
        Twant want;
    } cases[] = {
        {"10 digits: day 05, hour 23", "0512345678", {{2, lt_all}}},
        {"11 digits: day 05, hour 23", "05123456789", {{2, lt_all}}},
        {"30 digits of 9: hour 99", "999999999999999999999999999999", {{1, lt_all}, 1}},
        {"30 zeros: hour 00, day 00", "000000000000000000000000000000", {{1, lt_all}, 0, 1}},
        {"beyond 32 bits: day 21, hour 74", "2147483648", {{1, lt_all}, 1}},
        {"plus sign on the day", "+5 23", {{2, lt_all}}},
        {"plus sign on the hour", "05 +3", {{2, lt_all}}},
        {"minus one as the hour", "05 -1", {{1, lt_all}, 1}},
        {"minus one as the day", "-1 21", {{1, lt_all}, 0, 1}},
        {"minus zero as the hour", "05 -0", {{2, lt_all}}},
        {"sign and blank as the day", "+  21", {{1, lt_all}, 0, 1}},
        {"blank day", "   21", {{1, lt_all}, 0, 1}},
        {"blank hour", "05   ", {{1, lt_all}, 1}},
        {"blank and digit as the day", " 5 21", {{2, lt_all}}},
        {"tab and digit as the hour", "05 \t3", {{2, lt_all}}},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        check_run("in.ALL", all_log({kA, with(kB, 8, c.text)}), c.want);
    }
}

}  // namespace
}  // namespace hx::fault
