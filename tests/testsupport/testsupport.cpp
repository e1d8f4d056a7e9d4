// Test support: temporary folders and golden-file comparison.
#include "testsupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace hx::test {

Ttemp_dir::Ttemp_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/hxtest.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

Ttemp_dir::~Ttemp_dir() {
    std::error_code ec;
    // Give back any permission a test took away, so that everything can go.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
}

std::string Ttemp_dir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string Ttemp_dir::write_file(std::string_view name, std::string_view bytes) const {
    std::string p = file(name);
    hx::test::write_file(p, bytes);
    return p;
}

std::string Ttemp_dir::read_file(std::string_view name) const { return hx::test::read_file(file(name)); }

std::vector<std::string> Ttemp_dir::list() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string s;
    for (auto l : lines) {
        s.append(l);
        s.append("\r\n");
    }
    return s;
}

namespace {

std::string_view line_at(std::string_view s, std::size_t& pos) {
    std::size_t e = s.find('\n', pos);
    std::string_view line = s.substr(pos, e == std::string_view::npos ? std::string_view::npos : e + 1 - pos);
    pos = e == std::string_view::npos ? s.size() : e + 1;
    return line;
}

std::string show(std::string_view line) {
    std::string out = "\"";
    for (char c : line) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out + "\"";
}

}  // namespace

::testing::AssertionResult same_bytes(std::string_view expected, std::string_view actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    std::size_t pe = 0, pa = 0;
    for (std::size_t n = 1;; ++n) {
        std::string_view le = line_at(expected, pe), la = line_at(actual, pa);
        if (le != la || (pe >= expected.size() && pa >= actual.size())) {
            return ::testing::AssertionFailure()
                   << "first difference in line " << n << "\n  expected: " << show(le)
                   << "\n  actual:   " << show(la);
        }
    }
}

}  // namespace hx::test
