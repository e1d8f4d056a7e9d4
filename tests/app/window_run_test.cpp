// The Run command: what the window shows for each kind of log, the report it
// leaves, and an error raised while the run reads or writes a file.
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "app_fixture.h"

using namespace Qt::Literals::StringLiterals;

namespace hx::test {
namespace {

using Trun_test = Twindow_test;

TEST_F(Trun_test, ShowsTheTypeAndCountOfEachKindOfLog) {
    struct Tcase {
        const char* name;
        const char* file;  // in the test folder, one base name per case: the report is <base>.hx
        const std::string* bytes;  // nullptr: the file does not exist
        bool report_is_folder;
        QString lbl_type;
        QString lbl_work;
        bool report_written;
    };
    const std::string no_identifying_line = "2008/01/05 21:02 JA1ABC\r\n";
    const Tcase cases[] = {
        {"ALL log", "all.ALL", &kAllLog, false, u"MIVO (ALL)"_s, u"データ数＝ 3"_s, true},
        {"Cabrillo log", "cabrillo.cbr", &kCabrilloLog, false, u"Cabrilo"_s, u"データ数＝ 2"_s, true},
        {"TXT listing, never counted", "listing.txt", &kTxtLog, false, u"MIVO (TXT)"_s,
         u"データ数＝ 0"_s, false},
        {"missing file", "missing.ALL", nullptr, false, u"Unknown"_s, u"処理に失敗しました"_s, false},
        {"no identifying line", "plain.ALL", &no_identifying_line, false, u"Unknown"_s,
         u"処理に失敗しました"_s, false},
        {"report cannot be created", "blocked.ALL", &kAllLog, true, u"MIVO (ALL)"_s,
         u"データ数＝ -1"_s, false},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string log = dir.file(c.file);
        const std::string report = log.substr(0, log.size() - 4) + ".hx";
        if (c.bytes) write_file(log, *c.bytes);
        if (c.report_is_folder) {
            ASSERT_EQ(::mkdir(report.c_str(), 0700), 0);
        }

        SetUp();
        open_window({log});
        click("btn_run");

        EXPECT_EQ(text("lbl_type"), c.lbl_type);
        EXPECT_EQ(text("lbl_work"), c.lbl_work);
        EXPECT_TRUE(script.shown.empty());
        struct stat st {};
        const bool report_file = ::stat(report.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        EXPECT_EQ(report_file, c.report_written);
    }
}

TEST_F(Trun_test, RunsAgainWithTheSameShiftAndTheShiftReachesTheRun) {
    const std::string log = dir.write_file("contest.ALL", kAllLog);
    open_window({log});
    click("btn_run");
    const std::string unshifted = dir.read_file("contest.hx");

    script.answer_input(u"-2"_s);
    trigger("Ntime");
    click("btn_run");
    const std::string first = dir.read_file("contest.hx");
    trigger("run1");
    const std::string second = dir.read_file("contest.hx");

    EXPECT_NE(first, unshifted) << "the shift moves the charts";
    EXPECT_TRUE(same_bytes(first, second));
    EXPECT_EQ(text("lbl_work"), u"データ数＝ 3"_s);
    EXPECT_EQ(time_shift, -2);
}

// Makes every file write of this process beyond `bytes` fail (EFBIG), as a
// full disk would; restores the limit when it goes.
class Tfile_size_limit {
public:
    explicit Tfile_size_limit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);  // else the signal ends the process
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~Tfile_size_limit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_handler_);
    }

private:
    rlimit saved_{};
    void (*old_handler_)(int) = nullptr;
};

TEST_F(Trun_test, AnErrorDuringTheRunIsShownAndTheWindowStaysUsable) {
    const std::string log = dir.write_file("contest.ALL", kAllLog);
    open_window({log});
    {
        const Tfile_size_limit disk_full(16);
        click("btn_run");
    }

    ASSERT_EQ(script.shown.size(), 1u);
    const auto& box = script.shown.front();
    EXPECT_EQ(box.kind, Tkind::error);
    EXPECT_EQ(box.title, u"HX for Windows"_s);
    EXPECT_TRUE(box.text.contains(QString::fromStdString(dir.path()))) << box.text.toStdString();
    EXPECT_EQ(box.buttons, QStringList{u"OK"_s});
    EXPECT_EQ(text("lbl_work"), u"集計開始"_s) << "the command ended inside the run";
    EXPECT_EQ(text("lbl_type"), u""_s);

    EXPECT_TRUE(window->isVisible());
    click("btn_run");
    EXPECT_EQ(text("lbl_type"), u"MIVO (ALL)"_s);
    EXPECT_EQ(text("lbl_work"), u"データ数＝ 3"_s);
    EXPECT_EQ(script.shown.size(), 1u);
}

}  // namespace
}  // namespace hx::test
