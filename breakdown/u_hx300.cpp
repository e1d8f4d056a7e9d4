// Breakdown engine (module u_hx300): the run that fills the tally and the
// report step that writes the time chart next to the log.
#include "u_hx300.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace hx {

Ttally tally;
std::string log_base;
Tlog_type log_type = lt_unknown;
Tlayout layout;
Treport_file report_file;
std::int32_t qso_count = 0;
std::int32_t day_index = 0;
std::int32_t start_day = 0;
std::int32_t start_hour = 0;
std::int64_t start_abs_hour = 0;
Trun_audit run_audit;

namespace {

// Only the leading columns of a line are ever read; a longer line is skipped
// past without being held.
constexpr std::size_t kLineKeep = 4096;

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t floor_mod(std::int64_t a, std::int64_t b) { return a - floor_div(a, b) * b; }

// Days since 1970-01-01 of a Gregorian date.
std::int64_t days_from_civil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2;
    const std::int64_t era = floor_div(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool valid_date(std::int32_t y, std::int32_t m, std::int32_t d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1) return false;
    int last = kDays[m - 1];
    if (m == 2 && (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0))) last = 29;
    return d <= last;
}

void note_skip(Trun_audit::Tskips& s, std::uint64_t line_no) {
    ++s.count;
    if (s.first_lines.size() < Trun_audit::kFirstLines) s.first_lines.push_back(line_no);
}

void put_num(std::string& out, std::int64_t v, std::size_t width) {
    char digits[24];
    std::size_t n = 0;
    bool neg = v < 0;
    std::uint64_t u = neg ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (neg) digits[n++] = '-';
    if (n < width) out.append(width - n, ' ');
    while (n > 0) out.push_back(digits[--n]);
}

// How a run reads the day and hour of a QSO line: by day of month, or in
// calendar mode by days since a fixed epoch.
enum class Tday_mode { day_of_month, calendar };

// The state of one pass over the log.
struct Tpass {
    bool started = false;
    Tday_mode mode = Tday_mode::day_of_month;
    std::int64_t first_abs = 0;  // log hour of the line the chart is anchored at
    std::int64_t earliest = 0;   // earliest log hour of a countable line
    std::int64_t counted = 0;
};

class Tfd {
public:
    explicit Tfd(int fd) : fd_(fd) {}
    ~Tfd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Tfd(const Tfd&) = delete;
    Tfd& operator=(const Tfd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The chart's start from the anchoring line: the start hour is the anchor's
// hour moved by the shift, and chart day 1 is the 24 hours from such an hour
// that hold the anchor.
void set_start(std::int64_t anchor_abs, std::int32_t shift) {
    const std::int64_t hour = floor_mod(anchor_abs, 24);
    start_hour = static_cast<std::int32_t>(floor_mod(hour + shift, 24));
    start_abs_hour = anchor_abs - floor_mod(anchor_abs - start_hour, 24);
    start_day = static_cast<std::int32_t>(floor_div(start_abs_hour, 24));
}

// One pass over the log: counts into the tally. With `anchor` the chart is
// anchored at that log hour; without, at the first countable QSO line.
// Returns false when the log cannot be opened.
bool count_pass(const std::string& path, std::int32_t shift, const std::int64_t* anchor,
                Tpass& pass) {
    Tfd fd(open_log(path));
    if (fd.get() < 0) return false;
    Tline_reader reader(fd.get(), path, kLineKeep);
    const Tlayout lay = layout;
    const bool all = log_type == lt_all;
    std::string fields;
    std::string_view line;
    if (!reader.next(line)) return true;  // the first line is never a QSO line
    std::int32_t cached_y = -2, cached_m = -2, cached_d = -2;
    std::int64_t cached_day = 0;
    while (reader.next(line)) {
        if (!is_qso_line(log_type, line)) continue;
        if (!all) {
            if (cabrillo_fields_to_columns(line, fields)) {
                line = fields;
                ++run_audit.cabrillo_by_fields;
            } else {
                ++run_audit.cabrillo_by_columns;
            }
        }
        const std::int32_t hour = field_int(line, lay.col_hour.start, lay.col_hour.length);
        if (hour < 0 || hour > 23) {
            note_skip(run_audit.no_hour, reader.line_number());
            continue;
        }
        const std::int32_t mday = field_int(line, lay.col_day.start, lay.col_day.length);
        if (!pass.started) {
            if (mday < 1 || mday > 31) {
                note_skip(run_audit.no_day, reader.line_number());
                continue;
            }
            const std::int32_t y = field_int(line, lay.col_date.start, 4);
            const std::int32_t m = field_int(line, lay.col_month.start, lay.col_month.length);
            pass.mode = valid_date(y, m, mday) ? Tday_mode::calendar : Tday_mode::day_of_month;
        }
        std::int64_t day;
        if (pass.mode == Tday_mode::calendar) {
            const std::int32_t y = field_int(line, lay.col_date.start, 4);
            const std::int32_t m = field_int(line, lay.col_month.start, lay.col_month.length);
            if (y != cached_y || m != cached_m || mday != cached_d) {
                if (!valid_date(y, m, mday)) {
                    note_skip(run_audit.no_day, reader.line_number());
                    continue;
                }
                cached_y = y, cached_m = m, cached_d = mday;
                cached_day = days_from_civil(y, m, mday);
            }
            day = cached_day;
        } else {
            if (mday < 1 || mday > 31) {
                note_skip(run_audit.no_day, reader.line_number());
                continue;
            }
            day = mday;
        }
        const std::int64_t abs = day * 24 + hour;
        if (!pass.started) {
            pass.started = true;
            pass.first_abs = anchor ? *anchor : abs;
            pass.earliest = abs;
            set_start(pass.first_abs, shift);
        }
        if (abs < pass.earliest) pass.earliest = abs;
        std::int64_t chart_day = floor_div(abs - start_abs_hour, 24) + 1;
        if (chart_day < 1) chart_day = 1;
        if (chart_day > kChartDays) {
            note_skip(run_audit.beyond, reader.line_number());
            continue;
        }
        const int d = static_cast<int>(chart_day);
        if (d > day_index) day_index = d;
        const std::int32_t band =
            band_index_of(log_type, line, lay.col_band.start, lay.col_band.length);
        std::int32_t* cell = tally.c[d - 1][hour][band];
        ++cell[0];
        if (all) {
            if (take_field(line, lay.col_mult1.start, lay.col_mult1.length) != "-") ++cell[1];
            if (take_field(line, lay.col_mult2.start, lay.col_mult2.length) != "-") ++cell[2];
        }
        ++pass.counted;
    }
    return true;
}

void reset_run() {
    std::memset(&tally, 0, sizeof tally);
    run_audit = Trun_audit{};
    qso_count = 1;
    day_index = 0;
    start_day = 0;
    start_hour = 0;
    start_abs_hour = 0;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa{}, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

std::string base_name(std::string_view path) {
    std::size_t keep = path.size() > 4 ? path.size() - 4 : 0;
    std::size_t slash = path.rfind('/');
    if (slash != std::string_view::npos && keep < slash + 1) keep = slash + 1;
    return std::string(path.substr(0, keep));
}

std::int32_t field_int(std::string_view line, std::int32_t start, std::int32_t length) {
    std::string_view f = take_field(line, start, length);
    std::size_t b = 0, e = f.size();
    while (b < e && static_cast<unsigned char>(f[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(f[e - 1]) <= 32) --e;
    if (b == e) return -1;
    bool neg = false;
    if (f[b] == '+' || f[b] == '-') {
        neg = f[b] == '-';
        if (++b == e) return -1;
    }
    std::int64_t v = 0;
    for (std::size_t i = b; i < e; ++i) {
        if (f[i] < '0' || f[i] > '9') return -1;
        v = v * 10 + (f[i] - '0');
        if (v > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return -1;
    }
    if (neg) v = -v;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return -1;
    return static_cast<std::int32_t>(v);
}

std::string_view band_label(std::int32_t band) {
    static constexpr std::string_view kLabels[] = {"1.9", "3.5", "7  ", "14 ", "21 ", "28 ",
                                                   "50 ", "144", "430", "120", "up "};
    return (band >= 0 && band < kBands) ? kLabels[band] : kLabels[10];
}

std::int32_t band_day_total(const Ttally& t, std::int32_t day, std::int32_t band) {
    if (day < 1 || day > kChartDays || band < 0 || band >= kBands) return 0;
    std::int64_t sum = 0;
    for (int h = 0; h < kHours; ++h) sum += t.at(day, h, band, 0);
    return static_cast<std::int32_t>(sum);
}

namespace {

// One section of the report; `multi` selects the mark counts as cell values.
void chart_section(const Ttally& t, std::int32_t first_hour, std::int32_t days, bool multi) {
    std::string out;
    if (!multi) out.append("\r\n");
    out.append(multi ? "Time Chart / Multi. \r\n" : "Time Chart / QSO \r\n");
    const std::string rule = std::string(82, '-') + "\r\n";
    auto value = [&](std::int32_t d, std::int32_t h, std::int32_t b) -> std::int64_t {
        if (d < 1 || d > kChartDays || h < 0 || h >= kHours) return 0;
        return multi ? std::int64_t{t.at(d, h, b, 1)} + t.at(d, h, b, 2) : t.at(d, h, b, 0);
    };
    std::int32_t hours[kHours];
    for (std::int32_t k = 0, h = first_hour; k < kHours; ++k) {
        hours[k] = h;
        h = h + 1 == 24 ? 0 : h + 1;
    }
    for (std::int32_t d = 1; d <= days; ++d) {
        out.append("day ");
        put_num(out, d, 0);
        out.append("\r\n    ");
        for (std::int32_t h : hours) put_num(out, h, 3);
        out.append("\r\n");
        out.append(rule);
        for (std::int32_t b = 0; b < kBands; ++b) {
            if (band_day_total(t, d, b) == 0) continue;
            out.append(band_label(b));
            out.push_back('|');
            std::int64_t row = 0;
            for (std::int32_t h : hours) {
                std::int64_t v = value(d, h, b);
                if (v == 0) out.append("  -");
                else put_num(out, v, 3);
                row += v;
            }
            out.push_back('|');
            put_num(out, row, 4);
            out.append("\r\n");
        }
        out.append(rule);
        out.append("SUM|");
        std::int64_t sums[kHours];
        std::int64_t total = 0;
        for (std::int32_t k = 0; k < kHours; ++k) {
            sums[k] = 0;
            for (std::int32_t b = 0; b < kBands; ++b) sums[k] += value(d, hours[k], b);
            put_num(out, sums[k], 3);
            total += sums[k];
        }
        out.push_back('|');
        put_num(out, total, 4);
        out.append("\r\n          ");
        std::int64_t running = 0;
        for (std::int32_t k = 0; k < kHours; ++k) {
            running += sums[k];
            if ((k + 1) % 3 == 0) {
                put_num(out, running, 3);
                out.append("      ");
            }
        }
        out.append("\r\n\r\n");
    }
    report_file.write(out);
}

}  // namespace

void chart_qso(const Ttally& t, std::int32_t first_hour, std::int32_t days) {
    chart_section(t, first_hour, days, false);
}

void chart_multi(const Ttally& t, std::int32_t first_hour, std::int32_t days) {
    chart_section(t, first_hour, days, true);
}

std::int32_t break_down(const std::string& path, std::int32_t& log_type_out,
                        std::int32_t time_shift) {
    reset_run();
    log_base = base_name(path);
    log_type = check_log_type(path);
    set_layout(log_type, layout);
    if (log_type != lt_all && log_type != lt_cabrillo) {
        log_type_out = -1;
        return 0;
    }
    log_type_out = log_type;

    Tpass pass;
    if (!count_pass(path, time_shift, nullptr, pass)) return -1;
    if (pass.started && pass.earliest < start_abs_hour) {
        // Out of time order: count again with the chart anchored at the
        // earliest countable QSO, so that no QSO lands before chart day 1.
        const std::int64_t anchor = pass.earliest;
        reset_run();
        Tpass again;
        if (!count_pass(path, time_shift, &anchor, again)) return -1;
        run_audit.reread = true;
        pass = again;
    }
    run_audit.log_read = true;
    if (pass.counted == 0) return 0;  // nothing to chart: an earlier report stays
    const std::int64_t counted = pass.counted;
    qso_count = static_cast<std::int32_t>(
        counted + 1 > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                              : counted + 1);

    out_path = log_base + ".hx";
    // A log whose own name is its report name ("/data/.hx") must never be overwritten.
    if (out_path == path || same_file(out_path, path)) return -1;
    report_file.clear();
    report_file.writeln("  Mivo Break Down / Time Chart  Ver 4.0");
    report_file.writeln("                             logfile = " + file_name_of(path));
    chart_qso(tally, start_hour, day_index);
    if (log_type == lt_all) chart_multi(tally, start_hour, day_index);
    if (report_file.commit(out_path) != 0) return -1;
    return qso_count - 1;
}

// ---------------------------------------------------------------------------
// Treport_file

namespace {

mode_t new_file_mode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

int Treport_file::commit(const std::string& path) {
    if (path.empty()) return -1;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return -1;  // a directory or a device is never replaced
        // A read-only report stays as it is, for root as for anyone.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0)
            return -1;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : folder) + "." + name + ".XXXXXX";
    // mkstemp creates exclusively (O_EXCL): a link planted at the name is never followed.
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return -1;
    auto fail = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw Thx_io_error("cannot " + std::string(what) + " " + path + ": " + std::strerror(err));
    };
    if (::fchmod(fd, new_file_mode()) != 0) fail("write", errno);
    const char* p = text_.data();
    std::size_t left = text_.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("write", errno);
        }
        if (n == 0) fail("write", EIO);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) fail("write", errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw Thx_io_error("cannot write " + path + ": " + std::strerror(err));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return -1;
    }
    return 0;
}

}  // namespace hx
