// Breakdown engine (module u_hx300): one run over a log that fills the tally,
// and the time-chart report it writes next to the log. Standard library only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hx_util2.h"

namespace hx {

inline constexpr int kChartDays = 3;
inline constexpr int kHours = 24;
inline constexpr int kBands = 11;
inline constexpr int kKinds = 3;  // 0 a QSO, 1 a mark in col_mult1, 2 a mark in col_mult2

// The counters of one run, [chart day 1..3][hour 0..23][band 0..10][kind 0..2].
struct Ttally {
    std::int32_t c[kChartDays][kHours][kBands][kKinds];
    std::int32_t& at(int day, int hour, int band, int kind) { return c[day - 1][hour][band][kind]; }
    std::int32_t at(int day, int hour, int band, int kind) const { return c[day - 1][hour][band][kind]; }
};

// Why QSO lines of the last run were left out, with the first few line numbers
// of each kind, and how Cabrillo QSO lines were read.
struct Trun_audit {
    static constexpr std::size_t kFirstLines = 5;
    struct Tskips {
        std::uint64_t count = 0;
        std::vector<std::uint64_t> first_lines;  // at most kFirstLines
    };
    Tskips no_hour;    // hour field not 0..23
    Tskips no_day;     // day field not 1..31, or no valid date in calendar mode
    Tskips beyond;     // would open a fourth chart day
    std::uint64_t cabrillo_by_fields = 0;   // QSO lines read by their blank-separated fields
    std::uint64_t cabrillo_by_columns = 0;  // QSO lines read by the template columns
    bool reread = false;                    // the log was out of time order and read twice
    bool log_read = false;                  // the log was opened and read to its end
    std::uint64_t skipped() const { return no_hour.count + no_day.count + beyond.count; }
};

// Collects the report text and replaces the report file atomically: a new
// temporary file in the report's folder (created exclusively, never through a
// link planted at its name, with the permissions a new file gets) is written
// whole and renamed over the report path.
class Treport_file {
public:
    void write(std::string_view text) { text_.append(text); }
    void writeln(std::string_view text = {}) { text_.append(text); text_.append("\r\n"); }
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }
    // 0 when the report replaced `path`; -1 when it could not be created (the
    // path is a directory or a read-only file, the folder cannot be written);
    // throws Thx_io_error naming the file when a write fails half-way. On any
    // failure the earlier file is untouched and no temporary file remains.
    int commit(const std::string& path);

private:
    std::string text_;
};

// Module variables of the run; each run overwrites them.
extern Ttally tally;
extern std::string log_base;
extern Tlog_type log_type;
extern Tlayout layout;
extern Treport_file report_file;
extern std::int32_t qso_count;
extern std::int32_t day_index;
extern std::int32_t start_day;
extern std::int32_t start_hour;
extern std::int64_t start_abs_hour;
extern Trun_audit run_audit;

// Test seam: when set, break_down calls it right after detecting the log's type
// and layout and before it opens the log to count it, so that a test can change
// the log in between. nullptr (never called) outside tests.
extern void (*after_detection)();

// One run over the log at `path` with a time shift of -24..24 hours. Returns
// the number of QSOs counted (a report was written), 0 when the log is neither
// ALL nor Cabrillo or holds no countable QSO line (no report written), -1 when
// the log cannot be opened for counting or the report cannot be created.
// `log_type_out` is lt_all / lt_cabrillo for those logs, -1 for any other.
// Throws Thx_io_error when a read or write fails on an open file; an earlier
// report is then left as it was.
std::int32_t break_down(const std::string& path, std::int32_t& log_type_out,
                        std::int32_t time_shift);

// The path less its last four characters, never cut past its last "/".
std::string base_name(std::string_view path);

// The field at start/length as a 32-bit number after trimming bytes <= 32;
// -1 for empty text or anything but an optional sign and decimal digits in range.
std::int32_t field_int(std::string_view line, std::int32_t start, std::int32_t length);

// The 3-character row label of a band index 0..10.
std::string_view band_label(std::int32_t band);

// Sum of the QSO counters of `band` on chart day `day` (1..3) over 24 hours.
std::int32_t band_day_total(const Ttally& t, std::int32_t day, std::int32_t band);

// The two section writers; they append to report_file. Days beyond 3 and
// start hours outside 0..23 are never read from the tally.
void chart_qso(const Ttally& t, std::int32_t first_hour, std::int32_t days);
void chart_multi(const Ttally& t, std::int32_t first_hour, std::int32_t days);

}  // namespace hx
