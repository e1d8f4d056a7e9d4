// How the report replaces the earlier one: the temporary file is made by
// mkstemp (exclusively, mode 0600) in the report's own folder, a name already
// taken there is never opened through, the new report gets the permissions of
// a new file, and it takes the report's name by a rename, so the earlier
// report's bytes never change in place. mkstemp is watched here through a
// wrapper that this program puts in front of the C library's.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fault_support.h"
#include "testsupport.h"
#include "u_hx300.h"

namespace {

struct Tmkstemp_watch {
    std::vector<std::string> templates;  // each template handed to mkstemp
    const char* fixed = nullptr;         // six characters for the X's instead of random ones
} watch;

}  // namespace

// mkstemp as the C library defines it, with the X's replaced by `watch.fixed`
// when a test needs to know the name in advance.
extern "C" int mkstemp(char* name) {
    watch.templates.emplace_back(name);
    if (watch.fixed != nullptr) {
        const std::size_t n = std::strlen(name);
        if (n < 6 || std::strcmp(name + n - 6, "XXXXXX") != 0) {
            errno = EINVAL;
            return -1;
        }
        std::memcpy(name + n - 6, watch.fixed, 6);
        return ::open(name, O_RDWR | O_CREAT | O_EXCL, 0600);
    }
    using Tmkstemp = int (*)(char*);
    static const auto real = reinterpret_cast<Tmkstemp>(::dlsym(RTLD_NEXT, "mkstemp"));
    return real(name);
}

namespace hx::fault {
namespace {

using test::Ttemp_dir;

const std::string kLog = all_log({all_line("2008/01/05", "21:02", "3.5"), all_line("2008/01/05", "22:04", "7  ")});
const std::string kEarlier = "earlier report\r\n";

class Treport_file_fixture : public ::testing::Test {
protected:
    void SetUp() override {
        umask_ = ::umask(022);
        watch = {};
    }
    void TearDown() override {
        ::umask(umask_);
        watch = {};
    }

private:
    mode_t umask_ = 022;
};
using FaultReportFile = Treport_file_fixture;

TEST_F(FaultReportFile, TemporaryFileIsMadeByMkstempInTheReportsFolder) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("c.ALL", kLog);
    ASSERT_EQ(run(log), (Toutcome{2, lt_all}));
    EXPECT_EQ(watch.templates, std::vector<std::string>{dir.file(".c.hx.XXXXXX")});
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"c.ALL", "c.hx"}));
}

TEST_F(FaultReportFile, NameTakenByAPlantedLinkIsNeverOpenedThrough) {
    for (const char* target : {"victim", "absent"}) {
        SCOPED_TRACE(std::string("link to ") + (std::strcmp(target, "victim") == 0 ? "a file" : "nothing"));
        Ttemp_dir dir;
        const std::string log = dir.write_file("c.ALL", kLog);
        dir.write_file("c.hx", kEarlier);
        dir.write_file("victim", "not to be touched");
        ASSERT_EQ(::symlink(dir.file(target).c_str(), dir.file(".c.hx.PLANTD").c_str()), 0);
        const Tsnapshot before = snapshot(dir.path());

        watch.fixed = "PLANTD";
        EXPECT_EQ(run(log), (Toutcome{-1, lt_all}));
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

TEST_F(FaultReportFile, NewReportGetsThePermissionsOfANewFile) {
    struct Tcase {
        const char* name;
        mode_t umask;
        int earlier_mode;  // -1: no earlier report
        unsigned want;
    } cases[] = {
        {"umask 022, no earlier report", 022, -1, 0644},
        {"umask 077, earlier report 0644", 077, 0644, 0600},
        {"umask 002, earlier report 0600", 002, 0600, 0664},
        {"umask 000, earlier report 0755", 000, 0755, 0666},
        {"umask 027, earlier report setuid 04755", 027, 04755, 0640},
    };
    const std::string report = report_of("c.ALL", kLog);
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        Ttemp_dir dir;
        const std::string log = dir.write_file("c.ALL", kLog);
        if (c.earlier_mode >= 0) {
            dir.write_file("c.hx", kEarlier);
            ::chmod(dir.file("c.hx").c_str(), static_cast<mode_t>(c.earlier_mode));
        }
        Tsnapshot want = snapshot(dir.path());
        want["c.hx"] = file_entry(c.want, report);

        ::umask(c.umask);
        const Toutcome got = run(log);
        ::umask(022);
        EXPECT_EQ(got, (Toutcome{2, lt_all}));
        EXPECT_EQ(snapshot(dir.path()), want);
    }
}

TEST_F(FaultReportFile, EarlierReportLinkedElsewhereKeepsItsBytes) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("c.ALL", kLog);
    dir.write_file("c.hx", kEarlier);
    ASSERT_EQ(::link(dir.file("c.hx").c_str(), dir.file("saved.hx").c_str()), 0);
    EXPECT_EQ(run(log), (Toutcome{2, lt_all}));
    EXPECT_EQ(dir.read_file("saved.hx"), kEarlier);
    EXPECT_EQ(dir.read_file("c.hx"), report_of("c.ALL", kLog));
}

TEST_F(FaultReportFile, LinkAtTheReportPathIsReplacedNeverWrittenThrough) {
    struct Tcase {
        const char* name;
        const char* target;
        unsigned target_mode;  // 0: the target does not exist
        Toutcome want;
    } cases[] = {
        {"link to a file", "victim", 0644, {2, lt_all}},
        {"dangling link", "absent", 0, {2, lt_all}},
        {"link to a read-only file", "victim", 0444, {-1, lt_all}},
    };
    const std::string report = report_of("c.ALL", kLog);
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        Ttemp_dir dir;
        const std::string log = dir.write_file("c.ALL", kLog);
        if (c.target_mode != 0) {
            dir.write_file(c.target, "not to be touched");
            ::chmod(dir.file(c.target).c_str(), c.target_mode);
        }
        ASSERT_EQ(::symlink(dir.file(c.target).c_str(), dir.file("c.hx").c_str()), 0);
        Tsnapshot want = snapshot(dir.path());
        if (c.want.result > 0) want["c.hx"] = file_entry(0644, report);

        EXPECT_EQ(run(log), c.want);
        EXPECT_EQ(snapshot(dir.path()), want);
    }
}

}  // namespace
}  // namespace hx::fault
