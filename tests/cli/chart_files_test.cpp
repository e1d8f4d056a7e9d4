// The files hxchart writes beside the reports: the CSV read back as a
// spreadsheet would, and the SVG picture parsed as XML and shown in Chromium.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include "chart_csv.h"
#include "chart_svg.h"
#include "hxchart.h"
#include "readers.h"
#include "testsupport.h"
#include "u_hx300.h"

namespace {

using hx::test::Ttemp_dir;
using Trows = std::vector<std::vector<std::string>>;

struct Tresult {
    int status;
    std::string out, err;
};

Tresult hxchart(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = hx::cli::run(args, out, err, false);
    return {status, out.str(), err.str()};
}

std::string example(const char* name) { return hx::test::read_file(std::string(HX_EXAMPLES "/") + name); }

Trows csv_rows(const std::string& text) {
    std::string why;
    auto rows = hx::test::parse_csv(text, &why);
    EXPECT_TRUE(rows) << why;
    return rows ? *rows : Trows{};
}

// The rows the CSV must hold for `log`, from a fresh run of the engine.
Trows expected_rows(const std::string& log, std::int32_t shift = 0) {
    std::int32_t type = 0;
    EXPECT_GT(hx::break_down(log, type, shift), 0);
    Trows rows;
    for (int d = 1; d <= hx::day_index; ++d)
        for (int k = 0; k < hx::kHours; ++k) {
            const int h = (hx::start_hour + k) % 24;
            for (int b = 0; b < hx::kBands; ++b) {
                const int q = hx::tally.at(d, h, b, 0);
                if (q == 0) continue;
                const bool all = type == hx::lt_all;
                rows.push_back({log, std::to_string(d), std::to_string(h), hx::cli::band_name(b), std::to_string(q),
                                all ? std::to_string(hx::tally.at(d, h, b, 1)) : "",
                                all ? std::to_string(hx::tally.at(d, h, b, 2)) : ""});
            }
        }
    return rows;
}

const std::vector<std::string> kHeader = {"log", "day", "hour", "band", "qso", "mult1", "mult2"};

TEST(HxchartCsv, RowsReadBackAsTheCounts) {
    Ttemp_dir dir;
    const std::string all = dir.write_file("contest.ALL", example("contest.ALL"));
    const std::string cbr = dir.write_file("other.cbr", example("contest.cbr"));
    const std::string three = dir.write_file("three.ALL", hx::test::read_file(HX_TEST_DATA "/three_days.ALL"));
    const std::string odd = dir.write_file("a,\"b\"\nc.ALL", example("contest.ALL"));  // needs quoting
    const std::string bad = dir.write_file("bad.log", "x\n");
    const std::string csv = dir.file("counts.csv");
    dir.write_file("counts.csv", "an earlier file\r\n");

    Tresult r = hxchart({"--csv", csv, "--shift", "-3", all, bad, cbr, three, odd});
    EXPECT_EQ(r.status, 1);  // bad.log
    Trows rows = csv_rows(dir.read_file("counts.csv"));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], kHeader);

    Trows expected = {kHeader};
    for (const std::string& log : {all, cbr, three, odd})
        for (auto& row : expected_rows(log, -3)) expected.push_back(row);
    EXPECT_EQ(rows, expected);

    // Pinned from the worked example: clock hour 21 keeps its counts whatever
    // the shift, as do the totals.
    const Trows first = {{all, "1", "21", "3.5", "12", "4", "0"}, {all, "1", "21", "7", "25", "5", "4"}};
    std::int64_t qsos = 0, marks = 0;
    std::set<std::string> bands;
    for (const auto& row : rows) {
        if (row[0] != all) continue;
        qsos += std::stoll(row[4]);
        marks += std::stoll(row[5]) + std::stoll(row[6]);
        bands.insert(row[3]);
        if (row[2] == "21") {
            EXPECT_TRUE(row == first[0] || row == first[1]) << row[3];
        }
    }
    EXPECT_EQ(qsos, 175);
    EXPECT_EQ(marks, 19);
    EXPECT_EQ(bands, (std::set<std::string>{"3.5", "7", "21"}));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"a,\"b\"\nc.ALL", "a,\"b\"\nc.hx", "bad.log", "contest.ALL",
                                                    "contest.hx", "counts.csv", "other.cbr", "other.hx",
                                                    "three.ALL", "three.hx"}))
        << "no temporary file stays";
}

TEST(HxchartCsv, BandLabelsWithoutPadding) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("t.ALL", hx::test::read_file(HX_TEST_DATA "/three_days.ALL"));
    Tresult r = hxchart({"--csv", "-", log});
    std::set<std::string> bands;
    for (const auto& row : csv_rows(r.out)) bands.insert(row[3]);
    EXPECT_EQ(bands,
              (std::set<std::string>{"band", "1.9", "3.5", "7", "14", "21", "28", "50", "144", "430", "120", "up"}));
}

TEST(HxchartCsv, ToStandardOutput) {
    Ttemp_dir dir;
    const std::string cbr = dir.write_file("c.cbr", example("contest.cbr"));
    Tresult r = hxchart({"--csv", "-", cbr});
    EXPECT_EQ(r.status, 0);
    Trows rows = csv_rows(r.out);
    Trows expected = {kHeader};
    for (auto& row : expected_rows(cbr)) expected.push_back(row);
    EXPECT_EQ(rows, expected);
    // With the CSV on stdout, the per-log lines and the summary move to stderr.
    EXPECT_EQ(r.err, cbr + ": Cabrilo, 44 QSOs, report " + dir.file("c.hx") + "\n" + cbr +
                         ": read 44 QSO lines by their fields, 0 by the template columns\n"
                         "1 log: 1 counted (44 QSOs), 0 not recognised, 0 not counted, 0 failed\n");
}

TEST(HxchartCsv, FileThatCannotBeWritten) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("c.ALL", example("contest.ALL"));
    ::mkdir(dir.file("out.csv").c_str(), 0755);
    Tresult r = hxchart({"--csv", dir.file("out.csv"), log});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hxchart: " + dir.file("out.csv") + ": cannot write the CSV file: is a directory\n");
    EXPECT_TRUE(hx::test::file_exists(dir.file("c.hx"))) << "the logs are counted all the same";
}

TEST(HxchartCsv, FieldQuoting) {
    struct Case {
        const char* name;
        std::string_view in, out;
    } cases[] = {
        {"plain", "logs/a.ALL", "logs/a.ALL"},
        {"empty", "", ""},
        {"comma", "a,b", "\"a,b\""},
        {"quote doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"CR", "a\rb", "\"a\rb\""},
        {"LF", "a\nb", "\"a\nb\""},
        {"8-bit bytes as they are", "\x83\x52\xE5\xA4\xA7", "\x83\x52\xE5\xA4\xA7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hx::cli::csv_field(c.in), c.out);
    }
}

// ---------------------------------------------------------------------------
// SVG

hx::test::Txml_element svg_of(const std::string& path) {
    std::string why;
    auto root = hx::test::parse_xml(hx::test::read_file(path), &why);
    EXPECT_TRUE(root) << why;
    if (!root) return {};
    EXPECT_EQ(root->name, "svg");
    EXPECT_EQ(root->attrs["xmlns"], "http://www.w3.org/2000/svg");
    return *root;
}

std::vector<std::string> texts_of_class(const hx::test::Txml_element& e, std::string_view cls) {
    std::vector<std::string> t;
    for (const auto* x : e.all("text")) {
        auto it = x->attrs.find("class");
        if (it != x->attrs.end() && it->second == cls) t.push_back(x->all_text());
    }
    return t;
}

// Sum of data-value per hour of the bar segments of class `cls`.
std::map<int, int> values_by_hour(const hx::test::Txml_element& e, std::string_view cls) {
    std::map<int, int> m;
    for (const auto* r : e.all("rect")) {
        auto it = r->attrs.find("class");
        if (it == r->attrs.end() || it->second != cls) continue;
        m[std::stoi(r->attrs.at("data-hour"))] += std::stoi(r->attrs.at("data-value"));
    }
    return m;
}

TEST(HxchartSvg, PictureOfAnAllLog) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("contest.ALL", example("contest.ALL"));
    Tresult r = hxchart({"--svg", log});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(", report " + dir.file("contest.hx") + ", picture " + dir.file("contest.svg") + "\n"),
              std::string::npos)
        << r.out;
    const auto svg = svg_of(dir.file("contest.svg"));

    EXPECT_EQ(texts_of_class(svg, "title"), std::vector<std::string>{"contest.ALL \xE2\x80\x94 chart day 1"});
    EXPECT_EQ(texts_of_class(svg, "band"), (std::vector<std::string>{"3.5", "7", "21"}));
    // Hour labels in the report's column order, under each of the two panels.
    std::vector<std::string> hours;
    for (int k = 0; k < 24; ++k) hours.push_back(std::to_string((21 + k) % 24));
    std::vector<std::string> both = hours;
    both.insert(both.end(), hours.begin(), hours.end());
    EXPECT_EQ(texts_of_class(svg, "hour"), both);
    // The sums of the worked example's QSO and Multi. sections.
    EXPECT_EQ(values_by_hour(svg, "qso"), (std::map<int, int>{{21, 37}, {22, 26}, {23, 14}, {0, 3},  {4, 3},
                                                                {5, 10},  {6, 11},  {7, 7},   {8, 14}, {9, 21},
                                                                {10, 17}, {11, 9},  {12, 3}}));
    EXPECT_EQ(values_by_hour(svg, "mark"), (std::map<int, int>{{21, 13}, {22, 4}, {6, 2}}));

    // One colour per band, and bars drawn to one scale within a panel.
    std::map<std::string, std::string> fill;
    std::set<std::string> colours;
    std::map<std::string, double> per_unit;
    for (const auto* e : svg.all("rect")) {
        if (!e->attrs.contains("data-band")) continue;
        const std::string band = e->attrs.at("data-band");
        auto [it, fresh] = fill.emplace(band, e->attrs.at("fill"));
        EXPECT_EQ(it->second, e->attrs.at("fill")) << band;
        if (fresh) colours.insert(it->second);
        const double unit = std::stod(e->attrs.at("height")) / std::stoi(e->attrs.at("data-value"));
        auto [u, first] = per_unit.emplace(e->attrs.at("class"), unit);
        EXPECT_NEAR(u->second, unit, 0.1);
        EXPECT_GE(std::stod(e->attrs.at("y")), 0);
    }
    EXPECT_EQ(colours.size(), fill.size());
}

TEST(HxchartSvg, CabrilloHasNoMarkPanelAndEveryDayItsTitle) {
    Ttemp_dir dir;
    const std::string cbr = dir.write_file("c.cbr", example("contest.cbr"));
    const std::string three = dir.write_file("three.ALL", hx::test::read_file(HX_TEST_DATA "/three_days.ALL"));
    ASSERT_EQ(hxchart({"--svg", "--shift", "5", cbr, three}).status, 0);

    const auto c = svg_of(dir.file("c.svg"));
    EXPECT_TRUE(values_by_hour(c, "mark").empty());
    int qsos = 0;
    for (auto [h, v] : values_by_hour(c, "qso")) qsos += v;
    EXPECT_EQ(qsos, 44);

    const auto t = svg_of(dir.file("three.svg"));
    EXPECT_EQ(texts_of_class(t, "title"),
              (std::vector<std::string>{"three.ALL \xE2\x80\x94 chart day 1", "three.ALL \xE2\x80\x94 chart day 2",
                                        "three.ALL \xE2\x80\x94 chart day 3"}));
    std::int32_t type = 0;
    hx::break_down(three, type, 5);
    EXPECT_EQ(texts_of_class(t, "hour").front(), std::to_string(hx::start_hour));
}

TEST(HxchartSvg, XmlTextOfAnyBytes) {
    const std::string_view fffd = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"markup characters", "a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d&apos;"},
        {"UTF-8 Japanese passes", "コンテスト.ALL", "コンテスト.ALL"},
        {"four-byte character passes", "\xF0\x9F\x93\xBB", "\xF0\x9F\x93\xBB"},
        {"Shift-JIS bytes", "\x83\x52\x83\x93.ALL",
         std::string(fffd) + "R" + std::string(fffd) + std::string(fffd) + ".ALL"},
        {"control character", "a\x01" "b\tc", std::string("a") + std::string(fffd) + "b" + std::string(fffd) + "c"},
        {"overlong slash", "\xC0\xAF", std::string(fffd) + std::string(fffd)},
        {"UTF-16 surrogate", "\xED\xA0\x80", std::string(fffd) + std::string(fffd) + std::string(fffd)},
        {"above U+10FFFF", "\xF4\x90\x80\x80", std::string(fffd) + std::string(fffd) + std::string(fffd) + std::string(fffd)},
        {"cut at the end", "ab\xE5\xA4", "ab" + std::string(fffd) + std::string(fffd)},
        {"non-character U+FFFE", "\xEF\xBF\xBE", std::string(fffd) + std::string(fffd) + std::string(fffd)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string got = hx::cli::xml_text(c.in);
        EXPECT_EQ(got, c.out);
        EXPECT_TRUE(hx::test::parse_xml("<t a=\"" + got + "\">" + got + "</t>"));
    }
}

TEST(HxchartSvg, WellFormedWhateverTheFileName) {
    Ttemp_dir dir;
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        const char* name;
        std::string file, title;
    } cases[] = {
        {"markup characters", "a&b<c>\"d'.ALL", "a&b<c>\"d'.ALL"},
        {"Japanese in UTF-8 with a blank", "大会 ログ.ALL", "大会 ログ.ALL"},
        {"Shift-JIS bytes", "\x91\xE5\x89\xEF.ALL", fffd + fffd + fffd + fffd + ".ALL"},
        {"control character", "a\x1b.ALL", "a" + fffd + ".ALL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string log = dir.write_file(c.file, example("contest.ALL"));
        ASSERT_EQ(hxchart({"--svg", log}).status, 0);
        const auto svg = svg_of(hx::base_name(log) + ".svg");
        EXPECT_EQ(texts_of_class(svg, "title"), std::vector<std::string>{c.title + " \xE2\x80\x94 chart day 1"});
    }
}

TEST(HxchartSvg, PictureThatCannotBeWritten) {
    Ttemp_dir dir;
    ::mkdir(dir.file("d.svg").c_str(), 0755);
    struct Case {
        const char* name;
        std::string log, picture, why;
    } cases[] = {
        {"picture path is a folder", dir.write_file("d.ALL", example("contest.ALL")), dir.file("d.svg"),
         "is a directory"},
        {"picture path is the log", dir.write_file("p.svg", example("contest.cbr")), dir.file("p.svg"),
         "it is the log itself"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = hx::test::read_file(c.log);
        Tresult r = hxchart({"--svg", c.log});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "hxchart: " + c.log + ": cannot write the picture " + c.picture + ": " + c.why + "\n");
        EXPECT_TRUE(r.out.ends_with("1 log: 0 counted (0 QSOs), 0 not recognised, 0 not counted, 1 failed\n"));
        EXPECT_EQ(hx::test::read_file(c.log), before);
    }
}

// Width and height from a PNG's IHDR chunk; false when it is no PNG.
bool png_size(const std::string& png, std::uint32_t& w, std::uint32_t& h) {
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0)
        return false;
    auto be32 = [&](std::size_t i) {
        return (std::uint32_t(static_cast<unsigned char>(png[i])) << 24) |
               (std::uint32_t(static_cast<unsigned char>(png[i + 1])) << 16) |
               (std::uint32_t(static_cast<unsigned char>(png[i + 2])) << 8) |
               std::uint32_t(static_cast<unsigned char>(png[i + 3]));
    };
    w = be32(16);
    h = be32(20);
    return true;
}

TEST(HxchartSvg, RendersInHeadlessChromium) {
    const char* chromium = "/usr/bin/chromium";
    if (::access(chromium, X_OK) != 0) GTEST_SKIP() << chromium << " is not installed";
    Ttemp_dir dir;
    const std::string log = dir.write_file("contest.ALL", example("contest.ALL"));
    ASSERT_EQ(hxchart({"--svg", log}).status, 0);
    auto svg = svg_of(dir.file("contest.svg"));
    const std::string width = svg.attrs["width"], height = svg.attrs["height"];
    ::mkdir(dir.file("profile").c_str(), 0700);
    const std::string png = dir.file("contest.png");
    const std::string cmd = std::string("timeout 120 ") + chromium +
                            " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                            " --disable-background-networking --disable-component-update --disable-sync"
                            " --user-data-dir='" + dir.file("profile") + "' --screenshot='" + png +
                            "' --window-size=" + width + "," + height + " 'file://" + dir.file("contest.svg") +
                            "' >'" + dir.file("chromium.log") + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << hx::test::read_file(dir.file("chromium.log"));
    ASSERT_TRUE(hx::test::file_exists(png));
    const std::string bytes = hx::test::read_file(png);
    std::uint32_t w = 0, h = 0;
    ASSERT_TRUE(png_size(bytes, w, h));
    EXPECT_EQ(std::to_string(w), width);
    EXPECT_EQ(std::to_string(h), height);
    // A blank page of this size compresses to a few KB; bars, labels and the
    // legend take far more. An XML error page would not reach this either.
    EXPECT_GT(bytes.size(), 12000u);
}

// ---------------------------------------------------------------------------
// The readers themselves must refuse what a spreadsheet or a browser refuses.

TEST(HxchartReaders, RejectMalformedInput) {
    const char* bad_xml[] = {
        "",
        "<a>",
        "<a></b>",
        "<a><b></a></b>",
        "<a x=1/>",
        "<a x=\"1\" x=\"2\"/>",
        "<a x=\"<\"/>",
        "<a>&</a>",
        "<a>&nbsp;</a>",
        "<a>&#1;</a>",
        "<a/><b/>",
        "<a>\x01</a>",
        "<a>\xC3</a>",
        "<a>\xED\xA0\x80</a>",
        "<a>\xC0\xAF</a>",
    };
    for (const char* doc : bad_xml) {
        SCOPED_TRACE(doc);
        EXPECT_FALSE(hx::test::parse_xml(doc));
    }
    auto ok = hx::test::parse_xml("<?xml version=\"1.0\"?>\n<a x='&lt;&#x263A;'>t&amp;<b/>u</a>\n");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->attrs["x"], "<\xE2\x98\xBA");
    EXPECT_EQ(ok->text, "t&u");

    const char* bad_csv[] = {"a,b", "a\nb\r\n", "a\rb\r\n", "a\"b\r\n", "\"a\"b\r\n", "\"ab\r\n"};
    for (const char* text : bad_csv) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(hx::test::parse_csv(text));
    }
    EXPECT_EQ(*hx::test::parse_csv("a,\"b,\"\"\r\n\"\r\n,\r\n"), (Trows{{"a", "b,\"\r\n"}, {"", ""}}));
}

}  // namespace
