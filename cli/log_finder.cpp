// Walking a folder for logs.
#include "log_finder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace hx::cli {
namespace fs = std::filesystem;

namespace {

std::string lower_ascii(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

void walk(const fs::path& dir, std::vector<std::string>& found, std::ostream& err, int& problems) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    if (ec) {
        err << "hxchart: " << dir.string() << ": cannot read the folder: " << ec.message() << '\n';
        ++problems;
        return;
    }
    std::vector<fs::path> subdirs;
    for (; it != end; it.increment(ec)) {
        const fs::directory_entry& e = *it;
        std::error_code ec2;
        if (e.is_symlink(ec2)) {
            // A link counts only when it leads to a regular file.
            if (e.is_regular_file(ec2) && has_log_extension(e.path().filename().string()))
                found.push_back(e.path().string());
        } else if (e.is_directory(ec2)) {
            subdirs.push_back(e.path());
        } else if (has_log_extension(e.path().filename().string())) {
            // Anything else with a log's name, even a FIFO, is handed to the
            // run, which names what is wrong with it.
            found.push_back(e.path().string());
        }
    }
    if (ec) {
        err << "hxchart: " << dir.string() << ": cannot read the folder: " << ec.message() << '\n';
        ++problems;
    }
    for (const fs::path& sub : subdirs) walk(sub, found, err, problems);
}

}  // namespace

bool has_log_extension(const std::string& name) {
    if (name.size() < 5) return false;  // a bare ".log" is a hidden file, not a log
    const std::string ext = lower_ascii(name.substr(name.size() - 4));
    return ext == ".all" || ext == ".cbr" || ext == ".log";
}

bool find_logs(const std::string& folder, std::vector<std::string>& logs, std::ostream& err, int& problems) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        err << "hxchart: " << folder << ": cannot read the folder: "
            << (ec ? ec.message() : std::string("not a folder")) << '\n';
        ++problems;
        return false;
    }
    std::vector<std::string> found;
    walk(fs::path(folder), found, err, problems);
    std::sort(found.begin(), found.end());
    logs.insert(logs.end(), found.begin(), found.end());
    return true;
}

}  // namespace hx::cli
