// Fuzz target: detection, the text-line reader, the layouts and the field
// helpers over arbitrary bytes. Each result is checked against the rules it
// must keep, written here plainly: lines, identifying lines, field taking,
// QSO lines, file names and numbers.
#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "fuzz_common.h"
#include "hx_util2.h"
#include "u_hx300.h"

namespace {

bool blank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The type the first identifying line gives, and that line.
hx::Tlog_type type_of(const std::vector<std::string>& lines, std::string& header) {
    for (const std::string& l : lines) {
        std::size_t b = 0;
        while (b < l.size() && blank(l[b])) ++b;
        hx::Tlog_type t = hx::lt_unknown;
        if (l == "Mivo for Windows ") t = hx::lt_all;
        else if (l.starts_with("START-OF-LOG:")) t = hx::lt_cabrillo;
        else if (std::string_view(l).substr(b).starts_with("mon day time")) t = hx::lt_txt;
        if (t != hx::lt_unknown) {
            header = l;
            return t;
        }
    }
    return hx::lt_unknown;
}

// A start below 1 counts as 1; cut at the end of the line; empty past it or
// for a length of 0 or less.
std::string_view field_of(std::string_view line, std::int32_t start, std::int32_t length) {
    const std::int64_t first = start < 1 ? 0 : std::int64_t{start} - 1;
    if (length <= 0 || first >= static_cast<std::int64_t>(line.size())) return {};
    return line.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(length));
}

// The field trimmed of bytes <= 32 read as an optional sign and decimal digits
// within 32 bits; -1 otherwise.
std::int32_t number_of(std::string_view f) {
    while (!f.empty() && blank(f.front())) f.remove_prefix(1);
    while (!f.empty() && blank(f.back())) f.remove_suffix(1);
    if (f.size() >= 2 && f[0] == '+' && f[1] != '-') f.remove_prefix(1);
    std::int32_t v = -1;
    auto [end, ec] = std::from_chars(f.data(), f.data() + f.size(), v);
    return (f.empty() || ec != std::errc() || end != f.data() + f.size()) ? -1 : v;
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// A file that lives in memory; reached by a path as a log is.
struct Tmem_file {
    int fd = ::memfd_create("hx-fuzz", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    void set(std::string_view bytes) const {
        HX_FUZZ_CHECK(::ftruncate(fd, 0) == 0);
        HX_FUZZ_CHECK(::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Tmem_file file;
    FuzzedDataProvider in(data, size);
    const std::int32_t start = in.ConsumeIntegral<std::int32_t>();
    const std::int32_t length = in.ConsumeIntegral<std::int32_t>();
    const std::int32_t type = in.ConsumeIntegralInRange<std::int32_t>(-2, 4);
    const std::size_t keep = in.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::size_t one_by_one = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const std::vector<std::string> expected = hx::fuzz::lines_of(bytes);
    file.set(bytes);

    // The line reader, keeping at most `keep` bytes of each line.
    {
        const int fd = hx::open_log(file.path);
        HX_FUZZ_CHECK(fd >= 0);
        hx::Tline_reader reader(fd, file.path, keep);
        std::string_view line;
        std::size_t n = 0;
        while (reader.next(line)) {
            HX_FUZZ_CHECK(n < expected.size());
            HX_FUZZ_CHECK(line == std::string_view(expected[n]).substr(0, keep));
            HX_FUZZ_CHECK(reader.cut() == (expected[n].size() > keep));
            HX_FUZZ_CHECK(reader.line_number() == ++n);
        }
        HX_FUZZ_CHECK(n == expected.size());
        ::close(fd);
    }
    // The same lines when the first few are taken one by one and the rest in
    // a sweep.
    {
        const int fd = hx::open_log(file.path);
        HX_FUZZ_CHECK(fd >= 0);
        hx::Tline_reader reader(fd, file.path, keep);
        std::string_view line;
        std::size_t n = 0;
        while (n < one_by_one && reader.next(line)) {
            HX_FUZZ_CHECK(line == std::string_view(expected[n]).substr(0, keep));
            ++n;
        }
        reader.for_each([&](std::string_view l, std::uint64_t line_no) {
            HX_FUZZ_CHECK(n < expected.size());
            HX_FUZZ_CHECK(l == std::string_view(expected[n]).substr(0, keep));
            HX_FUZZ_CHECK(line_no == ++n);
        });
        HX_FUZZ_CHECK(n == expected.size());
        ::close(fd);
    }

    // Detection: the first identifying line decides and is kept whole.
    std::string header;
    const hx::Tlog_type want = type_of(expected, header);
    hx::header_line = "\x01unchanged";
    HX_FUZZ_CHECK(hx::check_log_type(file.path) == want);
    HX_FUZZ_CHECK(hx::header_line == (want == hx::lt_unknown ? "\x01unchanged" : header));

    // Layouts, from the detected header and from the bytes as a header line.
    hx::Tlayout layout{};
    hx::set_layout(type, layout);
    hx::layout_from_header(bytes, layout);
    for (const hx::Tcolumn& c : {layout.col_band, layout.col_day, layout.col_hour, layout.col_mult1})
        (void)hx::take_field(bytes, c.start, c.length);

    // Field taking never reaches outside the line.
    const std::string_view line = bytes;
    const std::string_view f = hx::take_field(line, start, length);
    HX_FUZZ_CHECK(f == field_of(line, start, length));
    HX_FUZZ_CHECK(f.empty() || (f.data() >= line.data() && f.data() + f.size() <= line.data() + line.size()));
    HX_FUZZ_CHECK(hx::field_int(line, start, length) == number_of(f));
    HX_FUZZ_CHECK(hx::column_end(line, f) == static_cast<std::int32_t>(line.find(f) + f.size()));

    // QSO lines and bands.
    const bool qso = hx::is_qso_line(type, line);
    const bool cabrillo_qso = line.size() >= 4 && (line[0] | 0x20) == 'q' && (line[1] | 0x20) == 's' &&
                              (line[2] | 0x20) == 'o' && line[3] == ':';
    HX_FUZZ_CHECK(qso == (type == hx::lt_all || type == hx::lt_txt || (type == hx::lt_cabrillo && cabrillo_qso)));
    const std::int32_t band = hx::band_index_of(type, line, start, length);
    HX_FUZZ_CHECK(band >= 0 && band <= 10);

    // A Cabrillo line read by its fields (the first one "QSO:", after any
    // blanks and tabs) lands in the template columns.
    std::string columns;
    if (hx::cabrillo_fields_to_columns(line, columns)) {
        const std::size_t first = line.find_first_not_of(" \t");
        HX_FUZZ_CHECK(hx::is_qso_line(hx::lt_cabrillo, line.substr(first)) && line[first + 4] <= ' ');
        HX_FUZZ_CHECK(columns.size() >= 29 && hx::is_qso_line(hx::lt_cabrillo, columns));
        HX_FUZZ_CHECK(columns[4] == ' ' && columns[10] == ' ' && columns[13] == ' ' && columns[24] == ' ');
        HX_FUZZ_CHECK(columns[18] == '-' && columns[21] == '-');
        for (std::size_t k : {14, 15, 16, 17, 19, 20, 22, 23, 25, 26, 27, 28}) HX_FUZZ_CHECK(digit(columns[k]));
        HX_FUZZ_CHECK(columns.size() == 29 || columns[29] == ' ');
        const std::int32_t b = hx::band_index_of(hx::lt_cabrillo, columns, 6, 5);
        HX_FUZZ_CHECK(b >= 0 && b <= 10);
    }

    // File names and report names.
    const std::string name = hx::file_name_of(line);
    HX_FUZZ_CHECK(line.ends_with(name));
    HX_FUZZ_CHECK(name.find('/') == std::string::npos && name.find(':') == std::string::npos);
    const std::string base = hx::base_name(line);
    HX_FUZZ_CHECK(line.starts_with(base));
    const std::size_t slash = line.rfind('/');
    const std::size_t cut = line.size() > 4 ? line.size() - 4 : 0;
    HX_FUZZ_CHECK(base.size() == (slash != std::string_view::npos && slash + 1 > cut ? slash + 1 : cut));
    return 0;
}
