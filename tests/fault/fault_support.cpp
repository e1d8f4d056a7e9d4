// Ground of the fault tests: outcomes, children, watchdog and folder snapshots.
#include "fault_support.h"

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "testsupport.h"
#include "u_hx300.h"

namespace hx::fault {

void PrintTo(const Toutcome& o, std::ostream* os) {
    if (o.result == Toutcome::kThrew) *os << "{threw \"" << o.error << "\", type " << o.type << "}";
    else *os << "{result " << o.result << ", type " << o.type << "}";
}

Toutcome run(const std::string& log, std::int32_t shift) {
    Toutcome o;
    try {
        o.result = hx::break_down(log, o.type, shift);
    } catch (const hx::Thx_io_error& e) {
        o.result = Toutcome::kThrew;
        o.error = e.what();
    }
    return o;
}

namespace {

bool write_all(int fd, std::string_view s) {
    while (!s.empty()) {
        ssize_t n = ::write(fd, s.data(), s.size());
        if (n <= 0) return false;
        s.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

[[noreturn]] void child_main(int out, const Tchild& how, const std::function<Toutcome()>& body) {
    Toutcome o;
    o.result = Toutcome::kThrew;
    const bool drop = how.as_nobody && ::geteuid() == 0;
    if (drop && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
                 ::geteuid() != kNobody)) {
        o.error = std::string("child: cannot become nobody: ") + std::strerror(errno);
    } else {
        if (how.file_size_limit != RLIM_INFINITY) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{};
            ::getrlimit(RLIMIT_FSIZE, &lim);
            lim.rlim_cur = how.file_size_limit;
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        o = body();
    }
    const std::string text = std::to_string(o.result) + "\n" + std::to_string(o.type) + "\n" + o.error;
    _exit(write_all(out, text) ? 0 : 3);
}

}  // namespace

Toutcome in_child(const Tchild& how, const std::function<Toutcome()>& body) {
    std::fflush(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) return {Toutcome::kThrew, 0, "parent: no pipe"};
    const pid_t pid = ::fork();
    if (pid < 0) return {Toutcome::kThrew, 0, "parent: no fork"};
    if (pid == 0) {
        ::close(fds[0]);
        child_main(fds[1], how, body);
    }
    ::close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {Toutcome::kThrew, 0, "child died: status " + std::to_string(status)};
    Toutcome o;
    const std::size_t a = text.find('\n'), b = text.find('\n', a + 1);
    o.result = std::stoi(text.substr(0, a));
    o.type = std::stoi(text.substr(a + 1, b - a - 1));
    o.error = text.substr(b + 1);
    return o;
}

void give_to_unprivileged_user(const std::string& path) {
    if (::geteuid() == 0 && ::chown(path.c_str(), kNobody, kNobody) != 0)
        ADD_FAILURE() << "cannot give " << path << " to nobody: " << std::strerror(errno);
}

Twatchdog::Twatchdog(unsigned seconds) { ::alarm(seconds); }
Twatchdog::~Twatchdog() { ::alarm(0); }

namespace {

std::string bytes_text(std::string_view bytes) {
    if (bytes.size() <= 4096) return std::string(bytes);
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    char s[64];
    std::snprintf(s, sizeof s, "<%zu bytes, fnv %016llx>", bytes.size(), static_cast<unsigned long long>(h));
    return s;
}

std::string mode_text(unsigned mode) {
    char s[8];
    std::snprintf(s, sizeof s, "%04o", mode & 07777);
    return s;
}

}  // namespace

std::string file_entry(unsigned mode, std::string_view bytes) {
    return "file " + mode_text(mode) + " " + bytes_text(bytes);
}

Tsnapshot snapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    Tsnapshot s;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const std::string p = it->path();
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) continue;
        std::string e;
        if (S_ISREG(st.st_mode)) {
            // A file this user may not read shows by its mode alone.
            e = ::access(p.c_str(), R_OK) == 0 ? file_entry(st.st_mode, test::read_file(p))
                                               : "file " + mode_text(st.st_mode) + " <unreadable>";
        }
        else if (S_ISDIR(st.st_mode)) e = "dir " + mode_text(st.st_mode);
        else if (S_ISLNK(st.st_mode)) e = "link -> " + fs::read_symlink(p).string();
        else if (S_ISFIFO(st.st_mode)) e = "fifo " + mode_text(st.st_mode);
        else e = "other " + mode_text(st.st_mode);
        s[fs::relative(p, folder).string()] = e;
    }
    return s;
}

std::string report_of(const std::string& name, std::string_view bytes, std::int32_t shift) {
    test::Ttemp_dir dir;
    const std::string log = dir.write_file(name, bytes);
    std::int32_t type = 0;
    if (hx::break_down(log, type, shift) <= 0) return {};
    return test::read_file(hx::out_path);
}

std::string all_line(std::string_view date, std::string_view time, std::string_view band, std::string_view call) {
    std::string l(75, ' ');
    l.replace(0, date.size(), date);
    l.replace(11, time.size(), time);
    l.replace(17, call.size(), call);
    l.replace(30, 3, "599");
    l.replace(42, 3, "599");
    l.replace(46, 3, "22M");
    l[54] = '-';
    l[60] = '*';
    l.replace(66, band.size(), band);
    l.replace(71, 2, "CW");
    return l;
}

std::string all_log(std::initializer_list<std::string> lines) {
    std::string s = "Mivo for Windows \r\n";
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

std::string cabrillo_log(std::initializer_list<std::string> qsos) {
    std::string s = "START-OF-LOG: 3.0\r\nCALLSIGN: JA9XXZ\r\n";
    for (const std::string& q : qsos) s += q + "\r\n";
    return s + "END-OF-LOG:\r\n";
}

}  // namespace hx::fault
