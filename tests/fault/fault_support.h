// Ground of the fault tests: the outcome of a run as a value that can cross a
// fork, children that run as an unprivileged user or under a file-size limit,
// a watchdog against hangs, and snapshots of a folder that show exactly what a
// run changed in it.
#pragma once

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

namespace hx::fault {

// What a run gave: its result and the log type it handed out, or, when it threw
// Thx_io_error, kThrew and the error's message.
struct Toutcome {
    static constexpr std::int32_t kThrew = INT32_MIN;
    std::int32_t result = 0;
    std::int32_t type = 0;
    std::string error = {};
    friend bool operator==(const Toutcome&, const Toutcome&) = default;
};
void PrintTo(const Toutcome& o, std::ostream* os);

// break_down(log, type, shift), with the type variable starting at 0.
Toutcome run(const std::string& log, std::int32_t shift = 0);

// The uid and gid of the unprivileged user 'nobody'.
inline constexpr uid_t kNobody = 65534;

// How a child process runs its body.
struct Tchild {
    // Runs as an unprivileged user: root drops every privilege to kNobody
    // first; any other user is unprivileged already and stays itself.
    bool as_nobody = false;
    rlim_t file_size_limit = RLIM_INFINITY;  // RLIMIT_FSIZE, with SIGXFSZ ignored
};

// Makes `path` belong to the user that an as_nobody child runs as.
void give_to_unprivileged_user(const std::string& path);

// Runs `body` in a forked child and hands back its outcome; a child that
// cannot take the role or dies gives kThrew and a message saying so.
Toutcome in_child(const Tchild& how, const std::function<Toutcome()>& body);

// Ends the process (and so fails the test) with SIGALRM when a test runs
// longer than `seconds`: a run that blocks on a FIFO or reads a device
// forever shows as a failure instead of a hang.
class Twatchdog {
public:
    explicit Twatchdog(unsigned seconds = 120);
    ~Twatchdog();
    Twatchdog(const Twatchdog&) = delete;
    Twatchdog& operator=(const Twatchdog&) = delete;
};

// Every entry under a folder by its path relative to the folder: its kind and
// permission bits, and the bytes of a regular file (their size and a hash
// when large) or the target of a link. Equal snapshots mean nothing changed:
// no byte, no mode, no entry added (a temporary file left) or removed.
using Tsnapshot = std::map<std::string, std::string>;
Tsnapshot snapshot(const std::string& folder);
// The entry a regular file of `mode` holding `bytes` has in a snapshot.
std::string file_entry(unsigned mode, std::string_view bytes);

// The report a run over `bytes`, saved under the file name `name`, writes in
// a folder of its own with `shift`; empty when it writes none.
std::string report_of(const std::string& name, std::string_view bytes, std::int32_t shift = 0);

// A Mivo ALL QSO line: date (yyyy/mm/dd) in 1-10, time in 12-16, marks in 55
// and 61, band in 67-69.
std::string all_line(std::string_view date, std::string_view time, std::string_view band = "7  ",
                     std::string_view call = "JA1ZZZ");
// "Mivo for Windows " and the lines, each ended by CR LF.
std::string all_log(std::initializer_list<std::string> lines);
// A Cabrillo log holding the QSO lines.
std::string cabrillo_log(std::initializer_list<std::string> qsos);

}  // namespace hx::fault
