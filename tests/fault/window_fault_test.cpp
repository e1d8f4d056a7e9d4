// A write that fails half-way under the window: the Run command ends in the
// error box naming the report, the log and the earlier report are as they
// were, no temporary file is left, and the window runs again afterwards.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "fault_support.h"
#include "testsupport.h"
#include "toolkit.h"
#include "u_main.h"

using namespace Qt::Literals::StringLiterals;

namespace hx::fault {
namespace {

// Every file write of this process beyond `bytes` fails with EFBIG (SIGXFSZ
// ignored) while the object lives.
class Tfile_size_limit {
public:
    explicit Tfile_size_limit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        old_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~Tfile_size_limit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_);
    }
    Tfile_size_limit(const Tfile_size_limit&) = delete;
    Tfile_size_limit& operator=(const Tfile_size_limit&) = delete;

private:
    rlimit saved_{};
    void (*old_)(int) = nullptr;
};

TEST(FaultWindow, FailedWriteShowsTheErrorBoxKeepsTheEarlierReportAndStaysUsable) {
    const mode_t old_umask = ::umask(022);
    tk::Tapplication app("fault_window_tests");
    tk::Tmodal_script script;
    test::Ttemp_dir dir;
    const std::string log =
        dir.write_file("c.ALL", all_log({all_line("2008/01/05", "21:02", "3.5"), all_line("2008/01/05", "22:04")}));
    dir.write_file("c.hx", "earlier report\r\n");
    const Tsnapshot before = snapshot(dir.path());

    Tfrm_main window({log});
    window.show();
    auto* run_button = window.findChild<QPushButton*>(u"btn_run"_s);
    auto* lbl_type = window.findChild<QLabel*>(u"lbl_type"_s);
    auto* lbl_work = window.findChild<QLabel*>(u"lbl_work"_s);
    ASSERT_TRUE(run_button && lbl_type && lbl_work);
    {
        const Tfile_size_limit disk_full(100);
        run_button->click();
    }
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown[0].kind, tk::Tmodal_script::Tkind::error);
    EXPECT_EQ(script.shown[0].title, u"HX for Windows"_s);
    EXPECT_EQ(script.shown[0].text.toStdString(), "cannot write " + dir.file("c.hx") + ": File too large");
    EXPECT_EQ(lbl_work->text(), u"集計開始"_s);
    EXPECT_EQ(lbl_type->text(), u""_s);
    EXPECT_EQ(snapshot(dir.path()), before);

    run_button->click();
    EXPECT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(lbl_type->text(), u"MIVO (ALL)"_s);
    EXPECT_EQ(lbl_work->text(), u"データ数＝ 2"_s);
    Tsnapshot after = before;
    after["c.hx"] = file_entry(0644, report_of("c.ALL", test::read_file(log)));
    EXPECT_EQ(snapshot(dir.path()), after);
    ::umask(old_umask);
}

}  // namespace
}  // namespace hx::fault
