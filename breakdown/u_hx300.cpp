// Breakdown engine (module u_hx300): the run that fills the tally and the
// report step that writes the time chart next to the log.
#include "u_hx300.h"

#include <algorithm>
#include <cerrno>
#include <climits>
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
void (*after_detection)() = nullptr;

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

// Where a pass finds the fields it reads, taken once from the layout, so that
// lines long enough to hold them all are read at fixed places.
struct Tplaces {
    std::size_t need = 0;  // a line this long holds every field whole
    bool key = false;      // the year, month, day and hour lie in 8..16 bytes from column 1 on
    std::size_t key_a = 0, key_b = 0;  // 8 bytes at each of these cover those bytes
    std::size_t band_at = 0, band_len = 0;
    std::size_t mult1 = 0, mult2 = 0;  // 0-based place of a one-character mark column
    bool mult1_char = false, mult2_char = false;
    bool within_29 = false;  // every field lies in columns 1-29

    constexpr explicit Tplaces(const Tlayout& lay) {
        auto at = [](const Tcolumn& c) { return std::int64_t{std::max(c.start, 1)} - 1; };
        const Tcolumn time_cols[] = {{lay.col_date.start, 4}, lay.col_month, lay.col_day, lay.col_hour};
        std::int64_t lo = std::numeric_limits<std::int64_t>::max(), hi = 0, end = 0;
        bool present = true;
        for (const Tcolumn& c : time_cols) {
            present = present && c.start >= 1 && c.length >= 1;
            lo = std::min(lo, at(c));
            hi = std::max(hi, at(c) + std::max(c.length, 0));
        }
        key = present && hi - lo >= 8 && hi - lo <= 16;
        if (key) key_a = static_cast<std::size_t>(lo), key_b = static_cast<std::size_t>(hi - 8);
        for (const Tcolumn& c : {lay.col_band, lay.col_mult1, lay.col_mult2})
            if (c.length > 0) end = std::max(end, at(c) + c.length);
        end = std::max(end, hi);
        need = static_cast<std::size_t>(end);
        band_at = static_cast<std::size_t>(at(lay.col_band));
        band_len = static_cast<std::size_t>(std::max(lay.col_band.length, 0));
        mult1_char = lay.col_mult1.length == 1;
        mult2_char = lay.col_mult2.length == 1;
        mult1 = static_cast<std::size_t>(at(lay.col_mult1));
        mult2 = static_cast<std::size_t>(at(lay.col_mult2));
        within_29 = end <= 29;
    }
};

// 8 bytes at p, in any alignment.
std::uint64_t load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The first 29 columns of a Cabrillo line as cabrillo_fields_to_columns
// writes them from its fields. Copies of fixed sizes, which take no call.
std::string_view cabrillo_head(const Tcabrillo_fields& f, char (&head)[29]) {
    std::memcpy(head, f.qso.data(), 4);
    std::memcpy(head + 4, "          ", 10);  // columns 5-14
    switch (f.freq.size()) {  // right-aligned in 6-10
        case 1: std::memcpy(head + 9, f.freq.data(), 1); break;
        case 2: std::memcpy(head + 8, f.freq.data(), 2); break;
        case 3: std::memcpy(head + 7, f.freq.data(), 3); break;
        case 4: std::memcpy(head + 6, f.freq.data(), 4); break;
        default: std::memcpy(head + 5, f.freq.data(), 5); break;
    }
    std::memcpy(head + 11, f.mode.data(), 1);
    if (f.mode.size() >= 2) head[12] = f.mode[1];
    std::memcpy(head + 14, f.date.data(), 10);
    head[24] = ' ';
    std::memcpy(head + 25, f.time.data(), 4);
    return {head, sizeof head};
}

// Where the five leading fields of Cabrillo lines read by their fields in
// other columns than the template's stood, one place for each end of the
// frequency field (so for each length of the frequency). A line whose blanks
// and tabs up to the end of its time are those of such a line has its fields
// in the same places, and is read by its fields when the date and time there
// are digits. Only for a frequency of at most 7 characters, on a little-endian
// machine.
class Tshapes {
public:
    // The place of a line with these kinds, or nullptr.
    const auto* find(const Tbyte_kinds& k) const {
        const Tshape& s = shapes_[slot(k.blank | k.tab)];
        const bool same = ((k.blank | k.tab) & s.mask) == s.seps && ((k.digit >> s.date) & 0x36Fu) == 0x36Fu &&
                          ((k.dash >> s.date) & 0x90u) == 0x90u && ((k.digit >> s.time) & 0xFu) == 0xFu;
        return same ? &s : nullptr;
    }
    // The same for a line of 32 bytes or more whose date and hour bytes are
    // those of the last counted line read by its fields (`a`, `b` as in
    // Tshape::same_time), so known digits and dashes: only its blanks and
    // tabs and its minutes are left to look at, which takes no kinds but one.
    const auto* find_same_time(std::string_view line, std::uint64_t a, std::uint64_t b) const {
        const std::uint32_t seps = separators32(line.data());
        const Tshape& s = shapes_[slot(seps)];
        const char* p = line.data();
        const auto digit = [](char c) -> unsigned { return static_cast<unsigned char>(c - '0') <= 9; };
        const bool same = (((seps & s.mask) == s.seps) & digit(p[s.time + 2]) & digit(p[s.time + 3])) != 0 &&
                          s.same_time(line, a, b);
        return same ? &s : nullptr;
    }
    void remember(std::string_view line, const Tbyte_kinds& k, const Tcabrillo_fields& f) {
        const auto at = [&](std::string_view v) {
            return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(v.data()) -
                                            reinterpret_cast<std::uintptr_t>(line.data()));
        };
        if (std::endian::native != std::endian::little || f.after > 30 || at(f.raw_freq) >= f.after ||
            f.raw_freq.empty() || f.raw_freq.size() > 7)
            return;
        Tshape& s = shapes_[slot(k.blank | k.tab)];
        s.mask = (2u << f.after) - 1;  // bytes 0 to the separator after the time
        s.seps = (k.blank | k.tab) & s.mask;
        s.freq = at(f.raw_freq);
        s.freq_len = f.raw_freq.size();
        s.date = at(f.date);
        s.time = at(f.time);
    }

    struct Tshape {
        std::uint32_t mask = 0, seps = 1;  // matches no line until a line is remembered
        std::size_t freq = 0, freq_len = 1, date = 0, time = 0;

        // The line's date, a blank and its hour equal the 13 bytes from
        // column 15 of a line in the template's columns that `a` and `b` were
        // loaded from.
        bool same_time(std::string_view line, std::uint64_t a, std::uint64_t b) const {
            const char* p = line.data();
            std::uint16_t hour;
            std::memcpy(&hour, p + time, 2);
            return load8(p + date) == a &&
                   ((load8(p + date + 5) & 0xFFFFFFFFFFull) | 0x20ull << 40 | std::uint64_t{hour} << 48) == b;
        }
        // The band of the line's frequency, as cabrillo_fields_to_columns
        // puts it into columns 6-10.
        std::int32_t band(std::string_view line) const {
            if (freq_len > 5) return long_frequency_band(line.substr(freq, freq_len));
            // Right-aligned in 5 characters, packed as band_tables::pack does.
            const std::uint64_t f = load8(line.data() + freq) & (~std::uint64_t{0} >> (64 - 8 * freq_len));
            return cabrillo_band_of_packed((0x2020202020ull >> (8 * freq_len)) | f << (8 * (5 - freq_len)));
        }
    };

private:
    // The first separator from byte 5 on ends the frequency of such a line.
    static std::size_t slot(std::uint32_t seps) {
        return static_cast<std::size_t>(std::countr_zero(seps & ~0x1Fu)) & 7;
    }
    Tshape shapes_[8];
};

// Counts the QSO lines of one pass into the tally; `All` selects the ALL or
// the Cabrillo reading at compile time. The layout of a run is always the fixed
// one of its format, so its places are constants.
//
// A line is read field by field (count_slow) until it is counted; the next
// lines whose year, month, day and hour bytes are the same as that line's land
// in the same chart day and hour, since the chart's start and the day mode are
// settled by the first counted line. Those lines are only sorted by band and
// marks into a small histogram, which goes into the tally whenever the time
// changes and at the end.
template <bool All>
class Tcounter {
public:
    Tcounter(const Tlayout& lay, std::int32_t shift, const std::int64_t* anchor, Tpass& pass)
        : lay_(lay), shift_(shift), anchor_(anchor), pass_(pass) {}

    // Counts every line the reader has left.
    void run(Tline_reader& reader) {
        // Locals, so that the per-line work keeps them in registers.
        static constexpr Tplaces at{All ? kAllLayout : kCabrilloLayout};
        // The time bytes of the line counted last; LF bytes, which no line
        // holds, until then.
        std::uint64_t same_a = 0x0A0A0A0A0A0A0A0Aull, same_b = 0x0A0A0A0A0A0A0A0Aull;
        bool same_by_fields = false;  // that line was a Cabrillo line read by its fields
        Tshapes shapes;
        std::int32_t (*row)[kKinds] = nullptr;  // its tally row: chart day and hour
        std::uint32_t hist[kBands * 4] = {};    // by band, mark 1 and mark 2
        std::uint64_t by_fields = 0, by_columns = 0;
        char head[29];
        Tcabrillo_fields f;  // declared once: setting it up for every line cost more than its reading
        auto flush = [&] {
            if (row == nullptr) return;
            for (int b = 0; b < kBands; ++b) {
                for (int m = 0; m < 4; ++m) {
                    const std::uint32_t n = hist[b * 4 + m];
                    if (n == 0) continue;
                    row[b][0] += static_cast<std::int32_t>(n);
                    if (m & 2) row[b][1] += static_cast<std::int32_t>(n);
                    if (m & 1) row[b][2] += static_cast<std::int32_t>(n);
                    pass_.counted += n;
                    hist[b * 4 + m] = 0;
                }
            }
        };
        // Inlined into the reader's loop, so that the locals above stay in registers.
        reader.for_each([&](std::string_view line, std::uint64_t line_no) __attribute__((always_inline)) {
            bool read_by_fields = false;
            if constexpr (!All) {
                if (!is_qso_line(lt_cabrillo, line)) return;
                {
                    // The common line: in the template's columns with the date
                    // and hour of the line counted last, read by its fields. Its
                    // time needs no test, and it goes where that line went.
                    const char* p = line.data();
                    if (same_by_fields && line.size() >= 32) {
                        if (load8(p + at.key_a) == same_a && load8(p + at.key_b) == same_b &&
                            in_template_columns_same_time(line)) {
                            ++by_fields;
                            ++hist[band_of_field(lt_cabrillo, std::string_view(p + at.band_at, at.band_len)) * 4];
                            return;
                        }
                        // Fields in other columns, where those of an earlier
                        // line were, with that date and hour.
                        if (const auto* s = shapes.find_same_time(line, same_a, same_b)) {
                            ++by_fields;
                            ++hist[s->band(line) * 4];
                            return;
                        }
                    }
                }
                // The template's columns, the common case, are tested inline,
                // on kinds of bytes that the reading by fields then uses too.
                Tbyte_kinds kinds;
                const bool kinds_taken = line.size() >= 32;
                if (kinds_taken) kinds = byte_kinds(line.data());
                if (kinds_taken && at.within_29 && in_template_columns(line, kinds)) {
                    ++by_fields;
                    read_by_fields = true;
                    line = std::string_view(line.data(), 29);
                } else if (const auto* s = kinds_taken ? shapes.find(kinds) : nullptr;
                           s != nullptr && s->same_time(line, same_a, same_b)) {
                    // Fields in other columns, where those of an earlier line
                    // were, with the date and hour of the line counted last (in
                    // the fixed layout's places, where same_time looks).
                    ++by_fields;
                    ++hist[s->band(line) * 4];
                    return;
                } else if (kinds_taken ? cabrillo_fields(line, kinds, f) : cabrillo_fields(line, f)) {
                    ++by_fields;
                    read_by_fields = true;
                    if (kinds_taken && !f.in_columns) shapes.remember(line, kinds, f);
                    if (!at.within_29) {
                        cabrillo_fields_to_columns(line, fields_);
                        line = fields_;
                    } else {
                        line = f.in_columns ? std::string_view(line.data(), 29) : cabrillo_head(f, head);
                    }
                } else {
                    ++by_columns;
                }
            }
            const char* p = line.data();
            const bool whole = line.size() >= at.need;
            if (at.key && whole && load8(p + at.key_a) == same_a && load8(p + at.key_b) == same_b) {
                unsigned k = static_cast<unsigned>(band_of_field(kType, std::string_view(p + at.band_at, at.band_len))) * 4;
                if constexpr (All) {
                    k += 2u * (!at.mult1_char || p[at.mult1] != '-');
                    k += 1u * (!at.mult2_char || p[at.mult2] != '-');
                }
                ++hist[k];
                return;
            }
            const Tslot slot = count_slow(line, line_no);
            if (at.key && whole && slot.day != 0) {
                flush();
                row = tally.c[slot.day - 1][slot.hour];
                same_a = load8(p + at.key_a);
                same_b = load8(p + at.key_b);
                same_by_fields = read_by_fields;
            }
        });
        flush();
        run_audit.cabrillo_by_fields += by_fields;
        run_audit.cabrillo_by_columns += by_columns;
    }

private:
    static constexpr Tlog_type kType = All ? lt_all : lt_cabrillo;

    // The chart day (1..3) and hour a line was counted in; day 0: not counted.
    struct Tslot {
        int day = 0;
        std::int32_t hour = 0;
    };

    // Counts a line whose time is read field by field.
    Tslot count_slow(std::string_view line, std::uint64_t line_no) {
        const std::int32_t hour = field_int(line, lay_.col_hour.start, lay_.col_hour.length);
        if (hour < 0 || hour > 23) {
            note_skip(run_audit.no_hour, line_no);
            return {};
        }
        const std::int32_t mday = field_int(line, lay_.col_day.start, lay_.col_day.length);
        if (!pass_.started) {
            if (mday < 1 || mday > 31) {
                note_skip(run_audit.no_day, line_no);
                return {};
            }
            const std::int32_t y = field_int(line, lay_.col_date.start, 4);
            const std::int32_t m = field_int(line, lay_.col_month.start, lay_.col_month.length);
            pass_.mode = valid_date(y, m, mday) ? Tday_mode::calendar : Tday_mode::day_of_month;
        }
        std::int64_t day;
        if (pass_.mode == Tday_mode::calendar) {
            const std::int32_t y = field_int(line, lay_.col_date.start, 4);
            const std::int32_t m = field_int(line, lay_.col_month.start, lay_.col_month.length);
            if (y != cached_y_ || m != cached_m_ || mday != cached_d_) {
                if (!valid_date(y, m, mday)) {
                    note_skip(run_audit.no_day, line_no);
                    return {};
                }
                cached_y_ = y, cached_m_ = m, cached_d_ = mday;
                cached_day_ = days_from_civil(y, m, mday);
            }
            day = cached_day_;
        } else {
            if (mday < 1 || mday > 31) {
                note_skip(run_audit.no_day, line_no);
                return {};
            }
            day = mday;
        }
        const std::int64_t abs = day * 24 + hour;
        if (!pass_.started) {
            pass_.started = true;
            pass_.first_abs = anchor_ ? *anchor_ : abs;
            pass_.earliest = abs;
            set_start(pass_.first_abs, shift_);
        }
        if (abs < pass_.earliest) pass_.earliest = abs;
        std::int64_t chart_day = floor_div(abs - start_abs_hour, 24) + 1;
        if (chart_day < 1) chart_day = 1;
        if (chart_day > kChartDays) {
            note_skip(run_audit.beyond, line_no);
            return {};
        }
        const int d = static_cast<int>(chart_day);
        if (d > day_index) day_index = d;
        const std::int32_t band = band_index_of(kType, line, lay_.col_band.start, lay_.col_band.length);
        std::int32_t* cell = tally.c[d - 1][hour][band];
        ++cell[0];
        if constexpr (All) {
            if (take_field(line, lay_.col_mult1.start, lay_.col_mult1.length) != "-") ++cell[1];
            if (take_field(line, lay_.col_mult2.start, lay_.col_mult2.length) != "-") ++cell[2];
        }
        ++pass_.counted;
        return {d, hour};
    }

    const Tlayout lay_;
    const std::int32_t shift_;
    const std::int64_t* const anchor_;
    Tpass& pass_;
    std::int32_t cached_y_ = -2, cached_m_ = -2, cached_d_ = -2;
    std::int64_t cached_day_ = 0;
    std::string fields_;
};

// One pass over the log: counts into the tally. With `anchor` the chart is
// anchored at that log hour; without, at the first countable QSO line.
// Returns false when the log cannot be opened.
bool count_pass(const std::string& path, std::int32_t shift, const std::int64_t* anchor,
                Tpass& pass) {
    Tfd fd(open_log(path));
    if (fd.get() < 0) return false;
    // Only a hint for the read-ahead of a log that is not in memory yet.
    (void)::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    Tline_reader reader(fd.get(), path, kLineKeep);
    std::string_view first;
    if (!reader.next(first)) return true;  // the first line is never a QSO line
    // The run's layout is always the fixed table of its type (set_layout), so
    // the counters read the standard columns as constants.
    if (log_type == lt_all) Tcounter<true>(layout, shift, anchor, pass).run(reader);
    else Tcounter<false>(layout, shift, anchor, pass).run(reader);
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
    if (after_detection != nullptr) after_detection();
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
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // "." and ".XXXXXX" must not push the temporary name past NAME_MAX when the
    // report's own name is just within it.
    if (name.size() > NAME_MAX - 8) name.resize(NAME_MAX - 8);
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
