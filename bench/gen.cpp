// hxbench_gen: writes deterministic synthetic contest logs for the benchmark,
// a Mivo ALL or a Cabrillo log of a given size or number of QSO lines whose
// QSOs run over three chart days, optionally with a very long second line.
// The same arguments always give the same bytes.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: hxbench_gen --format all|cabrillo (--bytes N | --lines N) [--seed S]\n"
    "                   [--long-line BYTES] [--columns mixed|template|any] OUT\n"
    "       hxbench_gen --version\n"
    "Writes a synthetic log to OUT: its QSOs start at 21:00 on 2024-06-29 and run\n"
    "in time order (with a little local disorder) over 66 hours, across a month end.\n"
    "--bytes N stops before the file would pass N bytes; --lines N writes N QSO lines.\n"
    "--long-line BYTES makes the second line of the file a QSO line of BYTES bytes.\n"
    "--columns: Cabrillo QSO lines mostly in the template's columns with some in\n"
    "other columns (mixed, the default), all in the template, or all with single\n"
    "blanks between the fields (any).\n";

// splitmix64: small, fast and the same everywhere.
class Trandom {
public:
    explicit Trandom(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>((next() >> 32) * n >> 32); }
    // True with probability 1 / n.
    bool one_in(std::uint32_t n) { return below(n) == 0; }

private:
    std::uint64_t s_;
};

struct Tdate {
    int y, m, d;
};

std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

Tdate civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

// One QSO's time as minutes since 1970-01-01 00:00.
struct Tstamp {
    Tdate date;
    int hour, minute;
};

Tstamp stamp_of(std::int64_t minutes) {
    return {civil_from_days(minutes / 1440), static_cast<int>(minutes % 1440 / 60),
            static_cast<int>(minutes % 60)};
}

// Appends `v` as exactly `width` decimal digits.
void put_digits(std::string& out, unsigned v, int width) {
    char d[12];
    for (int i = width - 1; i >= 0; --i, v /= 10) d[i] = static_cast<char>('0' + v % 10);
    out.append(d, static_cast<std::size_t>(width));
}

void pad_to(std::string& out, std::size_t line_start, std::size_t column) {
    const std::size_t at = out.size() - line_start;
    out.append(at < column ? column - at : 1, ' ');
}

// A Japanese-looking call sign.
void put_call(std::string& out, Trandom& r) {
    static constexpr const char* kPrefix[] = {"JA", "JE", "JF", "JG", "JH", "JI", "JJ", "JK",
                                              "JL", "JM", "JN", "JO", "JP", "JQ", "JR", "JS",
                                              "7K", "7L", "7M", "7N", "8J", "8N"};
    out.append(kPrefix[r.below(sizeof kPrefix / sizeof kPrefix[0])]);
    out.push_back(static_cast<char>('0' + r.below(10)));
    const unsigned letters = r.one_in(4) ? 2 : 3;
    for (unsigned i = 0; i < letters; ++i) out.push_back(static_cast<char>('A' + r.below(26)));
}

// Band index 0..10 with a plausible mix: mostly HF, some VHF/UHF, a few others.
unsigned pick_band(Trandom& r) {
    static constexpr unsigned kWeights[11] = {3, 10, 18, 14, 16, 9, 12, 8, 5, 2, 3};
    unsigned x = r.below(100);
    for (unsigned b = 0; b < 11; ++b) {
        if (x < kWeights[b]) return b;
        x -= kWeights[b];
    }
    return 2;
}

bool phone_band(unsigned band) { return band >= 6; }

void all_line(std::string& out, Trandom& r, const Tstamp& t) {
    static constexpr const char* kBand[11] = {"1.9", "3.5", "7  ", "14 ", "21 ", "28 ",
                                              "50 ", "144", "430", "120", "2.4"};
    const std::size_t s = out.size();
    put_digits(out, static_cast<unsigned>(t.date.y), 4);
    out.push_back('/');
    put_digits(out, static_cast<unsigned>(t.date.m), 2);
    out.push_back('/');
    put_digits(out, static_cast<unsigned>(t.date.d), 2);
    out.push_back(' ');
    put_digits(out, static_cast<unsigned>(t.hour), 2);
    out.push_back(':');
    put_digits(out, static_cast<unsigned>(t.minute), 2);
    out.push_back(' ');
    put_call(out, r);
    const unsigned band = pick_band(r);
    const bool phone = phone_band(band) ? !r.one_in(5) : r.one_in(4);
    pad_to(out, s, 30);
    out.append(phone ? "59 " : "599");
    pad_to(out, s, 42);
    out.append(phone ? "59 " : "599");
    out.push_back(' ');
    put_digits(out, 1 + r.below(50), 2);
    out.push_back("MHPL"[r.below(4)]);
    pad_to(out, s, 54);
    out.push_back(r.one_in(12) ? '*' : (r.one_in(2000) ? ' ' : '-'));
    pad_to(out, s, 60);
    out.push_back(r.one_in(30) ? '*' : '-');
    pad_to(out, s, 66);
    out.append(kBand[band]);
    out.append("  ");
    out.append(phone ? (band >= 7 && r.one_in(2) ? "FM" : "SSB") : (r.one_in(20) ? "RTTY" : "CW"));
    out.append("\r\n");
}

void cabrillo_frequency(std::string& out, Trandom& r, unsigned band, bool compact) {
    static constexpr unsigned kLow[7] = {1810, 3510, 7010, 14010, 21010, 28010, 50010};
    static constexpr unsigned kSpan[7] = {100, 90, 60, 300, 400, 900, 800};
    std::string f;
    if (band < 7 && !(band == 6 && r.one_in(3))) {
        f = std::to_string(kLow[band] + r.below(kSpan[band]));
    } else if (band == 6) {
        f = "50";
    } else if (band == 7) {
        f = r.one_in(4) ? std::to_string(144000 + r.below(4000)) : "144";
    } else if (band == 8) {
        f = r.one_in(4) ? std::to_string(430000 + r.below(10000)) : "432";
    } else if (band == 9) {
        f = "1.2G";
    } else {
        f = r.one_in(2) ? "10120" : "2.3G";
    }
    if (!compact && f.size() < 5) out.append(5 - f.size(), ' ');
    out.append(f);
}

// How the QSO lines of a Cabrillo log are laid out.
enum class Tstyle { mixed, columns, any };

void cabrillo_line(std::string& out, Trandom& r, const Tstamp& t, Tstyle layout) {
    // Mixed: most lines keep the template's columns; some have single blanks
    // or tabs between the fields, or "qso:" in small letters. Columns: all in
    // the template. Any: all with single blanks, as many loggers write them.
    const unsigned style = layout == Tstyle::mixed ? r.below(100) : layout == Tstyle::columns ? 0 : 92;
    const bool compact = style >= 92;
    const char sep = style == 99 ? '\t' : ' ';
    const std::size_t s = out.size();
    out.append(style == 98 ? "qso:" : "QSO:");
    out.push_back(sep);
    const unsigned band = pick_band(r);
    cabrillo_frequency(out, r, band, compact);
    const bool phone = phone_band(band) ? !r.one_in(5) : r.one_in(4);
    out.push_back(sep);
    out.append(phone ? (band >= 7 && r.one_in(2) ? "FM" : "PH") : (r.one_in(20) ? "RY" : "CW"));
    out.push_back(sep);
    put_digits(out, static_cast<unsigned>(t.date.y), 4);
    out.push_back('-');
    put_digits(out, static_cast<unsigned>(t.date.m), 2);
    out.push_back('-');
    put_digits(out, static_cast<unsigned>(t.date.d), 2);
    out.push_back(sep);
    put_digits(out, static_cast<unsigned>(t.hour), 2);
    put_digits(out, static_cast<unsigned>(t.minute), 2);
    out.push_back(sep);
    out.append("JA9XXZ");
    if (compact) out.push_back(sep); else pad_to(out, s, 44);
    out.append(phone ? "59 " : "599");
    out.append(" 10");
    if (compact) out.push_back(sep); else pad_to(out, s, 55);
    put_call(out, r);
    if (compact) out.push_back(sep); else pad_to(out, s, 69);
    out.append(phone ? "59 " : "599");
    out.push_back(' ');
    put_digits(out, 1 + r.below(50), 2);
    out.push_back("MHPL"[r.below(4)]);
    out.append("\r\n");
}

void header(std::string& out, bool all) {
    if (all) {
        out.append("Mivo for Windows \r\n");
        return;
    }
    out.append(
        "START-OF-LOG: 3.0\r\n"
        "CONTEST: HX-BENCH\r\n"
        "CALLSIGN: JA9XXZ\r\n"
        "CATEGORY-OPERATOR: SINGLE-OP\r\n"
        "CATEGORY-BAND: ALL\r\n"
        "CATEGORY-MODE: MIXED\r\n"
        "CREATED-BY: hxbench_gen\r\n"
        "NAME: Benchmark Operator\r\n"
        "ADDRESS: 1-2-3 Example\r\n"
        "SOAPBOX: synthetic log for timing runs\r\n");
}

struct Toptions {
    bool all = true;
    Tstyle style = Tstyle::mixed;
    std::uint64_t bytes = 0, lines = 0, seed = 1, long_line = 0;
    std::string out;
};

bool parse_number(const char* text, std::uint64_t& v) {
    char* end = nullptr;
    errno = 0;
    v = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

bool parse(int argc, char** argv, Toptions& o) {
    bool format = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--format" && has_value) {
            const std::string_view f = argv[++i];
            if (f != "all" && f != "cabrillo") return false;
            o.all = f == "all";
            format = true;
        } else if (a == "--columns" && has_value) {
            const std::string_view c = argv[++i];
            if (c == "mixed") o.style = Tstyle::mixed;
            else if (c == "template") o.style = Tstyle::columns;
            else if (c == "any") o.style = Tstyle::any;
            else return false;
        } else if (a == "--bytes" && has_value) {
            if (!parse_number(argv[++i], o.bytes)) return false;
        } else if (a == "--lines" && has_value) {
            if (!parse_number(argv[++i], o.lines)) return false;
        } else if (a == "--seed" && has_value) {
            if (!parse_number(argv[++i], o.seed)) return false;
        } else if (a == "--long-line" && has_value) {
            if (!parse_number(argv[++i], o.long_line)) return false;
        } else if (!a.empty() && a[0] != '-' && o.out.empty()) {
            o.out = a;
        } else {
            return false;
        }
    }
    return format && !o.out.empty() && ((o.bytes > 0) != (o.lines > 0));
}

class Twriter {
public:
    explicit Twriter(std::FILE* f) : f_(f) {}
    std::string& text() { return text_; }
    bool flush_if_full() { return text_.size() < (4u << 20) || flush(); }
    bool flush() {
        const bool ok = std::fwrite(text_.data(), 1, text_.size(), f_) == text_.size();
        text_.clear();
        return ok;
    }

private:
    std::FILE* f_;
    std::string text_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        // Raised whenever the same arguments would give other bytes.
        std::puts("hxbench_gen 1");
        return 0;
    }
    Toptions o;
    if (!parse(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string temp = o.out + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) {
        std::perror(temp.c_str());
        return 1;
    }
    Twriter w(f);
    Trandom r(o.seed);
    header(w.text(), o.all);
    std::uint64_t written = w.text().size();

    // Lines are spread evenly over the span; a size target is turned into an
    // expected line count from the average line length.
    const std::uint64_t expected = o.lines > 0 ? o.lines : o.bytes / (o.all ? 76 : 80) + 1;
    const std::int64_t first = days_from_civil(2024, 6, 29) * 1440 + 21 * 60;
    const std::int64_t span = 66 * 60;
    bool ok = true;
    std::string line;
    for (std::uint64_t i = 0; o.lines == 0 || i < o.lines; ++i) {
        std::int64_t minute = static_cast<std::int64_t>(i * static_cast<std::uint64_t>(span) / expected);
        if (minute > span) minute = span;
        // A little disorder, as when two operators' logs are merged, never
        // earlier than the first QSO.
        if (r.one_in(40)) minute = minute >= 3 ? minute - 1 - r.below(3) : minute;
        line.clear();
        const Tstamp t = stamp_of(first + minute);
        if (o.all) {
            if (r.one_in(1000000)) line.append("\r\n");  // an empty line, skipped by the count
            all_line(line, r, t);
        } else {
            if (r.one_in(1000000)) line.append("X-QSO: 14000 CW 2024-06-30 0102 JA9XXZ 599 10 JA1ZZZ 599 10M\r\n");
            cabrillo_line(line, r, t, o.style);
        }
        if (i == 0 && o.long_line > line.size()) {
            // The long second line: a QSO line whose tail of letters and
            // blanks (and the odd CR) runs to the requested length.
            line.resize(line.size() - 2);
            std::string& out = w.text();
            std::uint64_t left = o.long_line - 2 - line.size();
            out.append(line);
            while (left > 0) {
                const std::size_t n = left < 65536 ? static_cast<std::size_t>(left) : 65536;
                for (std::size_t k = 0; k < n; ++k) out.push_back(k % 61 == 60 ? '\r' : "abcdefgh "[k % 9]);
                left -= n;
                written += n;
                if (!(ok = w.flush_if_full())) break;
            }
            out.append("\r\n");
            written += line.size() + 2;
            continue;
        }
        if (o.bytes > 0 && written + line.size() > o.bytes) break;
        w.text().append(line);
        written += line.size();
        if (!(ok = ok && w.flush_if_full())) break;
    }
    if (!o.all && ok && (o.bytes == 0 || written + 13 <= o.bytes)) w.text().append("END-OF-LOG:\r\n");
    ok = ok && w.flush();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), o.out.c_str()) != 0) {
        std::perror(o.out.c_str());
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}
