// Log reader (module hx_util2): recognising a log's format, the column layout
// of its QSO lines, which lines are QSO lines and which band they belong to.
// Standard library only; every text is 8-bit bytes, never decoded.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>  // byte_kinds
#endif

namespace hx {

using Tlog_type = std::int32_t;
inline constexpr Tlog_type lt_all = 1;
inline constexpr Tlog_type lt_cabrillo = 2;
inline constexpr Tlog_type lt_txt = 3;
inline constexpr Tlog_type lt_unknown = -1;

// One field of a QSO line: 1-based start and length; an absent column is -1 / 0.
struct Tcolumn {
    std::int32_t start = -1;
    std::int32_t length = 0;
    friend bool operator==(const Tcolumn&, const Tcolumn&) = default;
};

// Where the 13 fields of a QSO line lie. Plain data, copied whole.
struct Tlayout {
    Tcolumn col_band, col_call, col_day, col_hour, col_mult1, col_mult2, col_date,
        col_mode, col_sent, col_rcvd, col_time, col_month, col_rcvd_exch;
    friend bool operator==(const Tlayout&, const Tlayout&) = default;
};

// The fixed layouts of ALL and Cabrillo QSO lines, as set_layout gives them.
inline constexpr Tlayout kAllLayout{{67, 3}, {18, 10}, {9, 2},  {12, 2}, {55, 1}, {61, 1}, {1, 10},
                                     {72, 4}, {31, 3},  {43, 3}, {12, 5}, {6, 2},  {47, 3}};
inline constexpr Tlayout kCabrilloLayout{{6, 5},  {56, 10}, {23, 2}, {26, 2}, {-1, 0}, {-1, 0}, {15, 10},
                                          {12, 2}, {45, 3},  {70, 3}, {26, 4}, {20, 2}, {74, 6}};

// An input/output error on a file that was opened: the message names the file.
class Thx_io_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Module variables shared by the subsystems.
extern std::string log_path;     // the log chosen by the user; empty when none
extern std::string out_path;     // the report path of the last run
extern std::string header_line;  // identifying line of the last recognising detection

// Opens `path` for reading when it names a regular file (after symbolic
// links); returns the descriptor, or -1 for anything else (missing, refused,
// a directory, a FIFO, a device). The caller closes it.
int open_log(const std::string& path);

// Reads a file as text lines: a line ends at LF, every CR byte is dropped
// wherever it stands, a Ctrl-Z byte that begins a line (at the start of the
// file or right after an LF) ends the file, and a file without any line reads
// as one empty line. At most `keep` bytes of a line are handed out; the rest of
// a longer line is skipped without being held, so memory stays bounded by the
// buffer whatever the length of a line. Throws Thx_io_error when a read fails.
class Tline_reader {
public:
    Tline_reader(int fd, std::string path, std::size_t keep = 4096);
    Tline_reader(const Tline_reader&) = delete;
    Tline_reader& operator=(const Tline_reader&) = delete;

    // The next line, CR-free, at most `keep` bytes; false at the end of the file.
    // The view is valid until the next call.
    bool next(std::string_view& line) {
        if (!take_marked(marks(), cursor_, line)) return next_slow(line);
        line_off_ = buf_off_ + static_cast<std::size_t>(line.data() - data_);
        cut_ = false;
        return true;
    }
    // Hands each remaining line to f(line, line_number), in file order, with the
    // lines that next() would give. For a run over a whole file: the common
    // lines take no call and no member update each. `f` must not use the reader;
    // afterwards line_number() is that of the last line.
    template <class F>
    void for_each(F&& f) {
        for (;;) {
            const Tmarks m = marks();
            Tcursor c = cursor_;
            std::string_view marked;
            while (take_marked(m, c, marked)) f(marked, c.line_no);
            cursor_ = c;
            std::string_view line;
            if (!next_slow(line)) return;
            f(line, cursor_.line_no);
        }
    }
    // The last line handed out was cut: without its CR bytes it is longer than
    // `keep` bytes.
    bool cut() const { return cut_; }
    // 1-based number of the last line handed out.
    std::uint64_t line_number() const { return cursor_.line_no; }
    // File offset of the first byte of the last line handed out.
    std::uint64_t line_offset() const { return line_off_; }

private:
    static constexpr char kCtrlZ = 26;

    // Where the reading stands: the next line begins at pos; bits holds the LF
    // marks of lf_[word] at or after pos.
    struct Tcursor {
        std::size_t pos = 0, word = 0;
        std::uint64_t bits = 0;
        std::uint64_t line_no = 0;  // of the last line handed out
    };
    // What the marked lines are read from; fixed between two scans.
    struct Tmarks {
        const char* buf;
        const std::uint64_t* lf;
        std::size_t words, clean_until, keep;
    };
    Tmarks marks() const { return {data_, lf_.get(), lf_words_, clean_until_, keep_}; }

    // The common line, taken without a call: its LF is marked, it ends before
    // clean_until (so it holds no CR but one right before the LF and does not
    // begin with Ctrl-Z) and it is no longer than keep. False, with the cursor
    // at the same line, for every other case, which next_slow reads byte by
    // byte by the same rules.
    static bool take_marked(const Tmarks& m, Tcursor& c, std::string_view& line) {
        while (c.bits == 0) {
            if (++c.word >= m.words) return false;
            c.bits = m.lf[c.word];
        }
        const std::size_t s = c.pos;
        const std::size_t e = c.word * 64 + static_cast<std::size_t>(std::countr_zero(c.bits));
        if (e >= m.clean_until || e - s > m.keep) return false;
        c.bits &= c.bits - 1;
        // m.buf[-1] is an LF: an empty line at the start loses nothing.
        line = std::string_view(m.buf + s, e - s - (m.buf[e - 1] == '\r'));
        ++c.line_no;
        c.pos = e + 1;
        return true;
    }

    bool next_slow(std::string_view& line);
    bool next_any(std::string_view& line);
    bool fill();  // reads more bytes after those kept; false at end of file
    void scan();       // starts marking the LF bytes of data_[0, end_) after a read
    void scan_more();  // marks the next block of them and updates clean_until_
    void resync();  // points the cursor's LF marks at its pos after next_any
    std::size_t next_unclean(std::size_t from) const;
    std::string_view clean(const char* p, std::size_t n);

    int fd_;
    std::string path_;
    std::size_t keep_;
    std::size_t cap_;                   // bytes of data_ that hold file data
    std::unique_ptr<char[]> buf_;       // an LF, then data_: cap_ bytes and room for the scan
    char* data_ = nullptr;
    std::unique_ptr<std::uint64_t[]> lf_;  // bit i of lf_[w]: data_[64 w + i] is an LF
    std::string scratch_;
    Tcursor cursor_;
    std::size_t end_ = 0;          // data_[cursor_.pos, end_) is read and not yet handed out
    std::size_t lf_words_ = 0;     // words of lf_ marked so far in this buffer
    // [cursor_.pos, clean_until_) holds no CR but before an LF and no Ctrl-Z
    // that begins a line.
    std::size_t clean_until_ = 0;
    unsigned unclean_ = 0;         // what marking this buffer found: kStrayCr | kLineCtrlZ
    std::uint64_t buf_off_ = 0;    // file offset of data_[0]
    std::uint64_t line_off_ = 0;
    bool eof_ = false, done_ = false, cut_ = false, first_read_ = true;
};

// Log format detection: the type given by the first identifying line of the
// file, or lt_unknown when there is none or the file cannot be opened. A
// recognising detection stores the identifying line, as read, in header_line.
Tlog_type check_log_type(const std::string& path);

// Fills `layout` for a log type (1, 2; 3 from header_line); any other type
// leaves it untouched.
void set_layout(Tlog_type type, Tlayout& layout);

// Fills all 13 columns of `layout` from a TXT listing's header line.
void layout_from_header(std::string_view header, Tlayout& layout);

// P + length(name) - 1, where P is the 1-based position of the first
// occurrence of `name` in `line`, or 0 when it does not occur; at most INT32_MAX.
std::int32_t column_end(std::string_view line, std::string_view name);

// The field of `line` at 1-based `start`, `length` bytes: a start below 1
// counts as 1, a field past the end of the line is cut there, and a start past
// the end or a length of 0 or less gives empty text. Never reads outside `line`.
// Inline, as are the two routines below: the run calls them for every line.
inline std::string_view take_field(std::string_view line, std::int32_t start, std::int32_t length) {
    if (length <= 0) return {};
    const std::int64_t first = start < 1 ? 0 : static_cast<std::int64_t>(start) - 1;
    if (first >= static_cast<std::int64_t>(line.size())) return {};
    const std::size_t left = line.size() - static_cast<std::size_t>(first);
    const std::size_t n = static_cast<std::size_t>(length) < left ? static_cast<std::size_t>(length) : left;
    return std::string_view(line.data() + first, n);
}

// Whether `line` is a QSO line of a log of `type`.
inline bool is_qso_line(Tlog_type type, std::string_view line) {
    if (type == lt_all || type == lt_txt) return true;
    if (type != lt_cabrillo || line.size() < 4) return false;
    // "QSO:" with the letters in either case: only 'Q' and 'q' give 'q' when
    // 0x20 is set, and so on, so the test takes one load.
    std::uint32_t head;
    std::memcpy(&head, line.data(), 4);
    std::uint32_t want;
    std::memcpy(&want, "qso:", 4);
    std::uint32_t fold;
    std::memcpy(&fold, "\x20\x20\x20\x00", 4);
    return (head | fold) == want;
}

namespace band_tables {

// A text of up to 8 bytes as one number, its first byte lowest.
constexpr std::uint64_t pack(std::string_view t) {
    std::uint64_t v = 0;
    for (std::size_t i = t.size(); i-- > 0;) v = v << 8 | static_cast<unsigned char>(t[i]);
    return v;
}

// pack() of the N bytes at p, read in as few loads as whole integers allow
// (a copy into a wider zeroed number would go through memory).
template <std::size_t N>
inline std::uint64_t pack_n(const char* p) {
    static_assert(N <= 8);
    if constexpr (N == 0) {
        return 0;
    } else if constexpr (std::endian::native != std::endian::little) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < N; ++i) v |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
        return v;
    } else {
        constexpr std::size_t k = N >= 4 ? 4 : N >= 2 ? 2 : 1;
        using Tpart = std::conditional_t<k == 4, std::uint32_t, std::conditional_t<k == 2, std::uint16_t, std::uint8_t>>;
        Tpart part;
        std::memcpy(&part, p, k);
        return std::uint64_t{part} | pack_n<N - k>(p + k) << (8 * k);
    }
}

struct Tband_text {
    std::string_view text;
    std::int32_t band;
};

// Texts of one length and their bands, found with a single probe: a hash table
// of 16 slots whose multiplier is searched at compile time so that no two
// texts share a slot.
class Tband_table {
public:
    template <std::size_t N>
    consteval explicit Tband_table(const Tband_text (&texts)[N]) {
        static_assert(N <= 16);
        for (const Tband_text& t : texts)
            if (t.text.size() > 7) throw "a band text is longer than 7 bytes";
        for (std::uint64_t seed = 1;; ++seed) {
            // Candidate multipliers from a splitmix64 sequence: odd and well spread.
            std::uint64_t z = seed * 0x9E3779B97F4A7C15ull;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            mul_ = (z ^ (z >> 31)) | 1;
            // An empty slot holds a key that no text of up to 7 bytes packs to.
            for (auto& k : key_) k = ~std::uint64_t{0};
            bool clash = false;
            for (const Tband_text& t : texts) {
                const std::size_t s = slot(pack(t.text));
                clash = clash || key_[s] != ~std::uint64_t{0};
                key_[s] = pack(t.text);
                band_[s] = static_cast<std::int8_t>(t.band);
            }
            if (!clash) return;
        }
    }
    // The band of the text packed as `v` (of the table's length), or `otherwise`;
    // without a branch, since consecutive lines need not share a band.
    constexpr std::int32_t find(std::uint64_t v, std::int32_t otherwise) const {
        const std::size_t s = slot(v);
        const std::int32_t hit = -static_cast<std::int32_t>(key_[s] == v);
        return otherwise + ((band_[s] - otherwise) & hit);
    }

private:
    constexpr std::size_t slot(std::uint64_t v) const { return static_cast<std::size_t>((v * mul_) >> 60); }
    std::uint64_t mul_ = 0;
    std::uint64_t key_[16] = {};
    std::int8_t band_[16] = {};
};

// ALL: the whole 3-character field, padded on the right with blanks.
inline constexpr Tband_text kAll[] = {{"1.9", 0}, {"3.5", 1}, {"7  ", 2}, {"14 ", 3}, {"21 ", 4},
                                      {"28 ", 5}, {"50 ", 6}, {"144", 7}, {"430", 8}, {"120", 9}};
// Cabrillo: a band designator fills the whole field; otherwise a kHz
// frequency is known by its first two characters.
inline constexpr Tband_text kCabrilloDesignators[] = {{" 1.2G", 9}, {"  432", 8}, {"  144", 7}, {"   50", 6}};
inline constexpr Tband_text kCabrilloKhz[] = {{" 1", 0}, {"01", 0}, {" 3", 1}, {"03", 1}, {" 7", 2},
                                               {"07", 2}, {"14", 3}, {"21", 4}, {"28", 5}, {"50", 6}};
// TXT: the whole 4-character field, padded on the left; "2400" is no band of its own.
inline constexpr Tband_text kTxt[] = {{" 1.9", 0}, {" 3.5", 1}, {"   7", 2}, {"  14", 3}, {"  21", 4},
                                      {"  28", 5}, {"  50", 6}, {" 144", 7}, {" 430", 8}, {"1200", 9}};
inline constexpr Tband_table kAllTable{kAll};
inline constexpr Tband_table kCabrilloKhzTable{kCabrilloKhz};
inline constexpr Tband_table kCabrilloDesignatorTable{kCabrilloDesignators};
inline constexpr Tband_table kTxtTable{kTxt};

// The band of every pair of first two characters of a Cabrillo kHz
// frequency, indexed by the pair as a little-endian 16-bit number: one load
// in place of a hashed probe.
struct Tkhz_bands {
    std::int8_t band[1 << 16];
};
consteval Tkhz_bands make_khz_bands() {
    Tkhz_bands t{};
    for (std::uint32_t v = 0; v < (1u << 16); ++v) t.band[v] = static_cast<std::int8_t>(kCabrilloKhzTable.find(v, 10));
    return t;
}
inline constexpr Tkhz_bands kKhzBands = make_khz_bands();

}  // namespace band_tables

// The band index of a Cabrillo band field of 5 characters, packed by pack():
// a designator's band when the field is one, else the band of its first two
// characters as a kHz frequency. Both are looked up and one chosen without a
// branch: the band of the next line is anyone's guess.
inline std::int32_t cabrillo_band_of_packed(std::uint64_t v) {
    using namespace band_tables;
    return kCabrilloDesignatorTable.find(v, kKhzBands.band[v & 0xFFFF]);
}

// The band of a frequency field of more than five characters: a kHz
// frequency of 144-148 MHz, 420-450 MHz or 1240-1300 MHz stands for the
// designator of its band (7, 8, 9); any other text for none (10). A loop of
// as many steps as the field has characters, no branch on their values.
inline std::int32_t long_frequency_band(std::string_view freq) {
    bool all_digits = freq.size() <= 12;
    std::uint64_t khz = 0;
    for (char c : freq) {
        const unsigned d = static_cast<unsigned char>(c) - unsigned{'0'};
        all_digits = all_digits & (d <= 9);
        khz = khz * 10 + d;
    }
    const std::int32_t band = (khz >= 144000 && khz <= 148000)     ? 7
                              : (khz >= 420000 && khz <= 450000)   ? 8
                              : (khz >= 1240000 && khz <= 1300000) ? 9
                                                                   : 10;
    return all_digits ? band : 10;
}

// The band index 0..10 of a band field already taken from its line.
inline std::int32_t band_of_field(Tlog_type type, std::string_view f) {
    using namespace band_tables;
    if (type == lt_all) return f.size() == 3 ? kAllTable.find(pack_n<3>(f.data()), 10) : 10;
    if (type == lt_cabrillo) {
        if (f.size() == 5) return cabrillo_band_of_packed(pack_n<5>(f.data()));
        return f.size() >= 2 ? kKhzBands.band[pack_n<2>(f.data())] : 10;
    }
    if (type == lt_txt) return f.size() == 4 ? kTxtTable.find(pack_n<4>(f.data()), 10) : 10;
    return 10;
}

// The band index 0..10 of the band field at `start`/`length` of `line`.
inline std::int32_t band_index_of(Tlog_type type, std::string_view line, std::int32_t start,
                                  std::int32_t length) {
    return band_of_field(type, take_field(line, start, length));
}

// The file name of a path: what follows its last "\", ":" or "/", where a "\"
// that is the second byte of a Shift-JIS double-byte character is no separator.
std::string file_name_of(std::string_view path);

// Cabrillo QSO lines whose first five fields, separated by blanks or tabs, are
// "QSO:" (any letter case), a frequency or band designator, a mode, a date
// dddd-dd-dd and a four-digit time are rewritten into the template columns:
// frequency right-aligned in 6-10 (a kHz frequency of more than five digits
// becomes its band designator), mode from 12, date in 15-24, time in 26-29,
// the remaining fields from 31 on. Returns false, leaving `out` unspecified,
// for a line whose first fields do not look like that.
bool cabrillo_fields_to_columns(std::string_view line, std::string& out);

// The five leading fields of a Cabrillo QSO line as cabrillo_fields_to_columns
// reads them. `freq` is the text it puts right-aligned in columns 6-10 (a kHz
// frequency of more than five digits already replaced by its band designator);
// `after` is the index in the line just past the time. `in_columns` true says
// that the line's columns 1-29 are already exactly those of the rewritten line.
struct Tcabrillo_fields {
    std::string_view qso, freq, mode, date, time;
    std::string_view raw_freq;  // the frequency field as it stands in the line
    std::size_t after = 0;
    bool in_columns = false;
};
// Fills `f` and returns true for a line that cabrillo_fields_to_columns
// rewrites; false, leaving `f` unspecified, for any other line.
bool cabrillo_fields(std::string_view line, Tcabrillo_fields& f);
struct Tbyte_kinds;
// The same for a line of 32 bytes or more, from the kinds of its first 32
// bytes (byte_kinds) that the caller has already taken.
bool cabrillo_fields(std::string_view line, const Tbyte_kinds& kinds, Tcabrillo_fields& f);

// The kinds of the first 32 bytes of a line, one bit per byte (bit i: byte i).
struct Tbyte_kinds {
    std::uint32_t blank, tab, digit, dash;
};

// The kinds of p[0, 32), which must be readable: one vector test per kind
// with SSE2 (part of every x86-64 processor), a plain loop elsewhere.
inline Tbyte_kinds byte_kinds(const char* p) {
#if defined(__SSE2__)
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    auto bits = [](__m128i l, __m128i h) {
        return static_cast<std::uint32_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(l))) |
               static_cast<std::uint32_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(h))) << 16;
    };
    auto same = [&](char c) {
        const __m128i v = _mm_set1_epi8(c);
        return bits(_mm_cmpeq_epi8(lo, v), _mm_cmpeq_epi8(hi, v));
    };
    // A digit is a byte that stays at most 9 once '0' is taken off.
    const __m128i zero = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9);
    const __m128i d_lo = _mm_sub_epi8(lo, zero), d_hi = _mm_sub_epi8(hi, zero);
    return {same(' '), same('\t'),
            bits(_mm_cmpeq_epi8(_mm_min_epu8(d_lo, nine), d_lo), _mm_cmpeq_epi8(_mm_min_epu8(d_hi, nine), d_hi)),
            same('-')};
#else
    Tbyte_kinds k{};
    for (unsigned i = 0; i < 32; ++i) {
        k.blank |= std::uint32_t{p[i] == ' '} << i;
        k.tab |= std::uint32_t{p[i] == '\t'} << i;
        k.digit |= std::uint32_t{p[i] >= '0' && p[i] <= '9'} << i;
        k.dash |= std::uint32_t{p[i] == '-'} << i;
    }
    return k;
#endif
}

// The blanks and tabs among p[0, 32), which must be readable, one bit per
// byte: byte_kinds(p).blank | byte_kinds(p).tab in a third of the work.
inline std::uint32_t separators32(const char* p) {
#if defined(__SSE2__)
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i blank = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    const __m128i s_lo = _mm_or_si128(_mm_cmpeq_epi8(lo, blank), _mm_cmpeq_epi8(lo, tab));
    const __m128i s_hi = _mm_or_si128(_mm_cmpeq_epi8(hi, blank), _mm_cmpeq_epi8(hi, tab));
    return static_cast<std::uint32_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(s_lo))) |
           static_cast<std::uint32_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(s_hi))) << 16;
#else
    const Tbyte_kinds k = byte_kinds(p);
    return k.blank | k.tab;
#endif
}

// cabrillo_in_columns for a line of 32 bytes or more, from the kinds of its
// first 32 bytes.
inline bool in_template_columns(std::string_view line, const Tbyte_kinds& k) {
    constexpr std::uint32_t kBlanks = 1u << 4 | 1u << 10 | 1u << 13 | 1u << 24;
    constexpr std::uint32_t kFreq = 0x1Fu << 5;  // columns 6-10
    constexpr std::uint32_t kDigits = 0xFu << 14 | 3u << 19 | 3u << 22 | 0xFu << 25;
    constexpr std::uint32_t kDashes = 1u << 18 | 1u << 21;
    constexpr std::uint32_t kFirst29 = (1u << 29) - 1;
    const std::uint32_t pad = (k.blank & kFreq) >> 5;  // blanks before the frequency
    // No branch per test: the outcome is the same line after line.
    return ((k.blank & kFirst29 & ~kFreq) == kBlanks) & ((k.tab & kFirst29) == 0) &
           (((k.blank | k.tab) >> 29 & 1) != 0) & ((pad & (pad + 1)) == 0) & (pad != 0x1F) &
           ((k.digit & kDigits) == kDigits) & ((k.dash & kDashes) == kDashes) & is_qso_line(lt_cabrillo, line);
}

// in_template_columns for a Cabrillo QSO line (is_qso_line) of 32 bytes or
// more whose bytes 15-27 (date, blank, hour) are those of a line for which it
// held, or of the first 29 columns that cabrillo_fields_to_columns wrote for a
// line: those bytes are known good, so only the frequency, mode, minutes and
// the bytes around them are looked at, with one vector test of the first 16.
inline bool in_template_columns_same_time(std::string_view line) {
    if (line.size() < 32) return false;
#if defined(__SSE2__)
    const char* p = line.data();
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const std::uint32_t blanks = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(lo, _mm_set1_epi8(' '))));
    const std::uint32_t tabs = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(lo, _mm_set1_epi8('\t'))));
#else
    const Tbyte_kinds k = byte_kinds(line.data());
    const std::uint32_t blanks = k.blank & 0xFFFFu, tabs = k.tab & 0xFFFFu;
#endif
    constexpr std::uint32_t kFreq = 0x1Fu << 5;  // columns 6-10
    const std::uint32_t pad = (blanks & kFreq) >> 5;
    // 1 for a digit: tests combined with & rather than &&, so no branch each.
    const auto digit = [](char c) -> unsigned { return static_cast<unsigned char>(c - '0') <= 9; };
    const char sep = line[29];
    return ((blanks & (0xFFFFu & ~kFreq)) == (1u << 4 | 1u << 10 | 1u << 13)) & (tabs == 0) &
           ((pad & (pad + 1)) == 0) & (pad != 0x1F) & digit(line[27]) & digit(line[28]) & ((sep == ' ') | (sep == '\t'));
}

// True only for a Cabrillo QSO line of 32 bytes or more whose five leading
// fields already stand exactly where cabrillo_fields_to_columns puts them:
// "QSO:" in columns 1-4, blanks, the frequency ending in column 10, a blank, a
// two-character mode, a blank, the date dddd-dd-dd in 15-24, a blank, the time
// in 26-29, and a separator in 30, with no tab before it. Such a line is read
// by its fields, and its columns 1-29 are those of the rewritten line. Inline:
// the run asks it of every Cabrillo QSO line.
inline bool cabrillo_in_columns(std::string_view line) {
    return line.size() >= 32 && in_template_columns(line, byte_kinds(line.data()));
}

}  // namespace hx
