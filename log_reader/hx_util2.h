// Log reader (module hx_util2): recognising a log's format, the column layout
// of its QSO lines, which lines are QSO lines and which band they belong to.
// Standard library only; every text is 8-bit bytes, never decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

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
    bool next(std::string_view& line);
    // The last line handed out was longer than `keep` bytes (after CR removal it
    // may still be exactly `keep` when only CR bytes followed).
    bool cut() const { return cut_; }
    // 1-based number of the last line handed out.
    std::uint64_t line_number() const { return line_no_; }
    // File offset of the first byte of the last line handed out.
    std::uint64_t line_offset() const { return line_off_; }

private:
    bool fill();  // reads more bytes after those kept; false at end of file
    std::string_view clean(const char* p, std::size_t n);

    int fd_;
    std::string path_;
    std::size_t keep_;
    std::string buf_;
    std::string scratch_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t buf_off_ = 0;  // file offset of buf_[0]
    std::uint64_t line_no_ = 0, line_off_ = 0;
    bool eof_ = false, done_ = false, cut_ = false;
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
// occurrence of `name` in `line`, or 0 when it does not occur.
std::int32_t column_end(std::string_view line, std::string_view name);

// The field of `line` at 1-based `start`, `length` bytes: a start below 1
// counts as 1, a field past the end of the line is cut there, and a start past
// the end or a length of 0 or less gives empty text. Never reads outside `line`.
std::string_view take_field(std::string_view line, std::int32_t start, std::int32_t length);

// Whether `line` is a QSO line of a log of `type`.
bool is_qso_line(Tlog_type type, std::string_view line);

// The band index 0..10 of the band field at `start`/`length` of `line`.
std::int32_t band_index_of(Tlog_type type, std::string_view line, std::int32_t start,
                           std::int32_t length);

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

}  // namespace hx
