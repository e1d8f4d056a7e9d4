// Layouts, field taking, QSO lines, band indexes and file names.
#include <gtest/gtest.h>

#include "hx_util2.h"

namespace {

using hx::Tcolumn;
using hx::Tlayout;

TEST(Layout, FixedTablesAndUntouchedForOtherTypes) {
    Tlayout all{}, cab{};
    hx::set_layout(hx::lt_all, all);
    hx::set_layout(hx::lt_cabrillo, cab);
    EXPECT_EQ(all, (Tlayout{{67, 3}, {18, 10}, {9, 2}, {12, 2}, {55, 1}, {61, 1}, {1, 10},
                            {72, 4}, {31, 3}, {43, 3}, {12, 5}, {6, 2}, {47, 3}}));
    EXPECT_EQ(cab, (Tlayout{{6, 5}, {56, 10}, {23, 2}, {26, 2}, {-1, 0}, {-1, 0}, {15, 10},
                            {12, 2}, {45, 3}, {70, 3}, {26, 4}, {20, 2}, {74, 6}}));
    for (hx::Tlog_type t : {-1, 0, 4}) {
        Tlayout l = all;
        hx::set_layout(t, l);
        EXPECT_EQ(l, all) << t;
    }
}

TEST(Layout, FromHeaderLine) {
    Tlayout l{};
    hx::layout_from_header("mon day time", l);
    EXPECT_EQ(l, (Tlayout{{-1, 4}, {-1, 10}, {6, 2}, {9, 2}, {4, 1}, {-1, 0}, {-1, 0},
                          {1, 3}, {-4, 3}, {-4, 3}, {9, 4}, {2, 2}, {-1, 0}}));
    hx::layout_from_header("  mon day time", l);
    EXPECT_EQ(l.col_day, (Tcolumn{8, 2}));
    EXPECT_EQ(l.col_hour, (Tcolumn{11, 2}));
    EXPECT_EQ(l.col_time, (Tcolumn{11, 4}));
    EXPECT_EQ(l.col_month, (Tcolumn{4, 2}));
    EXPECT_EQ(l.col_mode, (Tcolumn{1, 3}));

    std::string h(49, ' ');
    h += "MHz MHz mhz";
    EXPECT_EQ(hx::column_end(h, "MHz"), 52);
    hx::layout_from_header(h, l);
    EXPECT_EQ(l.col_band, (Tcolumn{49, 4}));
    EXPECT_EQ(hx::column_end("x mhz", "MHz"), 2);
    EXPECT_EQ(hx::column_end("", "callsign"), 7);

    // set_layout for a TXT log reads header_line.
    hx::header_line = "mon day time";
    Tlayout t{};
    hx::set_layout(hx::lt_txt, t);
    EXPECT_EQ(t.col_day, (Tcolumn{6, 2}));
}

TEST(Layout, TakeField) {
    struct Case {
        int start, length;
        const char* expect;
    } cases[] = {{1, 3, "abc"}, {-4, 3, "abc"}, {0, 2, "ab"}, {5, 10, "ef"},
                 {7, 1, ""},   {-1, 0, ""},    {2, -3, ""},  {3, 2147483647, "cdef"}};
    for (const auto& c : cases)
        EXPECT_EQ(hx::take_field("abcdef", c.start, c.length), c.expect) << c.start << "/" << c.length;
}

TEST(QsoLine, ByType) {
    struct Case {
        hx::Tlog_type type;
        const char* line;
        bool qso;
    } cases[] = {
        {hx::lt_cabrillo, "QSO: 14000", true}, {hx::lt_cabrillo, "qso: x", true},
        {hx::lt_cabrillo, "QsO:", true},       {hx::lt_cabrillo, " QSO:", false},
        {hx::lt_cabrillo, "QSO 1", false},     {hx::lt_cabrillo, "QSO", false},
        {hx::lt_cabrillo, "X-QSO: 1", false},  {hx::lt_all, "", true},
        {hx::lt_txt, "", true},                {hx::lt_unknown, "QSO:", false},
    };
    for (const auto& c : cases) EXPECT_EQ(hx::is_qso_line(c.type, c.line), c.qso) << c.line;
}

TEST(Band, IndexByType) {
    struct Case {
        hx::Tlog_type type;
        const char* field;
        int band;
    } cases[] = {
        {hx::lt_all, "1.9", 0},     {hx::lt_all, "7  ", 2},      {hx::lt_all, "7", 10},
        {hx::lt_all, "120", 9},     {hx::lt_all, "   ", 10},     {hx::lt_all, "430", 8},
        {hx::lt_txt, "1200", 9},    {hx::lt_txt, "2400", 10},    {hx::lt_txt, "   7", 2},
        {hx::lt_txt, " 1.9", 0},    {hx::lt_cabrillo, " 1.2G", 9}, {hx::lt_cabrillo, "  432", 8},
        {hx::lt_cabrillo, "  430", 10}, {hx::lt_cabrillo, "   50", 6}, {hx::lt_cabrillo, "50100", 6},
        {hx::lt_cabrillo, " 1830", 0}, {hx::lt_cabrillo, "01830", 0}, {hx::lt_cabrillo, "03510", 1},
        {hx::lt_cabrillo, "07010", 2}, {hx::lt_cabrillo, "14000", 3}, {hx::lt_cabrillo, "21000", 4},
        {hx::lt_cabrillo, "28000", 5}, {hx::lt_cabrillo, "10100", 10}, {hx::lt_cabrillo, "18100", 10},
        {hx::lt_cabrillo, "24900", 10}, {hx::lt_cabrillo, "29000", 10}, {hx::lt_cabrillo, " 2000", 10},
        {hx::lt_cabrillo, "1", 10},   {hx::lt_unknown, "1.9", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(hx::band_index_of(c.type, c.field, 1, static_cast<int>(std::string_view(c.field).size()) + 2),
                  c.band);
    }
    // The field is taken by start and length: an ALL line that ends after the 7.
    EXPECT_EQ(hx::band_index_of(hx::lt_all, std::string(66, ' ') + "7", 67, 3), 10);
    EXPECT_EQ(hx::band_index_of(hx::lt_all, std::string(66, ' ') + "7  x", 67, 3), 2);
}

TEST(FileName, OfPath) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\logs\\contest.ALL", "contest.ALL"},
        {"C:contest.ALL", "contest.ALL"},
        {"/data/logs/contest.ALL", "contest.ALL"},
        {"contest.ALL", "contest.ALL"},
        {"dir/", ""},
        // 0x95 0x5C is one Shift-JIS character: its "\" byte separates nothing.
        {"C:\\logs\\\x95\x5C" "a.ALL", "\x95\x5C" "a.ALL"},
        // UTF-8 Japanese names keep "/" as a separator.
        {"/tmp/\xE3\x81\x82/\xE3\x83\xAD\xE3\x82\xB0.ALL", "\xE3\x83\xAD\xE3\x82\xB0.ALL"},
    };
    for (const auto& c : cases) EXPECT_EQ(hx::file_name_of(c.path), c.name) << c.path;
}

}  // namespace
