// Faults around the files of a run: the log changing between detection and
// the count, logs that are no readable regular file, reports that cannot be
// created, and a write that fails half-way. Every case checks the exact
// outcome and that the folder holds exactly what it should afterwards: the log
// as it was, the earlier report untouched or correctly replaced, no temporary
// file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>

#include "fault_support.h"
#include "testsupport.h"
#include "u_hx300.h"

namespace hx::fault {
namespace {

using test::Ttemp_dir;

const std::string kLog = all_log({all_line("2008/01/05", "21:02", "3.5"), all_line("2008/01/05", "21:03", "7  "),
                                  all_line("2008/01/05", "22:04", "7  ")});
const std::string kEarlier = "earlier report\r\n";

class Tfault : public ::testing::Test {
protected:
    void SetUp() override { umask_ = ::umask(022); }
    void TearDown() override {
        ::umask(umask_);
        hx::after_detection = nullptr;
    }
    Twatchdog watchdog;

private:
    mode_t umask_ = 022;
};

// The change a test makes between detection and the count; runs once.
std::function<void()> between;
void run_between() {
    hx::after_detection = nullptr;
    std::exchange(between, nullptr)();
}

using FaultBetweenDetectionAndRun = Tfault;

TEST_F(FaultBetweenDetectionAndRun, LogThatVanishesOrIsReplacedIsCountedAsItIsNow) {
    const std::string other = all_log({all_line("2008/01/06", "03:10", "14 "), all_line("2008/01/06", "04:20", "21 ")});
    const std::string first_qso = all_log({all_line("2008/01/05", "21:02", "3.5")});
    struct Tcase {
        const char* name;
        std::function<void(const Ttemp_dir&, const std::string& log)> change;
        Toutcome want;
        const std::string* now;  // the log as the change left it, when the run writes its report
    } cases[] = {
        {"deleted", [](auto&, auto& log) { ::unlink(log.c_str()); }, {-1, lt_all}, nullptr},
        {"replaced by a folder",
         [](auto&, auto& log) {
             ::unlink(log.c_str());
             ::mkdir(log.c_str(), 0755);
         },
         {-1, lt_all}, nullptr},
        {"replaced by a FIFO without writer",
         [](auto&, auto& log) {
             ::unlink(log.c_str());
             ::mkfifo(log.c_str(), 0644);
         },
         {-1, lt_all}, nullptr},
        {"replaced by a link to an endless device",
         [](auto&, auto& log) {
             ::unlink(log.c_str());
             ::symlink("/dev/zero", log.c_str());
         },
         {-1, lt_all}, nullptr},
        {"replaced by another ALL log",
         [&](auto& d, auto& log) { ::rename(d.write_file("new", other).c_str(), log.c_str()); }, {2, lt_all},
         &other},
        {"emptied in place", [](auto&, auto& log) { ::truncate(log.c_str(), 0); }, {0, lt_all}, nullptr},
        {"cut short in place", [&](auto&, auto& log) { ::truncate(log.c_str(), first_qso.size()); },
         {1, lt_all}, &first_qso},
        {"replaced by a Cabrillo log, read with the ALL columns",
         [](auto& d, auto& log) {
             ::rename(d.write_file("new", cabrillo_log({"QSO:  7012 CW 2008-01-06 2100 JA9XXZ 599 10 JA1ZZZ 599 20"}))
                          .c_str(),
                      log.c_str());
         },
         {0, lt_all}, nullptr},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        Ttemp_dir dir;
        const std::string log = dir.write_file("c.ALL", kLog);
        dir.write_file("c.hx", kEarlier);
        Tsnapshot changed;
        between = [&] {
            c.change(dir, log);
            changed = snapshot(dir.path());
        };
        hx::after_detection = run_between;

        EXPECT_EQ(run(log), c.want);
        ASSERT_FALSE(changed.empty()) << "the change ran";
        Tsnapshot want = changed;
        if (c.now != nullptr) want["c.hx"] = file_entry(0644, report_of("c.ALL", *c.now));
        EXPECT_EQ(snapshot(dir.path()), want);
    }
}

using FaultLogPath = Tfault;

TEST_F(FaultLogPath, AnythingButAReadableRegularFileIsNotCounted) {
    struct Tcase {
        const char* name;
        std::function<void(const Ttemp_dir&, const std::string& log)> make;
        bool as_nobody;
    } cases[] = {
        {"a folder", [](auto&, auto& log) { ::mkdir(log.c_str(), 0755); }, false},
        {"a FIFO without writer", [](auto&, auto& log) { ::mkfifo(log.c_str(), 0644); }, false},
        {"a link to an endless device", [](auto&, auto& log) { ::symlink("/dev/zero", log.c_str()); }, false},
        {"a dangling link", [](auto& d, auto& log) { ::symlink(d.file("gone.ALL").c_str(), log.c_str()); }, false},
        {"missing", [](auto&, auto&) {}, false},
        {"a file the user may not read",
         [](auto& d, auto& log) {
             d.write_file("c.ALL", kLog);
             ::chmod(log.c_str(), 0200);
             ::chmod(d.path().c_str(), 0755);
         },
         true},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        Ttemp_dir dir;
        const std::string log = dir.file("c.ALL");
        c.make(dir, log);
        dir.write_file("c.hx", kEarlier);
        const Tsnapshot before = snapshot(dir.path());

        const Toutcome got =
            c.as_nobody ? in_child({.as_nobody = true}, [&] { return run(log); }) : run(log);
        EXPECT_EQ(got, (Toutcome{0, -1}));
        EXPECT_EQ(snapshot(dir.path()), before);
    }
    // Root reads the same file: the refusal above came from the permission.
    if (::geteuid() == 0) {
        Ttemp_dir dir;
        const std::string log = dir.write_file("c.ALL", kLog);
        ::chmod(log.c_str(), 0200);
        EXPECT_EQ(run(log), (Toutcome{3, lt_all}));
    }
}

using FaultReportPath = Tfault;

// Makes the report step fail as `make` prepares the folder, with the run by
// the unprivileged user when `as_user`, and checks that nothing changed.
void expect_report_refused(const std::function<void(const Ttemp_dir&)>& make, bool as_user) {
    Ttemp_dir dir;
    const std::string log = dir.write_file("c.ALL", kLog);
    make(dir);
    const Tsnapshot before = snapshot(dir.path());

    const Toutcome got = as_user ? in_child({.as_nobody = true}, [&] { return run(log); }) : run(log);
    EXPECT_EQ(got, (Toutcome{-1, lt_all}));
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(FaultReportPath, ReportThatCannotBeCreatedLeavesEverythingAsItWas) {
    struct Tcase {
        const char* name;
        std::function<void(const Ttemp_dir&)> make;
        bool as_user;
    } cases[] = {
        {"report path is a folder",
         [](auto& d) {
             ::mkdir(d.file("c.hx").c_str(), 0755);
             d.write_file("c.hx/inside", "kept");
         },
         false},
        {"earlier report is read-only",
         [](auto& d) {
             d.write_file("c.hx", kEarlier);
             ::chmod(d.file("c.hx").c_str(), 0444);
         },
         false},
        {"folder not writable, no earlier report", [](auto& d) { ::chmod(d.path().c_str(), 0555); }, true},
        {"folder not writable, earlier report writable by the user",
         [](auto& d) {
             d.write_file("c.hx", kEarlier);
             give_to_unprivileged_user(d.file("c.hx"));
             ::chmod(d.path().c_str(), 0555);
         },
         true},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        expect_report_refused(c.make, c.as_user);
    }
}

TEST_F(FaultReportPath, ReportOfAnotherUserIsNeverReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make the files of two users";
    struct Tcase {
        const char* name;
        std::function<void(const Ttemp_dir&)> make;
    } cases[] = {
        {"read-only for the user, in the user's own folder",
         [](auto& d) {
             d.write_file("c.hx", kEarlier);
             give_to_unprivileged_user(d.path());
             ::chmod(d.path().c_str(), 0755);
         }},
        {"writable by all, in a sticky folder",
         [](auto& d) {
             d.write_file("c.hx", kEarlier);
             ::chmod(d.file("c.hx").c_str(), 0666);
             ::chmod(d.path().c_str(), 01777);
         }},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        expect_report_refused(c.make, true);
    }
}

using FaultWrite = Tfault;

TEST_F(FaultWrite, FailingHalfWayKeepsTheEarlierReportAndLeavesNoTemporaryFile) {
    const std::string report = report_of("c.ALL", kLog);
    ASSERT_GT(report.size(), 1000u);
    struct Tcase {
        const char* name;
        rlim_t limit;
        bool written;
    } cases[] = {
        {"no byte can be written", 0, false},
        {"a hundred bytes can be written", 100, false},
        {"all but the last byte can be written", report.size() - 1, false},
        {"exactly the report can be written", report.size(), true},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        Ttemp_dir dir;
        const std::string log = dir.write_file("c.ALL", kLog);
        dir.write_file("c.hx", kEarlier);
        Tsnapshot want = snapshot(dir.path());

        const Toutcome got = in_child({.file_size_limit = c.limit}, [&] { return run(log); });
        if (c.written) {
            EXPECT_EQ(got, (Toutcome{3, lt_all}));
            want["c.hx"] = file_entry(0644, report);
        } else {
            EXPECT_EQ(got, (Toutcome{Toutcome::kThrew, lt_all, "cannot write " + dir.file("c.hx") + ": File too large"}));
        }
        EXPECT_EQ(snapshot(dir.path()), want);
    }
}

}  // namespace
}  // namespace hx::fault
