// hxbench_ref: the benchmark's reference count. It reads a log the plain way,
// one whole line at a time with std::getline, applies the text-line, Cabrillo
// field, band and counting rules directly, and writes the report with the
// product's report writers (and its field_int). The benchmark compares its
// report with hxchart's byte for byte, so the product's fast paths cannot drift
// from the plain reading unnoticed.
#include <cctype>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "u_hx300.h"

namespace {

constexpr std::size_t kLineHead = 4096;  // the run looks at no more of a line than this

// Reads the text lines of a file: LF ends a line, CR bytes are dropped, a
// Ctrl-Z that begins a line ends the file, and a file without a line reads as
// one empty line. Calls `f(line)` until it returns false.
template <class F>
bool for_each_line(const std::string& path, F f) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string raw;
    bool any = false;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw[0] == '\x1a') break;
        any = true;
        std::string line;
        for (char c : raw)
            if (c != '\r') line.push_back(c);
        if (!f(line)) return true;
    }
    if (!any) f(std::string());
    return true;
}

hx::Tlog_type detect(const std::string& path) {
    hx::Tlog_type type = hx::lt_unknown;
    for_each_line(path, [&](const std::string& line) {
        std::size_t b = 0;
        while (b < line.size() && static_cast<unsigned char>(line[b]) <= 32) ++b;
        if (line == "Mivo for Windows ") type = hx::lt_all;
        else if (line.rfind("START-OF-LOG:", 0) == 0) type = hx::lt_cabrillo;
        else if (line.compare(b, 12, "mon day time") == 0) type = hx::lt_txt;
        return type == hx::lt_unknown;
    });
    return type;
}

// The band index of a band field, by comparing it with each band's text.
std::int32_t plain_band(hx::Tlog_type type, const std::string& f) {
    if (type == hx::lt_all) {
        const char* bands[] = {"1.9", "3.5", "7  ", "14 ", "21 ", "28 ", "50 ", "144", "430", "120"};
        for (std::int32_t i = 0; i < 10; ++i)
            if (f == bands[i]) return i;
        return 10;
    }
    if (f == " 1.2G") return 9;
    if (f == "  432") return 8;
    if (f == "  144") return 7;
    if (f == "   50") return 6;
    const std::string two = f.substr(0, 2);
    if (f.size() < 2) return 10;
    if (two == " 1" || two == "01") return 0;
    if (two == " 3" || two == "03") return 1;
    if (two == " 7" || two == "07") return 2;
    if (two == "14") return 3;
    if (two == "21") return 4;
    if (two == "28") return 5;
    if (two == "50") return 6;
    return 10;
}

bool blank_or_tab(char c) { return c == ' ' || c == '\t'; }
bool digits(const std::string& s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A Cabrillo QSO line whose first five blank- or tab-separated fields are
// "QSO:", a frequency, a mode, a date dddd-dd-dd and a four-digit time,
// rewritten into the template's columns 1-29; the line itself otherwise.
std::string plain_columns(const std::string& line) {
    std::string field[5];
    std::size_t i = 0;
    for (std::string& f : field) {
        while (i < line.size() && blank_or_tab(line[i])) ++i;
        while (i < line.size() && !blank_or_tab(line[i])) f.push_back(line[i++]);
        if (f.empty()) return line;
    }
    std::string qso = field[0];
    for (char& c : qso) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string& date = field[3];
    if (qso != "QSO:" || date.size() != 10 || date[4] != '-' || date[7] != '-' ||
        !digits(date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2)) || field[4].size() != 4 ||
        !digits(field[4]))
        return line;
    std::string freq = field[1];
    if (freq.size() > 5) {
        const long long khz = digits(freq) && freq.size() <= 12 ? std::stoll(freq) : -1;
        freq = khz >= 144000 && khz <= 148000     ? "144"
               : khz >= 420000 && khz <= 450000   ? "432"
               : khz >= 1240000 && khz <= 1300000 ? "1.2G"
                                                  : "up";
    }
    std::string out = field[0] + std::string(6 - freq.size(), ' ') + freq + " " + field[2].substr(0, 2);
    out.resize(14, ' ');
    return out + date + " " + field[4];
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 of a valid Gregorian date from year 1 on.
std::optional<std::int64_t> calendar_day(std::int32_t y, std::int32_t m, std::int32_t d) {
    using namespace std::chrono;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return std::nullopt;
    return sys_days{ymd}.time_since_epoch().count();
}

struct Tcount {
    hx::Ttally tally{};
    std::int64_t counted = 0, earliest = 0, start_abs = 0;
    std::int32_t start_hour = 0, days = 0;
    bool started = false;
};

// One counting pass; `anchor` fixes the hour the chart is anchored at.
Tcount count(const std::string& path, hx::Tlog_type type, std::int32_t shift,
             std::optional<std::int64_t> anchor) {
    Tcount c;
    bool calendar = false;
    std::uint64_t line_no = 0;
    for_each_line(path, [&](std::string line) {
        if (++line_no == 1) return true;  // the first line is never a QSO line
        if (line.size() > kLineHead) line.resize(kLineHead);
        const bool all = type == hx::lt_all;
        if (!all) {
            if (line.size() < 4 || std::toupper(static_cast<unsigned char>(line[0])) != 'Q' ||
                std::toupper(static_cast<unsigned char>(line[1])) != 'S' ||
                std::toupper(static_cast<unsigned char>(line[2])) != 'O' || line[3] != ':')
                return true;
            line = plain_columns(line);
        }
        const std::int32_t hour = hx::field_int(line, all ? 12 : 26, 2);
        const std::int32_t mday = hx::field_int(line, all ? 9 : 23, 2);
        const std::int32_t year = hx::field_int(line, all ? 1 : 15, 4);
        const std::int32_t month = hx::field_int(line, all ? 6 : 20, 2);
        if (hour < 0 || hour > 23) return true;
        if (!c.started) {
            if (mday < 1 || mday > 31) return true;
            calendar = calendar_day(year, month, mday).has_value();
        }
        std::int64_t day = mday;
        if (calendar) {
            const auto cal = calendar_day(year, month, mday);
            if (!cal) return true;
            day = *cal;
        } else if (mday < 1 || mday > 31) {
            return true;
        }
        const std::int64_t abs = day * 24 + hour;
        if (!c.started) {
            c.started = true;
            c.earliest = abs;
            const std::int64_t first = anchor.value_or(abs);
            c.start_hour = static_cast<std::int32_t>(((first % 24 + shift) % 24 + 24) % 24);
            c.start_abs = first - (((first - c.start_hour) % 24 + 24) % 24);
        }
        c.earliest = std::min(c.earliest, abs);
        const std::int64_t chart_day = std::max<std::int64_t>(1, floor_div(abs - c.start_abs, 24) + 1);
        if (chart_day > hx::kChartDays) return true;
        const int d = static_cast<int>(chart_day);
        c.days = std::max(c.days, d);
        const std::int32_t band = plain_band(type, line.size() >= (all ? 66u : 5u) ? line.substr(all ? 66 : 5, all ? 3 : 5) : "");
        ++c.tally.at(d, hour, band, 0);
        if (all) {
            if (line.size() < 55 || line.substr(54, 1) != "-") ++c.tally.at(d, hour, band, 1);
            if (line.size() < 61 || line.substr(60, 1) != "-") ++c.tally.at(d, hour, band, 2);
        }
        ++c.counted;
        return true;
    });
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "Usage: hxbench_ref LOG REPORT [SHIFT]\n"
                     "Counts LOG by plain line-by-line reading, writes its report to REPORT\n"
                     "and prints the number of QSOs counted.\n";
        return 2;
    }
    const std::string path = argv[1];
    const std::int32_t shift = argc == 4 ? std::stoi(argv[3]) : 0;
    const hx::Tlog_type type = detect(path);
    if (type != hx::lt_all && type != hx::lt_cabrillo) {
        std::cerr << path << ": not an ALL or Cabrillo log\n";
        return 1;
    }
    Tcount c = count(path, type, shift, std::nullopt);
    if (c.started && c.earliest < c.start_abs) c = count(path, type, shift, c.earliest);
    if (c.counted == 0) {
        std::cout << "0 QSOs\n";
        return 0;
    }
    hx::report_file.clear();
    hx::report_file.writeln("  Mivo Break Down / Time Chart  Ver 4.0");
    hx::report_file.writeln("                             logfile = " + hx::file_name_of(path));
    hx::chart_qso(c.tally, c.start_hour, c.days);
    if (type == hx::lt_all) hx::chart_multi(c.tally, c.start_hour, c.days);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << hx::report_file.text();
    if (!out.flush()) {
        std::cerr << argv[2] << ": cannot write\n";
        return 1;
    }
    std::cout << c.counted << " QSOs\n";
    return 0;
}
