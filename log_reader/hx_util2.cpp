// Log reader (module hx_util2): detection, layouts, QSO lines, bands, and the
// text-line reader that every file read of the program goes through.
#include "hx_util2.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hx {

std::string log_path;
std::string out_path;
std::string header_line;

namespace {

constexpr char kCtrlZ = 26;
constexpr std::size_t kReadBuffer = 1 << 20;

bool is_ctl_or_blank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string errno_text(int err) { return std::strerror(err); }

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
    buf_.resize(kReadBuffer > keep_ * 2 ? kReadBuffer : keep_ * 2);
}

bool Tline_reader::fill() {
    if (eof_) return false;
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        buf_off_ += pos_;
        end_ -= pos_;
        pos_ = 0;
    }
    for (;;) {
        ssize_t n = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        if (errno == EINTR) continue;
        throw Thx_io_error("cannot read " + path_ + ": " + errno_text(errno));
    }
}

// The CR-free text of the raw bytes [p, p+n), at most keep_ bytes.
std::string_view Tline_reader::clean(const char* p, std::size_t n) {
    while (n > 0 && p[n - 1] == '\r') --n;  // the usual CR LF end, without a copy
    std::size_t look = n < keep_ ? n : keep_;
    if (std::memchr(p, '\r', look) == nullptr) return {p, look};
    scratch_.clear();
    for (std::size_t i = 0; i < n && scratch_.size() < keep_; ++i)
        if (p[i] != '\r') scratch_.push_back(p[i]);
    return scratch_;
}

bool Tline_reader::next(std::string_view& line) {
    if (done_) return false;
    cut_ = false;
    for (;;) {
        if (pos_ == end_ && !fill()) {
            done_ = true;
            if (line_no_ > 0) return false;
            // A file without any line reads as one empty line.
            line_no_ = 1;
            line_off_ = buf_off_ + pos_;
            line = {};
            return true;
        }
        if (buf_[pos_] == kCtrlZ) {  // Ctrl-Z where a line begins ends the file
            eof_ = true;
            end_ = pos_;
            continue;
        }
        break;
    }
    line_off_ = buf_off_ + pos_;
    ++line_no_;
    for (;;) {
        const char* start = buf_.data() + pos_;
        const void* lf = std::memchr(start, '\n', end_ - pos_);
        if (lf != nullptr) {
            std::size_t n = static_cast<const char*>(lf) - start;
            line = clean(start, n);
            pos_ += n + 1;
            return true;
        }
        if (pos_ > 0 || end_ < buf_.size()) {
            if (fill()) continue;
            // Last line without a final LF.
            line = clean(start = buf_.data() + pos_, end_ - pos_);
            pos_ = end_;
            return true;
        }
        // The line fills the whole buffer: keep its first keep_ bytes and skip
        // the rest up to its LF.
        std::string_view head = clean(buf_.data(), end_);
        if (head.data() != scratch_.data()) scratch_.assign(head);
        cut_ = true;
        // Bytes of this line that were CR only may still be dropped; the kept
        // part is settled once keep_ CR-free bytes are in hand.
        std::string kept = scratch_;
        for (;;) {
            pos_ = end_;
            if (!fill()) {
                scratch_ = std::move(kept);
                line = scratch_;
                return true;
            }
            const char* s = buf_.data() + pos_;
            const void* lf2 = std::memchr(s, '\n', end_ - pos_);
            std::size_t upto = lf2 ? static_cast<const char*>(lf2) - s : end_ - pos_;
            for (std::size_t i = 0; i < upto && kept.size() < keep_; ++i)
                if (s[i] != '\r') kept.push_back(s[i]);
            if (lf2 != nullptr) {
                pos_ += upto + 1;
                scratch_ = std::move(kept);
                line = scratch_;
                return true;
            }
        }
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
        layout = Tlayout{{67, 3}, {18, 10}, {9, 2},  {12, 2}, {55, 1}, {61, 1}, {1, 10},
                         {72, 4}, {31, 3},  {43, 3}, {12, 5}, {6, 2},  {47, 3}};
    } else if (type == lt_cabrillo) {
        layout = Tlayout{{6, 5},  {56, 10}, {23, 2}, {26, 2}, {-1, 0}, {-1, 0}, {15, 10},
                         {12, 2}, {45, 3},  {70, 3}, {26, 4}, {20, 2}, {74, 6}};
    } else if (type == lt_txt) {
        layout_from_header(header_line, layout);
    }
}

std::int32_t column_end(std::string_view line, std::string_view name) {
    // P is 0 for a name that does not occur, so a missing name gives its length - 1.
    std::size_t found = line.find(name);
    std::int64_t p = found == std::string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
    return static_cast<std::int32_t>(p + static_cast<std::int64_t>(name.size()) - 1);
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

std::string_view take_field(std::string_view line, std::int32_t start, std::int32_t length) {
    if (length <= 0) return {};
    std::int64_t first = start < 1 ? 0 : static_cast<std::int64_t>(start) - 1;
    if (first >= static_cast<std::int64_t>(line.size())) return {};
    return line.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(length));
}

// ---------------------------------------------------------------------------
// QSO lines and bands

bool is_qso_line(Tlog_type type, std::string_view line) {
    if (type == lt_all || type == lt_txt) return true;
    if (type != lt_cabrillo || line.size() < 4) return false;
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    return up(line[0]) == 'Q' && up(line[1]) == 'S' && up(line[2]) == 'O' && line[3] == ':';
}

std::int32_t band_index_of(Tlog_type type, std::string_view line, std::int32_t start,
                           std::int32_t length) {
    std::string_view f = take_field(line, start, length);
    if (type == lt_all) {
        static constexpr std::string_view kAll[] = {"1.9", "3.5", "7  ", "14 ", "21 ",
                                                     "28 ", "50 ", "144", "430", "120"};
        for (std::int32_t i = 0; i < 10; ++i)
            if (f == kAll[i]) return i;
        return 10;
    }
    if (type == lt_txt) {
        static constexpr std::string_view kTxt[] = {" 1.9", " 3.5", "   7", "  14", "  21",
                                                    "  28", "  50", " 144", " 430", "1200"};
        for (std::int32_t i = 0; i < 10; ++i)
            if (f == kTxt[i]) return i;
        return 10;  // "2400" and every unrecognised band
    }
    if (type == lt_cabrillo) {
        if (f == " 1.2G") return 9;
        if (f == "  432") return 8;
        if (f == "  144") return 7;
        if (f == "   50") return 6;
        if (f.size() < 2) return 10;
        std::string_view two = f.substr(0, 2);
        if (two == " 1" || two == "01") return 0;
        if (two == " 3" || two == "03") return 1;
        if (two == " 7" || two == "07") return 2;
        if (two == "14") return 3;
        if (two == "21") return 4;
        if (two == "28") return 5;
        if (two == "50") return 6;
        return 10;
    }
    return 10;
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

}  // namespace

bool cabrillo_fields_to_columns(std::string_view line, std::string& out) {
    std::string_view f[5];
    std::size_t i = 0;
    for (auto& field : f) {
        while (i < line.size() && is_sep(line[i])) ++i;
        std::size_t b = i;
        while (i < line.size() && !is_sep(line[i])) ++i;
        if (b == i) return false;
        field = line.substr(b, i - b);
    }
    if (!is_qso_line(lt_cabrillo, f[0]) || f[0].size() != 4) return false;
    const std::string_view date = f[3], time = f[4];
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
    for (std::size_t k : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!is_digit(date[k])) return false;
    if (time.size() != 4) return false;
    for (char c : time)
        if (!is_digit(c)) return false;

    std::string_view freq = f[1];
    if (freq.size() > 5) {
        bool digits = true;
        for (char c : freq) digits = digits && is_digit(c);
        // A kHz frequency too long for the field stands for its band.
        std::uint64_t khz = 0;
        if (digits && freq.size() <= 12)
            for (char c : freq) khz = khz * 10 + static_cast<unsigned>(c - '0');
        if (digits && khz >= 144000 && khz <= 148000) freq = "144";
        else if (digits && khz >= 420000 && khz <= 450000) freq = "432";
        else if (digits && khz >= 1240000 && khz <= 1300000) freq = "1.2G";
        else freq = "up";
    }
    out.assign(f[0]);  // "QSO:" as written, columns 1-4
    out.append(10 - 4 - freq.size(), ' ');
    out.append(freq);  // right-aligned in 6-10
    out.push_back(' ');
    out.append(f[2].substr(0, 2));  // mode in 12-13
    out.resize(14, ' ');
    out.append(date);  // 15-24
    out.push_back(' ');
    out.append(time);  // 26-29
    while (i < line.size() && is_sep(line[i])) ++i;
    if (i < line.size()) {
        out.push_back(' ');
        out.append(line.substr(i));  // remaining fields from column 31
    }
    return true;
}

}  // namespace hx
