// Cabrillo QSO lines with their fields in any column.
#include <gtest/gtest.h>

#include "testsupport.h"
#include "u_hx300.h"

namespace {

TEST(CabrilloFields, RewrittenIntoTheTemplateColumns) {
    struct Case {
        const char* name;
        const char* line;
        const char* columns;  // nullptr: not read by its fields
    } cases[] = {
        {"template line stays as it is", "QSO:  3799 PH 1999-03-06 0711 HC8N          59  700    W1AW          59  CT",
         "QSO:  3799 PH 1999-03-06 0711 HC8N          59  700    W1AW          59  CT"},
        {"single blanks", "QSO: 1800 CW 2018-11-30 2204 JA9XXZ 599 10 JA1ZZA 599 12",
         "QSO:  1800 CW 2018-11-30 2204 JA9XXZ 599 10 JA1ZZA 599 12"},
        {"two-digit designator", "QSO: 50 DG 2024-06-15 0102 A B", "QSO:    50 DG 2024-06-15 0102 A B"},
        {"four-letter designator", "QSO: 1.2G FM 2024-06-15 0102 A", "QSO:  1.2G FM 2024-06-15 0102 A"},
        {"tabs", "QSO:\t14000\tCW\t2024-06-15\t0102\tA\tB", "QSO: 14000 CW 2024-06-15 0102 A\tB"},
        {"padding after the mode", "QSO: 7000 CW     2024-06-15    0102", "QSO:  7000 CW 2024-06-15 0102"},
        {"lower case", "qso: 7000 cw 2024-06-15 0102 x", "qso:  7000 cw 2024-06-15 0102 x"},
        {"long mode keeps its first two letters", "QSO: 7000 RTTY 2024-06-15 0102",
         "QSO:  7000 RT 2024-06-15 0102"},
        {"six-digit 2 m frequency", "QSO: 144050 CW 2024-06-15 0102", "QSO:   144 CW 2024-06-15 0102"},
        {"six-digit 70 cm frequency", "QSO: 432100 CW 2024-06-15 0102", "QSO:   432 CW 2024-06-15 0102"},
        {"seven-digit 23 cm frequency", "QSO: 1296100 CW 2024-06-15 0102", "QSO:  1.2G CW 2024-06-15 0102"},
        {"other long frequency", "QSO: 222100 CW 2024-06-15 0102", "QSO:    up CW 2024-06-15 0102"},
        {"blanked date", "QSO: 14000 CW            0000", nullptr},
        {"time of three digits", "QSO: 14000 CW 2024-06-15 102", nullptr},
        {"date with slashes", "QSO: 14000 CW 2024/06/15 0102", nullptr},
        {"glued to QSO:", "QSO:14000 CW 2024-06-15 0102", nullptr},
        {"X-QSO", "X-QSO: 14000 CW 2024-06-15 0102", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        bool ok = hx::cabrillo_fields_to_columns(c.line, out);
        EXPECT_EQ(ok, c.columns != nullptr);
        if (ok && c.columns) {
            EXPECT_EQ(out, c.columns);
        }
    }
}

// cabrillo_in_columns lets the run read a line's columns 1-29 as they stand:
// whenever it says so, the rewrite must leave them exactly as they are.
TEST(CabrilloFields, InColumnsOnlyWhereTheRewriteKeepsColumns1To29) {
    const std::string tail = " JA9XXZ        599 10     JA1ZZZ        599 10M";
    struct Case {
        const char* name;
        std::string line;
        bool in_columns;
    } cases[] = {
        {"template", "QSO: 14025 CW 2024-06-15 0102" + tail, true},
        {"padded frequency, lower case", "qso:  7012 CW 2024-06-15 0102" + tail, true},
        {"designator", "QSO:    50 PH 2024-06-15 0102" + tail, true},
        {"tab after the time", "QSO: 14025 CW 2024-06-15 0102\tJA9XXZ 599 10 JA1ZZZ 599 10M", true},
        {"tab before the frequency", "QSO:\t14025 CW 2024-06-15 0102" + tail, false},
        {"blank inside the frequency", "QSO: 1 025 CW 2024-06-15 0102" + tail, false},
        {"all blanks for a frequency", "QSO:       CW 2024-06-15 0102" + tail, false},
        {"one-letter mode", "QSO: 14025 C  2024-06-15 0102" + tail, false},
        {"single blanks", "QSO: 7012 CW 2024-06-15 0102" + tail, false},
        {"six-digit frequency", "QSO: 144050 CW 2024-06-15 0102" + tail, false},
        {"letter in the date", "QSO: 14025 CW 2024-O6-15 0102" + tail, false},
        {"five-digit time", "QSO: 14025 CW 2024-06-15 01020" + tail, false},
        {"X-QSO", "X-QSO: 14025 CW 2024-06-15 0102" + tail, false},
        {"shorter than 32 bytes", "QSO: 14025 CW 2024-06-15 0102", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hx::cabrillo_in_columns(c.line), c.in_columns);
        std::string out;
        if (hx::cabrillo_in_columns(c.line)) {
            ASSERT_TRUE(hx::cabrillo_fields_to_columns(c.line, out));
            EXPECT_EQ(out.substr(0, 29), c.line.substr(0, 29));
        }
    }
}

// A line that follows one of the same date and hour is still read by its own
// columns: each row comes after a template line of 2024-06-15 01h on 14 MHz.
TEST(CabrilloFields, LineOfTheSameHourAsTheLastIsReadByItsOwnColumns) {
    const std::string tail = " JA9XXZ        599 10     JA1ZZZ        599 10M";
    struct Case {
        const char* name;
        std::string line;
        bool by_fields;
        int band;
    } cases[] = {
        {"template", "QSO:  7012 CW 2024-06-15 0159" + tail, true, 2},
        {"tab after the time", "QSO:  7012 CW 2024-06-15 0159\t" + tail, true, 2},
        {"tab before the frequency", "QSO: \t7012 CW 2024-06-15 0159" + tail, true, 2},
        {"tab after the frequency", "QSO:  7012\tCW 2024-06-15 0159" + tail, true, 2},
        {"frequency not right-aligned", "QSO: 7012  CW 2024-06-15 0159" + tail, true, 2},
        {"one-letter mode", "QSO:  7012 C  2024-06-15 0159" + tail, true, 2},
        {"six-digit frequency", "QSO: 144050 CW 2024-06-15 0159" + tail, true, 7},
        {"letter in the minutes", "QSO:  7012 CW 2024-06-15 015x" + tail, false, 2},
        {"three-digit time", "QSO:  7012 CW 2024-06-15 015 " + tail, false, 2},
        {"five-digit time", "QSO:  7012 CW 2024-06-15 01590" + tail, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hx::test::Ttemp_dir dir;
        const std::string log = "START-OF-LOG: 3.0\nQSO: 14025 CW 2024-06-15 0102" + tail + "\n" + c.line + "\n";
        std::int32_t type = 0;
        EXPECT_EQ(hx::break_down(dir.write_file("same.cbr", log), type, 0), 2);
        EXPECT_EQ(hx::tally.at(1, 1, 3, 0), c.band == 3 ? 2 : 1);
        EXPECT_EQ(hx::tally.at(1, 1, c.band, 0), c.band == 3 ? 2 : 1);
        EXPECT_EQ(hx::run_audit.cabrillo_by_fields, c.by_fields ? 2u : 1u);
        EXPECT_EQ(hx::run_audit.cabrillo_by_columns, c.by_fields ? 0u : 1u);
    }
}

// Lines with single blanks between the fields, each after one whose fields
// stood in the same places, with the date and hour 2024-06-15 01h.
TEST(CabrilloFields, LineWithItsFieldsWhereTheLastOnesWereIsStillChecked) {
    const std::string tail = " JA9XXZ 599 10 JA1ZZZ 599 10M";
    struct Case {
        const char* name;
        std::string line;
        bool by_fields;
        int hour, band;  // hour -1: not counted
    } cases[] = {
        {"same places and hour", "QSO: 1810 CW 2024-06-15 0130" + tail, true, 1, 0},
        {"same places, next hour", "QSO: 1810 CW 2024-06-15 0230" + tail, true, 2, 0},
        {"letter in the date", "QSO: 1810 CW 2024-O6-15 0130" + tail, false, -1, 0},
        {"letter in the time", "QSO: 1810 CW 2024-06-15 01x0" + tail, false, -1, 0},
        {"tab for a blank", "QSO: 1810\tCW 2024-06-15 0130" + tail, true, 1, 0},
        {"six-digit frequency", "QSO: 144050 CW 2024-06-15 0130" + tail, true, 1, 7},
        {"designator", "QSO: 1.2G CW 2024-06-15 0130" + tail, true, 1, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hx::test::Ttemp_dir dir;
        const std::string log = "START-OF-LOG: 3.0\nQSO: 7012 CW 2024-06-15 0102" + tail + "\n" + c.line + "\n";
        std::int32_t type = 0;
        EXPECT_EQ(hx::break_down(dir.write_file("any.cbr", log), type, 0), c.hour < 0 ? 1 : 2);
        EXPECT_EQ(hx::tally.at(1, 1, 2, 0), 1);  // the first line, 7 MHz
        if (c.hour >= 0) {
            EXPECT_EQ(hx::tally.at(1, c.hour, c.band, 0), 1);
        }
        EXPECT_EQ(hx::run_audit.cabrillo_by_fields, c.by_fields ? 2u : 1u);
        EXPECT_EQ(hx::run_audit.cabrillo_by_columns, c.by_fields ? 0u : 1u);
    }
}

// Lines whose kHz frequency has more than five digits, each after one whose
// fields stood in the same places: the band still comes from the whole
// frequency, edges and letters included.
TEST(CabrilloFields, LongFrequencyWhereTheLastOneStoodGivesItsOwnBand) {
    const std::string tail = " JA9XXZ 599 10 JA1ZZZ 599 10M";
    struct Case {
        const char* name;
        std::string freq;
        int band;
    } cases[] = {
        {"144 MHz", "145990", 7},       {"upper edge of 144 MHz", "148000", 7}, {"above 144 MHz", "148001", 10},
        {"430 MHz", "432100", 8},       {"below 430 MHz", "419999", 10},        {"letter", "14405x", 10},
        {"seven digits, 1200 MHz", "1296000", 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hx::test::Ttemp_dir dir;
        const std::string log = "START-OF-LOG: 3.0\nQSO: 144050 CW 2024-06-15 0102" + tail + "\nQSO: " + c.freq +
                                " CW 2024-06-15 0130" + tail + "\n";
        std::int32_t type = 0;
        EXPECT_EQ(hx::break_down(dir.write_file("long.cbr", log), type, 0), 2);
        EXPECT_EQ(hx::tally.at(1, 1, 7, 0), c.band == 7 ? 2 : 1);
        EXPECT_EQ(hx::tally.at(1, 1, c.band, 0), c.band == 7 ? 2 : 1);
        EXPECT_EQ(hx::run_audit.cabrillo_by_fields, 2u);
    }
}

TEST(CabrilloFields, LogInAnyColumnCountsLikeTheTemplate) {
    hx::test::Ttemp_dir dir;
    std::string log =
        "START-OF-LOG: 3.0\n"
        "QSO: 1800 CW 2018-11-30 2204 JA9XXZ 599 JA1ZZA 599\n"   // 1.8 MHz at 22
        "QSO: 50 DG 2018-11-30 2210 JA9XXZ 599 JA1ZZA 599\n"     // 50 MHz
        "QSO:\t1.2G\tFM\t2018-11-30\t2305\tJA9XXZ\n"           // 1200 MHz at 23
        "qso: 14000 CW    2018-11-30   2359 JA9XXZ\n"           // 14 MHz
        "X-QSO: 14000 CW 2018-11-30 2300 JA9XXZ\n"              // not a QSO line
        "QSO: 14000 CW            2300 JA9XXZ\n"                // blanked date: skipped
        "QSO: 144100 FM 2018-12-01 0005 JA9XXZ\n";              // 144 MHz at 0
    std::int32_t type = 0;
    EXPECT_EQ(hx::break_down(dir.write_file("any.cbr", log), type, 0), 5);
    EXPECT_EQ(hx::tally.at(1, 22, 0, 0), 1);
    EXPECT_EQ(hx::tally.at(1, 22, 6, 0), 1);
    EXPECT_EQ(hx::tally.at(1, 23, 9, 0), 1);
    EXPECT_EQ(hx::tally.at(1, 23, 3, 0), 1);
    EXPECT_EQ(hx::tally.at(1, 0, 7, 0), 1);
    EXPECT_EQ(hx::run_audit.cabrillo_by_fields, 5u);
    EXPECT_EQ(hx::run_audit.cabrillo_by_columns, 1u);
    EXPECT_EQ(hx::run_audit.no_day.count, 1u);
}

}  // namespace
