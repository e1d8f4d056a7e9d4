// hxchart: counts each log named on the command line, writes its report next
// to it, and says what it did, one line per log.
#include "hxchart.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "u_hx300.h"

namespace hx::cli {
namespace {

constexpr const char* kUsage =
    "Usage: hxchart [--shift N] LOG...\n"
    "Counts the QSOs of each contest log (Mivo ALL or Cabrillo) per chart day,\n"
    "hour and band, and writes the time-chart report next to the log (the log's\n"
    "path less its last four characters, plus \".hx\").\n"
    "\n"
    "Options:\n"
    "  --shift N    move the hour at which every chart day begins by N hours,\n"
    "               -24..24 (default 0); example: hxchart --shift -3 contest.ALL\n"
    "  --help       show this help and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "Exit status: 0 every log was counted, 1 a log failed or was not counted,\n"
    "2 a usage error.\n";

const char* type_label(Tlog_type t) {
    switch (t) {
        case lt_all: return "MIVO (ALL)";
        case lt_cabrillo: return "Cabrilo";
        case lt_txt: return "MIVO (TXT)";
        default: return "Unknown";
    }
}

// Why a log cannot be opened for reading, in words.
std::string open_problem(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "is a directory";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    return "cannot be opened";
}

// Parses the value of --shift; false when it is not a whole number in -24..24.
bool parse_shift(const std::string& text, std::int32_t& shift) {
    if (text.empty() || text.size() > 4) return false;
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) return false;
    int v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    if (text[0] == '-') v = -v;
    if (v < -24 || v > 24) return false;
    shift = v;
    return true;
}

void print_skips(std::ostream& out, const std::string& path, const Trun_audit& a) {
    if (a.skipped() == 0) return;
    out << path << ": skipped " << a.skipped() << " QSO line" << (a.skipped() == 1 ? "" : "s") << ":";
    const char* sep = " ";
    auto one = [&](const Trun_audit::Tskips& s, const char* why) {
        if (s.count == 0) return;
        out << sep << s.count << ' ' << why << " (line";
        out << (s.first_lines.size() == 1 ? " " : "s ");
        for (std::size_t i = 0; i < s.first_lines.size(); ++i) out << (i ? ", " : "") << s.first_lines[i];
        if (s.count > s.first_lines.size()) out << ", ...";
        out << ')';
        sep = "; ";
    };
    one(a.no_hour, "without a valid hour");
    one(a.no_day, "without a valid day or date");
    one(a.beyond, "beyond the third chart day");
    out << '\n';
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::int32_t shift = 0;
    std::vector<std::string> logs;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--help" || a == "-h")) {
            out << kUsage;
            return 0;
        } else if (options && a == "--version") {
            out << "hxchart (HX) 4.0\n";
            return 0;
        } else if (options && (a == "--shift" || a.rfind("--shift=", 0) == 0)) {
            std::string value;
            if (a == "--shift") {
                if (i + 1 == args.size()) {
                    err << "hxchart: --shift needs a value from -24 to 24\n";
                    return 2;
                }
                value = args[++i];
            } else {
                value = a.substr(8);
            }
            if (!parse_shift(value, shift)) {
                err << "hxchart: --shift: '" << value << "' is not a whole number from -24 to 24\n";
                return 2;
            }
        } else if (options && a.size() > 1 && a[0] == '-') {
            err << "hxchart: unknown option '" << a << "' (see hxchart --help)\n";
            return 2;
        } else {
            logs.push_back(a);
        }
    }
    if (logs.empty()) {
        err << "hxchart: no log given (see hxchart --help)\n";
        return 2;
    }

    int status = 0;
    for (const std::string& path : logs) {
        std::int32_t type_out = 0;
        std::int32_t count = 0;
        try {
            count = break_down(path, type_out, shift);
        } catch (const Thx_io_error& e) {
            err << "hxchart: " << path << ": " << e.what() << '\n';
            status = 1;
            continue;
        }
        const Tlog_type type = check_log_type(path);
        out << path << ": " << type_label(type) << ", " << count << " QSO" << (count == 1 ? "" : "s");
        const bool counted_type = type_out == lt_all || type_out == lt_cabrillo;
        if (counted_type && count > 0) out << ", report " << out_path;
        out << '\n';
        if (counted_type) print_skips(out, path, run_audit);

        if (type == lt_unknown || (count < 0 && !run_audit.log_read)) {
            struct stat st{};
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0)
                err << "hxchart: " << path << ": cannot open the log: " << open_problem(path) << '\n';
            else
                err << "hxchart: " << path << ": not a recognised log (no identifying line)\n";
            status = 1;
        } else if (type == lt_txt) {
            err << "hxchart: " << path << ": a MIVO (TXT) listing is recognised but not counted\n";
            status = 1;
        } else if (count < 0) {
            err << "hxchart: " << path << ": cannot write the report " << out_path << '\n';
            status = 1;
        } else if (count == 0) {
            err << "hxchart: " << path << ": no countable QSO line; no report written\n";
            status = 1;
        }
    }
    return status;
}

}  // namespace hx::cli
