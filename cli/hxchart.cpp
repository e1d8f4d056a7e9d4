// hxchart: counts each log named on the command line or found under a folder,
// writes its report (and, when asked, its picture) next to it, and says what
// it did: one line per log, the parse audit, and a summary at the end.
#include "hxchart.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "chart.h"
#include "chart_csv.h"
#include "chart_svg.h"
#include "log_finder.h"
#include "u_hx300.h"

namespace hx::cli {
namespace {

constexpr const char* kUsage =
    "Usage: hxchart [options] LOG...\n"
    "       hxchart [options] --recursive DIR [LOG...]\n"
    "Counts the QSOs of each contest log (Mivo ALL or Cabrillo) per chart day,\n"
    "hour and band, and writes the time-chart report next to the log (the log's\n"
    "path less its last four characters, plus \".hx\"). Logs are counted one after\n"
    "another; a log that fails never stops the others. Each log gets a line with\n"
    "its type, QSOs and report, then its parse audit (QSO lines skipped and why,\n"
    "with their first line numbers; for Cabrillo, the QSO lines read by their\n"
    "fields and by the template columns); a summary line ends the run.\n"
    "\n"
    "Options:\n"
    "  --shift N        move the hour at which every chart day begins by N hours,\n"
    "                   -24..24 (default 0)\n"
    "                   example: hxchart --shift -3 contest.ALL\n"
    "  --recursive DIR  also count every *.ALL, *.cbr and *.log file under DIR, at\n"
    "                   any depth and in any letter case, in sorted order; files\n"
    "                   that are not logs are reported as not recognised\n"
    "                   example: hxchart --recursive logs/2024\n"
    "  --quiet          print only failures and the summary\n"
    "                   example: hxchart --quiet --recursive logs\n"
    "  --print          also write each report to standard output, byte for byte\n"
    "                   (CR LF); the per-log lines and the summary go to stderr\n"
    "                   example: hxchart --print contest.ALL > contest.txt\n"
    "  --csv FILE       write the counts of all counted logs to FILE, or to\n"
    "                   standard output for \"-\" (then the per-log lines and the\n"
    "                   summary go to stderr): RFC 4180, header\n"
    "                   log,day,hour,band,qso,mult1,mult2, one row per log, chart\n"
    "                   day, hour and band with at least one QSO; the band as its\n"
    "                   row label (1.9 3.5 7 14 21 28 50 144 430 120 up); mult1\n"
    "                   and mult2 empty for Cabrillo logs; FILE is replaced whole\n"
    "                   example: hxchart --csv counts.csv --recursive logs\n"
    "  --svg            also write a picture of the chart next to each report (the\n"
    "                   log's path less its last four characters, plus \".svg\"),\n"
    "                   replaced whole like the report\n"
    "                   example: hxchart --svg contest.ALL\n"
    "  --help           show this help and exit\n"
    "                   example: hxchart --help\n"
    "  --version        show the version and exit\n"
    "                   example: hxchart --version\n"
    "\n"
    "A progress line is shown on stderr while more than one log runs, only when\n"
    "stderr is a terminal. Failures go to stderr as \"hxchart: PATH: reason\".\n"
    "The summary: logs counted (with their QSOs), not recognised (not a log),\n"
    "not counted (a MIVO (TXT) listing, or no countable QSO line) and failed\n"
    "(cannot be read, or its report or picture cannot be written).\n"
    "\n"
    "Exit status: 0 every log was counted, 1 a log failed or was not counted (or\n"
    "a folder could not be read, or the CSV file could not be written), 2 a usage\n"
    "error.\n";

const char* type_label(Tlog_type t) {
    switch (t) {
        case lt_all: return "MIVO (ALL)";
        case lt_cabrillo: return "Cabrilo";
        case lt_txt: return "MIVO (TXT)";
        default: return "Unknown";
    }
}

struct Toptions {
    struct Tinput {
        bool folder;
        std::string path;
    };
    std::int32_t shift = 0;
    std::vector<Tinput> inputs;  // in command-line order
    bool quiet = false, print = false, svg = false, csv = false;
    std::string csv_path;
    bool csv_to_stdout() const { return csv && csv_path == "-"; }
};

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

// Whether args[i] is option `name`, given as "NAME VALUE" or "NAME=VALUE";
// on a match the value is in `value` and `missing` tells that none followed.
bool option_with_value(const std::vector<std::string>& args, std::size_t& i, std::string_view name,
                       std::string& value, bool& missing) {
    const std::string& a = args[i];
    missing = false;
    if (a == name) {
        if (i + 1 == args.size()) {
            missing = true;
        } else {
            value = args[++i];
        }
        return true;
    }
    if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
        value = a.substr(name.size() + 1);
        return true;
    }
    return false;
}

// Reads the command line into `o`. Returns -1 to go on with the run, or the
// exit status when the run ends here: 0 after --help or --version, 2 after a
// usage error (named on `err`).
int parse_args(const std::vector<std::string>& args, Toptions& o, std::ostream& out, std::ostream& err) {
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        bool missing = false;
        if (!options || a.size() < 2 || a[0] != '-') {
            o.inputs.push_back({false, a});
        } else if (a == "--") {
            options = false;
        } else if (a == "--help" || a == "-h") {
            out << kUsage;
            return 0;
        } else if (a == "--version") {
            out << "hxchart (HX) 4.0\n";
            return 0;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--print") {
            o.print = true;
        } else if (a == "--svg") {
            o.svg = true;
        } else if (option_with_value(args, i, "--shift", value, missing)) {
            if (missing) {
                err << "hxchart: --shift needs a value from -24 to 24\n";
                return 2;
            }
            if (!parse_shift(value, o.shift)) {
                err << "hxchart: --shift: '" << value << "' is not a whole number from -24 to 24\n";
                return 2;
            }
        } else if (option_with_value(args, i, "--recursive", value, missing)) {
            if (missing || value.empty()) {
                err << "hxchart: --recursive needs a folder\n";
                return 2;
            }
            o.inputs.push_back({true, value});
        } else if (option_with_value(args, i, "--csv", value, missing)) {
            if (missing || value.empty()) {
                err << "hxchart: --csv needs a file name, or - for standard output\n";
                return 2;
            }
            o.csv = true;
            o.csv_path = value;
        } else {
            err << "hxchart: unknown option '" << a << "' (see hxchart --help)\n";
            return 2;
        }
    }
    if (o.inputs.empty()) {
        err << "hxchart: no log given (see hxchart --help)\n";
        return 2;
    }
    if (o.print && o.csv_to_stdout()) {
        err << "hxchart: --print and --csv - cannot both write to standard output\n";
        return 2;
    }
    return -1;
}

bool same_file(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa{}, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Why a log cannot be opened for reading, in words; empty when it can.
std::string open_problem(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "is a directory";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    return {};
}

bool is_empty_file(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
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

// The parse audit of a log that was read to its end.
void print_audit(std::ostream& out, const std::string& path, Tlog_type type, const Trun_audit& a) {
    print_skips(out, path, a);
    const std::uint64_t read = a.cabrillo_by_fields + a.cabrillo_by_columns;
    if (type == lt_cabrillo && read > 0)
        out << path << ": read " << a.cabrillo_by_fields << " QSO line" << (a.cabrillo_by_fields == 1 ? "" : "s")
            << " by their fields, " << a.cabrillo_by_columns << " by the template columns\n";
    if (a.reread) out << path << ": out of time order; counted again from its earliest QSO\n";
}

// A one-line progress display on a terminal, erased before other output.
class Tprogress {
public:
    Tprogress(std::ostream& err, bool on) : err_(err), on_(on) {}
    ~Tprogress() { clear(); }

    void show(std::size_t i, std::size_t n, const std::string& path) {
        if (!on_) return;
        clear();
        // The tail of a long path, cut at a character boundary, keeps the line
        // from wrapping, which \r could not erase.
        std::string_view shown = path;
        std::string prefix;
        if (shown.size() > 50) {
            shown.remove_prefix(shown.size() - 50);
            while (!shown.empty() && (static_cast<unsigned char>(shown[0]) & 0xC0) == 0x80) shown.remove_prefix(1);
            prefix = "...";
        }
        const std::string text =
            "hxchart: " + std::to_string(i) + "/" + std::to_string(n) + " " + prefix + std::string(shown);
        err_ << '\r' << text << std::flush;
        shown_ = text.size();  // bytes, never fewer than the columns they take
    }
    void clear() {
        if (shown_ == 0) return;
        err_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
        shown_ = 0;
    }

private:
    std::ostream& err_;
    bool on_;
    std::size_t shown_ = 0;
};

enum class Toutcome { counted, not_recognised, not_counted, failed };

struct Tsummary {
    std::size_t logs = 0, counted = 0, not_recognised = 0, not_counted = 0, failed = 0;
    std::int64_t qsos = 0;
};

// Why `path` could not be replaced, in words, after Treport_file::commit
// refused it.
std::string write_problem(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return "is a directory";
        if (!S_ISREG(st.st_mode)) return "is not a regular file";
        if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) return "is read-only";
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (::access(folder.c_str(), W_OK) != 0) return std::strerror(errno);
    return "cannot be created";
}

// Replaces `path` with `text` atomically; empty on success, else the reason.
std::string commit_file(const std::string& path, const std::string& text) {
    Treport_file file;
    file.write(text);
    try {
        if (file.commit(path) != 0) return write_problem(path);
    } catch (const Thx_io_error& e) {
        return e.what();
    }
    return {};
}

// Counts the logs of a run one at a time: runs the breakdown, writes what was
// asked for beside the report, and says what happened. The module variables
// of each breakdown are read right after it, before the next one.
class Tbatch {
public:
    Tbatch(const Toptions& o, std::ostream& out, std::ostream& err, std::ostream& info, Tprogress& progress)
        : o_(o), out_(out), err_(err), info_(info), progress_(progress) {}

    std::string csv;  // the CSV rows so far, after the header

    Toutcome count(const std::string& path, std::int32_t& qsos) {
        std::int32_t type_out = 0;
        std::int32_t n = 0;
        try {
            n = break_down(path, type_out, o_.shift);
        } catch (const Thx_io_error& e) {
            progress_.clear();
            err_ << "hxchart: " << path << ": " << e.what() << '\n';
            return Toutcome::failed;
        }
        progress_.clear();
        qsos = n;
        const Tlog_type type = hx::log_type;
        const bool counted_type = type == lt_all || type == lt_cabrillo;
        const bool counted = counted_type && n > 0;

        std::string picture, picture_problem;
        if (counted && (o_.svg || o_.csv)) {
            const Tchart chart = chart_of_last_run(path);
            if (o_.csv) append_csv_rows(chart, csv);
            if (o_.svg) {
                picture = hx::log_base + ".svg";
                picture_problem = same_file(picture, path) ? "it is the log itself"
                                                           : commit_file(picture, chart_svg(chart));
            }
        }
        if (!o_.quiet) {
            info_ << path << ": " << type_label(type) << ", " << n << " QSO" << (n == 1 ? "" : "s");
            if (counted) info_ << ", report " << out_path;
            if (counted && o_.svg && picture_problem.empty()) info_ << ", picture " << picture;
            info_ << '\n';
            if (counted_type && run_audit.log_read) print_audit(info_, path, type, run_audit);
        }
        if (counted) {
            if (o_.print) out_ << report_file.text();
            // Logs that differ only in their last four characters share a
            // report name; the later report replaces the earlier one.
            auto [earlier, fresh] = reports_.try_emplace(out_path, path);
            if (!fresh) {
                err_ << "hxchart: " << path << ": its report " << out_path << " replaces the one of "
                     << earlier->second << '\n';
                earlier->second = path;
            }
            if (!picture_problem.empty()) {
                err_ << "hxchart: " << path << ": cannot write the picture " << picture << ": " << picture_problem
                     << '\n';
                return Toutcome::failed;
            }
            return Toutcome::counted;
        }
        return explain(path, type, n);
    }

private:
    // Names on err_ why a log was not counted, and sorts it.
    Toutcome explain(const std::string& path, Tlog_type type, std::int32_t n) {
        const std::string where = "hxchart: " + path + ": ";
        if (type == lt_txt) {
            err_ << where << "a MIVO (TXT) listing is recognised but not counted\n";
            return Toutcome::not_counted;
        }
        if (type != lt_all && type != lt_cabrillo) {
            if (std::string problem = open_problem(path); !problem.empty()) {
                err_ << where << "cannot open the log: " << problem << '\n';
                return Toutcome::failed;
            }
            err_ << where << "not a recognised log (" << (is_empty_file(path) ? "empty file" : "no identifying line")
                 << ")\n";
            return Toutcome::not_recognised;
        }
        if (n < 0 && !run_audit.log_read) {
            std::string problem = open_problem(path);
            err_ << where << "cannot open the log: " << (problem.empty() ? "cannot be opened" : problem) << '\n';
            return Toutcome::failed;
        }
        if (n < 0) {
            err_ << where << "cannot write the report " << out_path << '\n';
            return Toutcome::failed;
        }
        err_ << where << "no countable QSO line; no report written\n";
        return Toutcome::not_counted;
    }

    const Toptions& o_;
    std::ostream& out_;
    std::ostream& err_;
    std::ostream& info_;
    Tprogress& progress_;
    std::map<std::string, std::string> reports_;  // report path -> the log it was written for
};

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool err_is_terminal) {
    Toptions o;
    if (int status = parse_args(args, o, out, err); status >= 0) return status;
    int status = 0;

    std::vector<std::string> logs;
    for (const Toptions::Tinput& in : o.inputs) {
        if (!in.folder) {
            logs.push_back(in.path);
            continue;
        }
        int problems = 0;
        const std::size_t before = logs.size();
        if (find_logs(in.path, logs, err, problems) && logs.size() == before) {
            err << "hxchart: " << in.path << ": no *.ALL, *.cbr or *.log file under it\n";
            ++problems;
        }
        if (problems > 0) status = 1;
    }
    if (o.csv && !o.csv_to_stdout()) {
        for (const std::string& log : logs) {
            if (same_file(o.csv_path, log)) {
                err << "hxchart: --csv: " << o.csv_path << " is one of the logs\n";
                return 2;
            }
        }
    }

    std::ostream& info = (o.print || o.csv_to_stdout()) ? err : out;
    Tprogress progress(err, err_is_terminal && logs.size() > 1);
    Tbatch batch(o, out, err, info, progress);
    Tsummary sum;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        progress.show(i + 1, logs.size(), logs[i]);
        std::int32_t qsos = 0;
        ++sum.logs;
        switch (batch.count(logs[i], qsos)) {
            case Toutcome::counted: ++sum.counted, sum.qsos += qsos; break;
            case Toutcome::not_recognised: ++sum.not_recognised; break;
            case Toutcome::not_counted: ++sum.not_counted; break;
            case Toutcome::failed: ++sum.failed; break;
        }
    }
    progress.clear();
    if (sum.counted != sum.logs) status = 1;

    if (o.csv) {
        const std::string text = std::string(csv_header()) + batch.csv;
        if (o.csv_to_stdout()) {
            out << text << std::flush;
        } else if (std::string problem = commit_file(o.csv_path, text); !problem.empty()) {
            err << "hxchart: " << o.csv_path << ": cannot write the CSV file: " << problem << '\n';
            status = 1;
        }
    }
    info << plural(sum.logs, "log", "logs") << ": " << sum.counted << " counted ("
         << plural(static_cast<std::size_t>(sum.qsos), "QSO", "QSOs") << "), " << sum.not_recognised
         << " not recognised, " << sum.not_counted << " not counted, " << sum.failed << " failed\n";
    return status;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return run(args, out, err, ::isatty(2) == 1);
}

}  // namespace hx::cli
