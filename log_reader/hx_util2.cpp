// Log reader (module hx_util2): detection, layouts, QSO lines, bands, and the
// text-line reader that every file read of the program goes through.
#include "hx_util2.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <fcntl.h>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

namespace hx {

std::string log_path;
std::string out_path;
std::string header_line;

namespace {

// 256 KiB stays in the second-level cache between the read that fills it and
// the scan and the line work that follow; larger buffers measured slower.
constexpr std::size_t kReadBuffer = 256 << 10;
// The first read is short: detection mostly needs only the first lines.
constexpr std::size_t kFirstRead = 16 << 10;
// Bytes after the data that the scan may read: one 64-byte word and the sentinel.
constexpr std::size_t kScanPad = 128;
// The scan marks the buffer a block at a time, just before its lines are
// read, so that they are read while the block is still in the first-level
// cache.
constexpr std::size_t kScanBlockWords = (16 << 10) / 64;

bool is_ctl_or_blank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string errno_text(int err) { return std::strerror(err); }

// What a scan finds besides the LF bytes.
constexpr unsigned kStrayCr = 1;     // a CR that is not followed by an LF
constexpr unsigned kLineCtrlZ = 2;  // an LF followed by a Ctrl-Z

// Each scan marks the LF bytes of p[0, 64 words) in lf, one bit per byte, and
// returns what else it finds there, as kStrayCr | kLineCtrlZ. p[64 words]
// must be readable.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define HX_SCAN_X86 1

unsigned scan_sse2(const char* p, std::size_t words, std::uint64_t* lf) {
    const __m128i nl = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), z = _mm_set1_epi8(26);
    __m128i stray = _mm_setzero_si128(), ctrl_z = _mm_setzero_si128();
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        std::uint64_t bits = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k + 1));
            const __m128i a_nl = _mm_cmpeq_epi8(a, nl);
            bits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(a_nl))} << (16 * k);
            stray = _mm_or_si128(stray, _mm_andnot_si128(_mm_cmpeq_epi8(b, nl), _mm_cmpeq_epi8(a, cr)));
            ctrl_z = _mm_or_si128(ctrl_z, _mm_and_si128(a_nl, _mm_cmpeq_epi8(b, z)));
        }
        lf[w] = bits;
    }
    return (_mm_movemask_epi8(stray) != 0 ? kStrayCr : 0) | (_mm_movemask_epi8(ctrl_z) != 0 ? kLineCtrlZ : 0);
}

__attribute__((target("avx2"))) unsigned scan_avx2(const char* p, std::size_t words, std::uint64_t* lf) {
    const __m256i nl = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r'), z = _mm256_set1_epi8(26);
    __m256i stray = _mm256_setzero_si256(), ctrl_z = _mm256_setzero_si256();
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 33));
        const __m256i nl0 = _mm256_cmpeq_epi8(a0, nl), nl1 = _mm256_cmpeq_epi8(a1, nl);
        lf[w] = static_cast<std::uint32_t>(_mm256_movemask_epi8(nl0)) |
                std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(nl1))} << 32;
        stray = _mm256_or_si256(stray, _mm256_andnot_si256(_mm256_cmpeq_epi8(b0, nl), _mm256_cmpeq_epi8(a0, cr)));
        stray = _mm256_or_si256(stray, _mm256_andnot_si256(_mm256_cmpeq_epi8(b1, nl), _mm256_cmpeq_epi8(a1, cr)));
        ctrl_z = _mm256_or_si256(ctrl_z, _mm256_and_si256(nl0, _mm256_cmpeq_epi8(b0, z)));
        ctrl_z = _mm256_or_si256(ctrl_z, _mm256_and_si256(nl1, _mm256_cmpeq_epi8(b1, z)));
    }
    return (_mm256_testz_si256(stray, stray) ? 0 : kStrayCr) | (_mm256_testz_si256(ctrl_z, ctrl_z) ? 0 : kLineCtrlZ);
}

__attribute__((target("avx512f,avx512bw"))) unsigned scan_avx512(const char* p, std::size_t words,
                                                                 std::uint64_t* lf) {
    const __m512i nl = _mm512_set1_epi8('\n'), cr = _mm512_set1_epi8('\r'), z = _mm512_set1_epi8(26);
    std::uint64_t stray = 0, ctrl_z = 0;
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        const __m512i a = _mm512_loadu_si512(p);
        const __m512i b = _mm512_loadu_si512(p + 1);
        const __mmask64 a_nl = _mm512_cmpeq_epi8_mask(a, nl);
        lf[w] = a_nl;
        stray |= _mm512_mask_cmpneq_epi8_mask(_mm512_cmpeq_epi8_mask(a, cr), b, nl);
        ctrl_z |= _mm512_mask_cmpeq_epi8_mask(a_nl, b, z);
    }
    return (stray != 0 ? kStrayCr : 0) | (ctrl_z != 0 ? kLineCtrlZ : 0);
}
#else
unsigned scan_generic(const char* p, std::size_t words, std::uint64_t* lf) {
    unsigned found = 0;
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        std::uint64_t bits = 0;
        for (unsigned i = 0; i < 64; ++i) {
            bits |= std::uint64_t{p[i] == '\n'} << i;
            if (p[i] == '\r' && p[i + 1] != '\n') found |= kStrayCr;
            if (p[i] == '\n' && p[i + 1] == 26) found |= kLineCtrlZ;
        }
        lf[w] = bits;
    }
    return found;
}
#endif

using Tscan = unsigned (*)(const char*, std::size_t, std::uint64_t*);

// The fastest scan this processor runs.
Tscan pick_scan() {
#ifdef HX_SCAN_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw")) return scan_avx512;
    if (__builtin_cpu_supports("avx2")) return scan_avx2;
    return scan_sse2;
#else
    return scan_generic;
#endif
}

// Chosen on first use, so that no order of static initialisation matters.
unsigned scan_lines(const char* p, std::size_t words, std::uint64_t* lf) {
    static const Tscan scan = pick_scan();
    return scan(p, words, lf);
}

}  // namespace

int open_log(const std::string& path) {
    if (path.empty()) return -1;
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused right after.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

// ---------------------------------------------------------------------------
// Tline_reader

Tline_reader::Tline_reader(int fd, std::string path, std::size_t keep)
    : fd_(fd), path_(std::move(path)), keep_(keep < 1 ? 1 : keep) {
    cap_ = kReadBuffer > keep_ * 2 ? kReadBuffer : (keep_ * 2 + 63) / 64 * 64;
    // Left uninitialised: only bytes that a read has filled are ever looked at,
    // and the scan's pad is written before each scan.
    buf_.reset(new char[1 + cap_ + kScanPad]);
    buf_[0] = '\n';
    data_ = buf_.get() + 1;
    lf_.reset(new std::uint64_t[cap_ / 64 + 1]);
}

bool Tline_reader::fill() {
    if (eof_) return false;
    if (cursor_.pos > 0) {
        std::memmove(data_, data_ + cursor_.pos, end_ - cursor_.pos);
        buf_off_ += cursor_.pos;
        end_ -= cursor_.pos;
        cursor_.pos = 0;
    }
    for (;;) {
        std::size_t room = cap_ - end_;
        if (first_read_ && room > kFirstRead) room = kFirstRead;
        ssize_t n = ::read(fd_, data_ + end_, room);
        if (n > 0) {
            first_read_ = false;
            end_ += static_cast<std::size_t>(n);
            scan();
            return true;
        }
        if (n == 0) {
            eof_ = true;
            scan();
            return false;
        }
        if (errno == EINTR) continue;
        throw Thx_io_error("cannot read " + path_ + ": " + errno_text(errno));
    }
}

void Tline_reader::scan() {
    const std::size_t words = (end_ + 63) / 64;
    // LF bytes after the data: the last word's marks beyond end_ are cleared
    // in scan_more, and a CR that ends the data does not count as stray, since
    // its line is never taken from the marks before more data or the end is known.
    std::memset(data_ + end_, '\n', words * 64 + 1 - end_);
    lf_words_ = 0;
    unclean_ = 0;
    clean_until_ = end_;
    scan_more();
}

void Tline_reader::scan_more() {
    const std::size_t words = (end_ + 63) / 64;
    const std::size_t from = lf_words_;
    const std::size_t to = words - from > kScanBlockWords ? from + kScanBlockWords : words;
    unsigned found = scan_lines(data_ + from * 64, to - from, lf_.get() + from);
    // The first line of the buffer begins after an LF that is no longer there.
    if (from == 0 && end_ > 0 && data_[0] == kCtrlZ) found |= kLineCtrlZ;
    if (to == words && end_ % 64 != 0) lf_[words - 1] &= ~std::uint64_t{0} >> (64 - end_ % 64);
    lf_words_ = to;
    if (found != 0) {
        unclean_ |= found;
        clean_until_ = next_unclean(cursor_.pos);
    }
}

// The first place at or after the line start `from` that the marked lines
// must not pass: a CR that is not followed by an LF in the buffer, or a
// Ctrl-Z that begins a line; end_ when there is none.
std::size_t Tline_reader::next_unclean(std::size_t from) const {
    const char* p = data_;
    std::size_t until = end_;
    if (unclean_ & kLineCtrlZ) {
        for (std::size_t at = from; at < until;) {
            // Position 0 begins a line (see scan); p[at - 1] would wrap the index there.
            if (p[at] == kCtrlZ && (at == 0 || p[at - 1] == '\n')) {
                until = at;
                break;
            }
            const void* z = std::memchr(p + at + 1, kCtrlZ, until - at - 1);
            if (z == nullptr) break;
            at = static_cast<const char*>(z) - p;
        }
    }
    if (unclean_ & kStrayCr) {
        for (std::size_t at = from; at < until;) {
            const void* cr = std::memchr(p + at, '\r', until - at);
            if (cr == nullptr) break;
            at = static_cast<const char*>(cr) - p;
            if (at + 1 == end_ || p[at + 1] != '\n') return at;
            at += 2;
        }
    }
    return until;
}

void Tline_reader::resync() {
    if (cursor_.pos >= end_) {
        cursor_.word = lf_words_;
        cursor_.bits = 0;
        return;
    }
    cursor_.word = cursor_.pos / 64;
    cursor_.bits = cursor_.word < lf_words_ ? lf_[cursor_.word] & (~std::uint64_t{0} << (cursor_.pos % 64)) : 0;
    if (clean_until_ < cursor_.pos) clean_until_ = next_unclean(cursor_.pos);
}

bool Tline_reader::next_slow(std::string_view& line) {
    // The marks ran out before the data did: mark the next block and go on.
    while (cursor_.word >= lf_words_ && lf_words_ * 64 < end_) {
        scan_more();
        resync();
        if (take_marked(marks(), cursor_, line)) {
            line_off_ = buf_off_ + static_cast<std::size_t>(line.data() - data_);
            cut_ = false;
            return true;
        }
    }
    const bool got = next_any(line);
    resync();
    return got;
}

// The CR-free text of the raw bytes [p, p+n), at most keep_ bytes; sets cut_
// when more than keep_ CR-free bytes stand there.
std::string_view Tline_reader::clean(const char* p, std::size_t n) {
    while (n > 0 && p[n - 1] == '\r') --n;  // the usual CR LF end, without a copy
    // From here p[n - 1] is no CR: bytes left over after keep_ kept ones include
    // at least that one.
    std::size_t look = n < keep_ ? n : keep_;
    if (std::memchr(p, '\r', look) == nullptr) {
        cut_ = n > keep_;
        return {p, look};
    }
    scratch_.clear();
    std::size_t i = 0;
    for (; i < n && scratch_.size() < keep_; ++i)
        if (p[i] != '\r') scratch_.push_back(p[i]);
    cut_ = i < n;
    return scratch_;
}

bool Tline_reader::next_any(std::string_view& line) {
    if (done_) return false;
    cut_ = false;
    for (;;) {
        if (cursor_.pos == end_ && !fill()) {
            done_ = true;
            if (cursor_.line_no > 0) return false;
            // A file without any line reads as one empty line.
            cursor_.line_no = 1;
            line_off_ = buf_off_ + cursor_.pos;
            line = {};
            return true;
        }
        if (data_[cursor_.pos] == kCtrlZ) {  // Ctrl-Z where a line begins ends the file
            eof_ = true;
            end_ = cursor_.pos;
            continue;
        }
        break;
    }
    line_off_ = buf_off_ + cursor_.pos;
    ++cursor_.line_no;
    for (;;) {
        const char* start = data_ + cursor_.pos;
        const void* lf = std::memchr(start, '\n', end_ - cursor_.pos);
        if (lf != nullptr) {
            std::size_t n = static_cast<const char*>(lf) - start;
            line = clean(start, n);
            cursor_.pos += n + 1;
            return true;
        }
        if (cursor_.pos > 0 || end_ < cap_) {
            if (fill()) continue;
            // Last line without a final LF.
            line = clean(start = data_ + cursor_.pos, end_ - cursor_.pos);
            cursor_.pos = end_;
            return true;
        }
        // The line fills the whole buffer: keep its first keep_ CR-free bytes
        // and skip the rest up to its LF, noting whether any CR-free byte is
        // left over.
        std::string_view head = clean(data_, end_);
        if (head.data() != scratch_.data()) scratch_.assign(head);
        std::string kept = scratch_;
        bool more = cut_;
        for (;;) {
            cursor_.pos = end_;
            if (!fill()) break;
            const char* s = data_ + cursor_.pos;
            const void* lf2 = std::memchr(s, '\n', end_ - cursor_.pos);
            std::size_t upto = lf2 ? static_cast<const char*>(lf2) - s : end_ - cursor_.pos;
            for (std::size_t i = 0; i < upto && !more; ++i) {
                if (s[i] == '\r') continue;
                if (kept.size() < keep_) kept.push_back(s[i]);
                else more = true;
            }
            if (lf2 != nullptr) {
                cursor_.pos += upto + 1;
                break;
            }
        }
        scratch_ = std::move(kept);
        line = scratch_;
        cut_ = more;
        return true;
    }
}

// ---------------------------------------------------------------------------
// Detection

namespace {

constexpr std::string_view kAllHeader = "Mivo for Windows ";
constexpr std::string_view kCabrilloHeader = "START-OF-LOG:";
constexpr std::string_view kTxtHeader = "mon day time";

// Form 3 on a line whose kept head is all blanks and controls: reads on from
// `offset` without holding the line, skipping bytes <= 32 (CR included).
bool txt_form_far(int fd, std::uint64_t offset) {
    char chunk[4096];
    std::size_t matched = 0;
    bool leading = true;
    for (;;) {
        ssize_t n = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        offset += static_cast<std::uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) {
            char c = chunk[i];
            if (c == '\n') return false;
            if (c == '\r') continue;
            if (leading) {
                if (is_ctl_or_blank(c)) continue;
                leading = false;
            }
            if (c != kTxtHeader[matched]) return false;
            if (++matched == kTxtHeader.size()) return true;
        }
    }
}

// The whole CR-free line starting at `offset`.
std::string whole_line_at(int fd, std::uint64_t offset, const std::string& path) {
    std::string line;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Thx_io_error("cannot read " + path + ": " + errno_text(errno));
        }
        if (n == 0) return line;
        offset += static_cast<std::uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] == '\n') return line;
            if (chunk[i] != '\r') line.push_back(chunk[i]);
        }
    }
}

struct Tfd_closer {
    int fd;
    ~Tfd_closer() { ::close(fd); }
};

}  // namespace

Tlog_type check_log_type(const std::string& path) {
    int fd = open_log(path);
    if (fd < 0) return lt_unknown;
    Tfd_closer closer{fd};
    Tline_reader reader(fd, path, 4096);
    std::string_view line;
    while (reader.next(line)) {
        Tlog_type type = lt_unknown;
        if (!reader.cut() && line == kAllHeader) {
            type = lt_all;
        } else if (line.substr(0, kCabrilloHeader.size()) == kCabrilloHeader) {
            type = lt_cabrillo;
        } else {
            std::size_t b = 0;
            while (b < line.size() && is_ctl_or_blank(line[b])) ++b;
            if (b < line.size() || !reader.cut()) {
                if (line.substr(b, kTxtHeader.size()) == kTxtHeader) type = lt_txt;
            } else if (txt_form_far(fd, reader.line_offset())) {
                type = lt_txt;
            }
        }
        if (type != lt_unknown) {
            header_line = reader.cut() ? whole_line_at(fd, reader.line_offset(), path)
                                       : std::string(line);
            return type;
        }
    }
    return lt_unknown;
}

// ---------------------------------------------------------------------------
// Layouts

void set_layout(Tlog_type type, Tlayout& layout) {
    if (type == lt_all) {
        layout = kAllLayout;
    } else if (type == lt_cabrillo) {
        layout = kCabrilloLayout;
    } else if (type == lt_txt) {
        layout_from_header(header_line, layout);
    }
}

std::int32_t column_end(std::string_view line, std::string_view name) {
    // P is 0 for a name that does not occur, so a missing name gives its length - 1.
    std::size_t found = line.find(name);
    std::int64_t p = found == std::string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
    const std::int64_t end = p + static_cast<std::int64_t>(name.size()) - 1;
    // A column beyond 32 bits (a header line over 2 GB) saturates: its field then
    // lies past every line and reads as empty, and callers may subtract from it.
    return static_cast<std::int32_t>(end < INT32_MAX ? end : INT32_MAX);
}

void layout_from_header(std::string_view header, Tlayout& layout) {
    auto at = [&](std::string_view word, std::int32_t minus, std::int32_t length) {
        return Tcolumn{column_end(header, word) - minus, length};
    };
    layout.col_band = at("MHz", 3, 4);
    layout.col_call = at("callsign", 8, 10);
    layout.col_day = at("day", 1, 2);
    layout.col_hour = at("time", 3, 2);
    layout.col_mult1 = at("multi", 0, 1);
    layout.col_mult2 = Tcolumn{-1, 0};
    layout.col_date = Tcolumn{-1, 0};
    layout.col_mode = at("mode", 2, 3);
    layout.col_sent = at("sent", 7, 3);
    layout.col_rcvd = at("rcvd", 7, 3);
    layout.col_time = at("time", 3, 4);
    layout.col_month = at("mon", 1, 2);
    layout.col_rcvd_exch = Tcolumn{-1, 0};
}

// ---------------------------------------------------------------------------
// File names

std::string file_name_of(std::string_view path) {
    auto lead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
    auto trail = [](unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); };
    std::size_t after = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        // A lead byte followed by a valid trail byte is one character: its
        // second byte is never a separator, even when it has the code of "\".
        if (lead(c) && i + 1 < path.size() && trail(static_cast<unsigned char>(path[i + 1]))) {
            ++i;
            continue;
        }
        if (c == '\\' || c == ':' || c == '/') after = i + 1;
    }
    return std::string(path.substr(after));
}

// ---------------------------------------------------------------------------
// Cabrillo fields in any column

namespace {

bool is_sep(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A frequency of more than five characters as it goes into columns 6-10: a
// kHz frequency stands for its band.
__attribute__((noinline)) std::string_view long_frequency(std::string_view freq) {
    switch (long_frequency_band(freq)) {
        case 7: return "144";
        case 8: return "432";
        case 9: return "1.2G";
        default: return "up";
    }
}

// A frequency as it goes into columns 6-10.
std::string_view column_frequency(std::string_view freq) {
    return freq.size() <= 5 ? freq : long_frequency(freq);
}

// Whether the five fields [b[i], e[i]) are "QSO:" (any letter case), anything,
// anything, a date dddd-dd-dd and a four-digit time.
bool fields_valid(std::string_view line, const std::size_t (&b)[5], const std::size_t (&e)[5]) {
    if (e[0] - b[0] != 4 || !is_qso_line(lt_cabrillo, std::string_view(line.data() + b[0], 4))) return false;
    if (e[3] - b[3] != 10 || line[b[3] + 4] != '-' || line[b[3] + 7] != '-') return false;
    for (std::size_t k : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!is_digit(line[b[3] + k])) return false;
    if (e[4] - b[4] != 4) return false;
    for (std::size_t k = b[4]; k < e[4]; ++k)
        if (!is_digit(line[k])) return false;
    return true;
}

void fill_fields(std::string_view line, const std::size_t (&b)[5], const std::size_t (&e)[5],
                 Tcabrillo_fields& f) {
    const char* p = line.data();
    f.qso = std::string_view(p + b[0], 4);
    f.raw_freq = std::string_view(p + b[1], e[1] - b[1]);
    f.freq = column_frequency(f.raw_freq);
    f.mode = std::string_view(p + b[2], e[2] - b[2]);
    f.date = std::string_view(p + b[3], 10);
    f.time = std::string_view(p + b[4], 4);
    f.after = e[4];
}

// The five fields of a line of 32 bytes or more in any columns, each a run of
// non-separators, read from the kinds of its first 32 bytes. False when a
// field does not end within them; otherwise `valid` says whether they are the
// five fields.
__attribute__((noinline)) bool fields_in_32(std::string_view line, const Tbyte_kinds& k,
                                            Tcabrillo_fields& f, bool& valid) {
    const std::uint32_t word = ~(k.blank | k.tab);
    std::uint32_t starts = word & ~(word << 1);  // bit i: a field begins at byte i
    // Bit i: a field ends at byte i and byte i + 1 is a separator among the 32.
    std::uint32_t ends = word & ~(word >> 1) & ~(1u << 31);
    std::size_t b[5], e[5];
    for (int i = 0; i < 5; ++i) {
        // Fields alternate with separators, so the i-th start and end belong together.
        if (ends == 0) return false;
        b[i] = static_cast<std::size_t>(std::countr_zero(starts));
        e[i] = static_cast<std::size_t>(std::countr_zero(ends)) + 1;
        starts &= starts - 1;
        ends &= ends - 1;
    }
    // "QSO:", anything, anything, a date dddd-dd-dd and a four-digit time; the
    // date and time ended within 32 bytes, so every shift below is less than 32.
    valid = e[0] - b[0] == 4 && is_qso_line(lt_cabrillo, std::string_view(line.data() + b[0], 4)) &&
            e[3] - b[3] == 10 && ((k.digit >> b[3]) & 0x36Fu) == 0x36Fu && ((k.dash >> b[3]) & 0x90u) == 0x90u &&
            e[4] - b[4] == 4 && ((k.digit >> b[4]) & 0xFu) == 0xFu;
    if (valid) {
        fill_fields(line, b, e, f);
        f.in_columns = false;
    }
    return true;
}

// The five fields read byte by byte: for any line.
__attribute__((noinline)) bool fields_by_bytes(std::string_view line, Tcabrillo_fields& f) {
    std::size_t b[5], e[5];
    std::size_t i = 0;
    for (int n = 0; n < 5; ++n) {
        while (i < line.size() && is_sep(line[i])) ++i;
        b[n] = i;
        while (i < line.size() && !is_sep(line[i])) ++i;
        e[n] = i;
        if (b[n] == i) return false;
    }
    if (!fields_valid(line, b, e)) return false;
    fill_fields(line, b, e, f);
    f.in_columns = false;  // a claim this reading does not check
    return true;
}

}  // namespace

bool cabrillo_fields(std::string_view line, Tcabrillo_fields& f) {
    if (line.size() < 32) return fields_by_bytes(line, f);
    return cabrillo_fields(line, byte_kinds(line.data()), f);
}

bool cabrillo_fields(std::string_view line, const Tbyte_kinds& k, Tcabrillo_fields& f) {
    if (in_template_columns(line, k)) {
        const char* p = line.data();
        std::size_t freq = 5;
        while (p[freq] == ' ') ++freq;
        f.qso = std::string_view(p, 4);
        f.freq = std::string_view(p + freq, 10 - freq);
        f.raw_freq = f.freq;
        f.mode = std::string_view(p + 11, 2);
        f.date = std::string_view(p + 14, 10);
        f.time = std::string_view(p + 25, 4);
        f.after = 29;
        f.in_columns = true;
        return true;
    }
    bool valid = false;
    if (fields_in_32(line, k, f, valid)) return valid;
    return fields_by_bytes(line, f);
}

bool cabrillo_fields_to_columns(std::string_view line, std::string& out) {
    Tcabrillo_fields f;
    if (!cabrillo_fields(line, f)) return false;
    out.assign(f.qso);  // "QSO:" as written, columns 1-4
    out.append(10 - 4 - f.freq.size(), ' ');
    out.append(f.freq);  // right-aligned in 6-10
    out.push_back(' ');
    out.append(f.mode.substr(0, 2));  // mode in 12-13
    out.resize(14, ' ');
    out.append(f.date);  // 15-24
    out.push_back(' ');
    out.append(f.time);  // 26-29
    std::size_t i = f.after;
    while (i < line.size() && is_sep(line[i])) ++i;
    if (i < line.size()) {
        out.push_back(' ');
        out.append(line.substr(i));  // remaining fields from column 31
    }
    return true;
}

}  // namespace hx
