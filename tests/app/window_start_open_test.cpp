// The window at start (the command-line rule) and the Open command.
#include "app_fixture.h"

using namespace Qt::Literals::StringLiterals;

namespace hx::test {
namespace {

using Tstart_test = Twindow_test;
using Topen_test = Twindow_test;

TEST_F(Tstart_test, OnlyASingleArgumentChoosesTheLog) {
    struct Tcase {
        const char* name;
        std::vector<std::string> args;
        std::string log_path;
        QString lbl_file;
    };
    const Tcase cases[] = {
        {"no argument", {}, "", u""_s},
        {"one absolute path", {"/logs/contest.ALL"}, "/logs/contest.ALL", u"contest.ALL"_s},
        {"a relative path stays relative", {"logs/contest.ALL"}, "logs/contest.ALL", u"contest.ALL"_s},
        {"a quoted path with a blank is one argument", {"/my logs/a b.ALL"}, "/my logs/a b.ALL",
         u"a b.ALL"_s},
        {"Japanese file name", {"/logs/\xE3\x83\xAD\xE3\x82\xB0.ALL"},
         "/logs/\xE3\x83\xAD\xE3\x82\xB0.ALL", u"ログ.ALL"_s},
        {"two arguments: an unquoted path with a blank", {"/my", "logs.ALL"}, "", u""_s},
        {"three arguments", {"a.ALL", "b.ALL", "c.ALL"}, "", u""_s},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        open_window(c.args);
        EXPECT_EQ(window->windowTitle(), u"HX for Windows"_s);
        EXPECT_EQ(log_path, c.log_path);
        EXPECT_EQ(text("lbl_file"), c.lbl_file);
        EXPECT_EQ(find<QPushButton>("btn_run")->isEnabled(), !c.log_path.empty());
        EXPECT_EQ(text("lbl_type"), u""_s);
        EXPECT_EQ(text("lbl_work"), u""_s);
        EXPECT_EQ(time_shift, 0);
    }
}

TEST_F(Tstart_test, RunWithoutALogAsksForAFileAndChangesNothing) {
    open_window();
    trigger("run1");  // the menu item is enabled while the button is not
    ASSERT_EQ(script.shown.size(), 1u);
    const auto& box = script.shown.front();
    EXPECT_EQ(box.kind, Tkind::message);
    EXPECT_EQ(box.title, u"HX for Windows"_s);
    EXPECT_EQ(box.text, u"ファイルを指定してください"_s);
    EXPECT_FALSE(box.has_icon);
    EXPECT_EQ(box.buttons, QStringList{u"OK"_s});
    EXPECT_EQ(text("lbl_type"), u""_s);
    EXPECT_EQ(text("lbl_work"), u""_s);
    EXPECT_FALSE(find<QPushButton>("btn_run")->isEnabled());
}

TEST_F(Topen_test, ConfirmedChoosesTheLogAndClearsTheResult) {
    const std::string log = dir.write_file("contest.ALL", kAllLog);
    const std::string other = dir.write_file("other.ALL", kAllLog);
    open_window({log});
    click("btn_run");
    ASSERT_EQ(text("lbl_type"), u"MIVO (ALL)"_s);
    script.answer_input(u"-3"_s);
    trigger("Ntime");
    ASSERT_EQ(time_shift, -3);

    script.answer_open(other);
    click("btn_open");

    const auto& dialog = script.shown.back();
    EXPECT_EQ(dialog.kind, Tkind::open);
    EXPECT_EQ(dialog.name_filters, (QStringList{u"ALLファイル (*.ALL)"_s, u"Cabrillo ファイル (*.cbr)"_s,
                                                u"全てのファイル (*)"_s}));
    EXPECT_EQ(dialog.selected_filter, u"ALLファイル (*.ALL)"_s);
    EXPECT_EQ(dialog.start_text, u""_s) << "nothing confirmed yet; the argument is not the dialog's";
    EXPECT_EQ(log_path, other);
    EXPECT_EQ(text("lbl_file"), u"other.ALL"_s);
    EXPECT_EQ(text("lbl_type"), u""_s);
    EXPECT_EQ(text("lbl_work"), u""_s);
    EXPECT_EQ(time_shift, 0);
}

TEST_F(Topen_test, CancelledWithNothingConfirmedLeavesNoLog) {
    open_window({dir.write_file("contest.ALL", kAllLog)});
    script.cancel_open();
    click("btn_open");

    EXPECT_EQ(log_path, "");
    EXPECT_EQ(text("lbl_file"), u"contest.ALL"_s) << "the file name is never emptied";
    EXPECT_TRUE(find<QPushButton>("btn_run")->isEnabled());
    EXPECT_EQ(time_shift, 0);

    click("btn_run");
    ASSERT_NE(script.last(), nullptr);
    EXPECT_EQ(script.last()->text, u"ファイルを指定してください"_s);
    EXPECT_EQ(text("lbl_work"), u""_s);
}

TEST_F(Topen_test, CancelledAfterAConfirmationTakesTheConfirmedName) {
    const std::string a = dir.write_file("a.ALL", kAllLog);
    const std::string b = dir.write_file("b.cbr", kCabrilloLog);
    open_window();
    script.answer_open(a);
    trigger("Open1");
    script.answer_open(b);
    trigger("Open1");
    click("btn_run");
    ASSERT_EQ(text("lbl_type"), u"Cabrilo"_s);
    script.answer_input(u"5"_s);
    trigger("Ntime");

    script.cancel_open();
    trigger("Open1");

    EXPECT_EQ(script.shown.back().start_text, QString::fromStdString(b)) << "opens at the last name";
    EXPECT_EQ(log_path, b);
    EXPECT_EQ(text("lbl_file"), u"b.cbr"_s);
    EXPECT_EQ(text("lbl_type"), u""_s);
    EXPECT_EQ(text("lbl_work"), u""_s);
    EXPECT_EQ(time_shift, 0);
}

}  // namespace
}  // namespace hx::test
