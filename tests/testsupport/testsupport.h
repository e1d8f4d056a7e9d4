// Test support: temporary folders, whole-file reading and writing, and the
// byte-for-byte comparison of a report with its golden file.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace hx::test {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class Ttemp_dir {
public:
    Ttemp_dir();
    ~Ttemp_dir();
    Ttemp_dir(const Ttemp_dir&) = delete;
    Ttemp_dir& operator=(const Ttemp_dir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(std::string_view name) const;
    // Writes `bytes` to path()/name and returns that path.
    std::string write_file(std::string_view name, std::string_view bytes) const;
    std::string read_file(std::string_view name) const;
    // Names in the folder, sorted, without "." and "..".
    std::vector<std::string> list() const;

private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view bytes);
bool file_exists(const std::string& path);

// Joins lines with CR LF after each one, as the report is written.
std::string crlf(std::initializer_list<std::string_view> lines);

// Success when `actual` equals `expected` byte for byte; otherwise a failure
// that names the first differing line (1-based) and shows both versions of it.
::testing::AssertionResult same_bytes(std::string_view expected, std::string_view actual);

}  // namespace hx::test
