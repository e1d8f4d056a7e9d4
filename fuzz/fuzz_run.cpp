// Fuzz target: a whole run over an arbitrary log with an arbitrary time shift
// (any 32-bit value), in a temporary folder of its own. Whatever the log, the
// run leaves the log as it was, writes a report exactly when it counted QSOs,
// leaves no other file behind, and fills the tally exactly as a plain count
// by the counting rules, written here line by line, does.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "u_hx300.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder under $TMPDIR (or /tmp), removed at exit.
struct Tfolder {
    std::string path;
    Tfolder() {
        const char* base = std::getenv("TMPDIR");
        path = std::string(base && *base ? base : "/tmp") + "/hx-fuzz-run.XXXXXX";
        HX_FUZZ_CHECK(::mkdtemp(path.data()) != nullptr);
    }
    ~Tfolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    HX_FUZZ_CHECK(in.good());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> names_in(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename());
    return names;
}

// Log names: usual ones, one whose report name is its own name, short ones
// whose report is ".hx", and a Shift-JIS one with "\" as a second byte.
constexpr const char* kNames[] = {"log.ALL", "log.cbr", ".hx", "abcd", "x", "\x81\\\x83.ALL"};

struct Tresult {
    std::int32_t count, type;
    std::string report;  // empty when none was written
};

Tresult run(const std::string& log, std::int32_t shift) {
    std::int32_t type = 12345;
    const std::int32_t count = hx::break_down(log, type, shift);  // an I/O error here is a fault
    Tresult r{count, type, {}};
    if (count > 0) r.report = read_all(hx::out_path);
    return r;
}


// The counting rules, applied plainly to the lines of the log.
struct Tplain_count {
    hx::Ttally tally{};
    std::int64_t counted = 0, earliest = 0, start_abs = 0;
    std::int32_t start_hour = 0, days = 0;
    std::uint64_t no_hour = 0, no_day = 0, beyond = 0;
    bool started = false;
};

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a valid Gregorian date from year 1 on.
std::optional<std::int64_t> calendar_day(std::int32_t y, std::int32_t m, std::int32_t d) {
    using namespace std::chrono;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return std::nullopt;
    return sys_days{ymd}.time_since_epoch().count();
}

Tplain_count plain_count(const std::vector<std::string>& lines, hx::Tlog_type type, std::int32_t shift,
                         std::optional<std::int64_t> anchor) {
    hx::Tlayout lay{};
    hx::set_layout(type, lay);
    const bool all = type == hx::lt_all;
    Tplain_count c;
    bool calendar = false;
    for (std::size_t n = 1; n < lines.size(); ++n) {  // the first line is never a QSO line
        std::string line = lines[n].substr(0, 4096);  // the run looks at no more of a line
        if (!hx::is_qso_line(type, line)) continue;
        std::string columns;
        if (!all && hx::cabrillo_fields_to_columns(line, columns)) line = columns;
        const std::int32_t hour = hx::field_int(line, lay.col_hour.start, lay.col_hour.length);
        const std::int32_t mday = hx::field_int(line, lay.col_day.start, lay.col_day.length);
        const std::int32_t y = hx::field_int(line, lay.col_date.start, 4);
        const std::int32_t m = hx::field_int(line, lay.col_month.start, lay.col_month.length);
        if (hour < 0 || hour > 23) {
            ++c.no_hour;
            continue;
        }
        if (!c.started) {
            if (mday < 1 || mday > 31) {
                ++c.no_day;
                continue;
            }
            calendar = calendar_day(y, m, mday).has_value();
        }
        std::int64_t day = mday;
        if (calendar) {
            const std::optional<std::int64_t> d = calendar_day(y, m, mday);
            if (!d) {
                ++c.no_day;
                continue;
            }
            day = *d;
        } else if (mday < 1 || mday > 31) {
            ++c.no_day;
            continue;
        }
        const std::int64_t abs = day * 24 + hour;
        if (!c.started) {
            c.started = true;
            c.earliest = abs;
            const std::int64_t first = anchor.value_or(abs);
            c.start_hour = static_cast<std::int32_t>(((first % 24 + shift % 24) % 24 + 24) % 24);
            c.start_abs = first - (((first - c.start_hour) % 24 + 24) % 24);
        }
        c.earliest = std::min(c.earliest, abs);
        const std::int64_t chart_day = std::max<std::int64_t>(1, floor_div(abs - c.start_abs, 24) + 1);
        if (chart_day > hx::kChartDays) {
            ++c.beyond;
            continue;
        }
        const int d = static_cast<int>(chart_day);
        c.days = std::max(c.days, d);
        const std::int32_t band = hx::band_index_of(type, line, lay.col_band.start, lay.col_band.length);
        ++c.tally.at(d, hour, band, 0);
        if (all && hx::take_field(line, lay.col_mult1.start, lay.col_mult1.length) != "-") ++c.tally.at(d, hour, band, 1);
        if (all && hx::take_field(line, lay.col_mult2.start, lay.col_mult2.length) != "-") ++c.tally.at(d, hour, band, 2);
        ++c.counted;
    }
    return c;
}

// A log out of time order is counted again, anchored at its earliest QSO.
Tplain_count plain_run(const std::string& bytes, hx::Tlog_type type, std::int32_t shift) {
    const std::vector<std::string> lines = hx::fuzz::lines_of(bytes);
    Tplain_count c = plain_count(lines, type, shift, std::nullopt);
    if (c.started && c.earliest < c.start_abs) c = plain_count(lines, type, shift, c.earliest);
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::int32_t shift = in.ConsumeIntegral<std::int32_t>();
    const std::string name = kNames[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames) - 1)];
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    static const Tfolder folder;
    const std::string& dir = folder.path;
    for (const auto& e : fs::directory_iterator(dir)) fs::remove_all(e.path());
    const std::string log = dir + "/" + name;
    {
        std::ofstream out(log, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        HX_FUZZ_CHECK(out.good());
    }

    const Tresult r = run(log, shift);
    HX_FUZZ_CHECK(read_all(log) == bytes);
    HX_FUZZ_CHECK(r.count >= -1);
    HX_FUZZ_CHECK(r.type == hx::lt_all || r.type == hx::lt_cabrillo || (r.type == -1 && r.count == 0));

    // The run counted what the plain count counts, into the same counters.
    if (r.type != -1 && r.count != -1) {
        const Tplain_count want = plain_run(bytes, r.type, shift);
        HX_FUZZ_CHECK(r.count == want.counted);
        HX_FUZZ_CHECK(hx::run_audit.no_hour.count == want.no_hour);
        HX_FUZZ_CHECK(hx::run_audit.no_day.count == want.no_day);
        HX_FUZZ_CHECK(hx::run_audit.beyond.count == want.beyond);
        if (r.count > 0) {
            HX_FUZZ_CHECK(std::memcmp(&hx::tally, &want.tally, sizeof want.tally) == 0);
            HX_FUZZ_CHECK(hx::day_index == want.days && hx::start_hour == want.start_hour);
        }
    }

    const std::string report = hx::base_name(log) + ".hx";
    if (r.count <= 0) {
        HX_FUZZ_CHECK(names_in(dir) == std::set<std::string>{name});
        return 0;
    }
    HX_FUZZ_CHECK(hx::out_path == report && report != log);
    HX_FUZZ_CHECK(names_in(dir) == (std::set<std::string>{name, fs::path(report).filename()}));
    HX_FUZZ_CHECK(r.report == hx::report_file.text());
    HX_FUZZ_CHECK(r.report.starts_with("  Mivo Break Down / Time Chart  Ver 4.0\r\n"
                                       "                             logfile = " +
                                       hx::file_name_of(log) + "\r\n"));
    HX_FUZZ_CHECK(hx::day_index >= 1 && hx::day_index <= hx::kChartDays);
    HX_FUZZ_CHECK(hx::start_hour >= 0 && hx::start_hour < hx::kHours);

    // Every counted QSO is in the tally once; a mark only beside a QSO, and
    // marks only in ALL logs.
    std::int64_t qsos = 0;
    for (int d = 1; d <= hx::kChartDays; ++d)
        for (int h = 0; h < hx::kHours; ++h)
            for (int b = 0; b < hx::kBands; ++b) {
                const std::int32_t n = hx::tally.at(d, h, b, 0);
                qsos += n;
                for (int k : {1, 2}) {
                    HX_FUZZ_CHECK(hx::tally.at(d, h, b, k) >= 0 && hx::tally.at(d, h, b, k) <= n);
                    HX_FUZZ_CHECK(r.type == hx::lt_all || hx::tally.at(d, h, b, k) == 0);
                }
                HX_FUZZ_CHECK(d <= hx::day_index || n == 0);
            }
    HX_FUZZ_CHECK(qsos == r.count);

    // Within -24..24 a shift and the same shift a day away give the same
    // chart; the second run replaces the report with the same bytes.
    if (shift >= -24 && shift <= 24) {
        const Tresult again = run(log, shift <= 0 ? shift + 24 : shift - 24);
        HX_FUZZ_CHECK(again.count == r.count && again.type == r.type && again.report == r.report);
        HX_FUZZ_CHECK(names_in(dir) == (std::set<std::string>{name, fs::path(report).filename()}));
    }
    return 0;
}
