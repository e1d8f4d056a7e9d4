// The commands TIME Shift, Version and Exit, and the input box they show.
#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <optional>

#include "app_fixture.h"

using namespace Qt::Literals::StringLiterals;

namespace hx::test {
namespace {

using Tcommand_test = Twindow_test;

TEST_F(Tcommand_test, TimeShiftAsksWithItsOwnBoxAndKeepsTheAnswer) {
    open_window();
    struct Tstep {
        const char* name;
        std::optional<QString> answer;  // nullopt: the box is cancelled
        std::int32_t shift;
    };
    const Tstep steps[] = {
        {"a number", u"-5"_s, -5},
        {"blanks around a sign", u" +24 "_s, 24},
        {"cancelled", std::nullopt, 0},
        {"full-width digits stay what they are", u"－３"_s, 0},
        {"the edit is read as typed", u"12h"_s, 12},
        {"out of range", u"25"_s, 0},
    };
    for (const Tstep& s : steps) {
        SCOPED_TRACE(s.name);
        s.answer ? script.answer_input(*s.answer) : script.cancel_input();
        trigger("Ntime");
        EXPECT_EQ(time_shift, s.shift);

        const auto& box = script.shown.back();
        EXPECT_EQ(box.kind, Tkind::input);
        EXPECT_EQ(box.title, u"TIME Shift "_s);
        EXPECT_EQ(box.text, u"早めるときは「－」遅らすときは「＋」"_s);
        EXPECT_EQ(box.start_text, u"0"_s) << "never the current shift";
        EXPECT_EQ(box.buttons, (QStringList{u"OK"_s, u"キャンセル"_s}));
    }
    EXPECT_EQ(script.count(Tkind::input), std::size(steps)) << "no other box is shown";
}

TEST_F(Tcommand_test, VersionShowsTheVersionText) {
    open_window();
    trigger("ver");
    ASSERT_EQ(script.shown.size(), 1u);
    EXPECT_EQ(script.shown.front().kind, Tkind::message);
    EXPECT_EQ(script.shown.front().title, u"HX for Windows"_s);
    EXPECT_EQ(script.shown.front().text, u"HX for Windows Ver4.0  6 Jan. 2008"_s);
    EXPECT_FALSE(script.shown.front().has_icon);
    EXPECT_EQ(script.shown.front().buttons, QStringList{u"OK"_s});
}

TEST_F(Tcommand_test, EveryWayToExitClosesTheWindowWithoutAsking) {
    struct Tcase {
        const char* name;
        std::function<void()> exit;
    };
    const Tcase cases[] = {
        {"menu item Exit1", [this] { trigger("Exit1"); }},
        {"close button BitBtn1", [this] { click("BitBtn1"); }},
        {"the window's close box", [this] { window->windowHandle()->close(); }},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        open_window({dir.write_file("contest.ALL", kAllLog)});
        // The loop runs for real: closing the window has to end it. A window
        // that stays open must not hang the test, hence the time limit.
        QTimer::singleShot(0, window.get(), c.exit);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        limit.start(5000);
        EXPECT_EQ(QApplication::exec(), 0) << "the message loop ends with the window";
        limit.stop();

        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(script.shown.empty());
    }
}

}  // namespace
}  // namespace hx::test
