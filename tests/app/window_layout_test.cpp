// The window as designed: places and sizes at 96 pixels per inch, texts at
// start, the menu tree, and a font that has glyphs for every Japanese text.
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>
#include <QRawFont>

#include "app_fixture.h"

using namespace Qt::Literals::StringLiterals;

namespace hx::test {
namespace {

using Tlayout_test = Twindow_test;

TEST_F(Tlayout_test, ClientAreaUnderTheMenuBarHoldsEachComponentInPlace) {
    open_window();
    EXPECT_EQ(window->logicalDpiX(), 96);
    EXPECT_EQ(window->pos(), QPoint(192, 107));
    const QMenuBar* menu_bar = find<QMenuBar>("MainMenu1");
    EXPECT_EQ(menu_bar->geometry(), QRect(0, 0, 335, menu_bar->height()));
    EXPECT_EQ(window->centralWidget()->geometry(), QRect(0, menu_bar->height(), 335, 214));

    struct Tfixed {
        const char* name;
        QRect place;
        QString text;
    };
    const Tfixed fixed[] = {
        {"Bevel1", {0, 0, 335, 1}, {}},
        {"lbl_file", {16, 48, 297, 12}, u""_s},
        {"lbl_type", {16, 88, 297, 12}, u""_s},
        {"btn_open", {24, 144, 73, 41}, u"開く"_s},
        {"btn_run", {136, 144, 73, 41}, u"実行"_s},
        {"BitBtn1", {240, 144, 81, 41}, u"閉じる(&C)"_s},
    };
    for (const Tfixed& c : fixed) {
        SCOPED_TRACE(c.name);
        const QWidget* w = find<QWidget>(c.name);
        EXPECT_EQ(w->parentWidget(), window->centralWidget());
        EXPECT_EQ(w->geometry(), c.place);
        if (auto* label = qobject_cast<const QLabel*>(w)) {
            EXPECT_EQ(label->text(), c.text);
        } else if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
            EXPECT_EQ(button->text(), c.text);
        }
    }
    EXPECT_FALSE(find<QPushButton>("BitBtn1")->icon().isNull()) << "the stock close glyph";
    EXPECT_EQ(find<QWidget>("btn_open")->nextInFocusChain(), find<QWidget>("btn_run"));
    EXPECT_EQ(find<QWidget>("btn_run")->nextInFocusChain(), find<QWidget>("BitBtn1"));

    // Labels that size themselves to their text keep their place.
    struct Tsized {
        const char* name;
        QPoint place;
        QString text;
    };
    const Tsized sized[] = {
        {"Label2", {56, 24}, u"LOG File Name"_s},
        {"Label3", {56, 72}, u"LOG Type"_s},
        {"lbl_work", {136, 112}, u""_s},
    };
    for (const Tsized& c : sized) {
        SCOPED_TRACE(c.name);
        const QLabel* label = find<QLabel>(c.name);
        EXPECT_EQ(label->pos(), c.place);
        EXPECT_EQ(label->text(), c.text);
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(c.text));
    }
}

TEST_F(Tlayout_test, StatusLineGrowsWithItsTextAndOnlyTheBevelFollowsTheWidth) {
    open_window({dir.write_file("contest.ALL", kAllLog)});
    click("btn_run");
    const QLabel* work = find<QLabel>("lbl_work");
    EXPECT_EQ(work->pos(), QPoint(136, 112));
    EXPECT_GE(work->width(), work->fontMetrics().horizontalAdvance(u"データ数＝ 3"_s));

    window->resize(window->width() + 100, window->height() + 50);
    EXPECT_EQ(find<QWidget>("Bevel1")->geometry(), QRect(0, 0, 435, 1));
    EXPECT_EQ(find<QWidget>("lbl_file")->geometry(), QRect(16, 48, 297, 12));
    EXPECT_EQ(find<QWidget>("BitBtn1")->geometry(), QRect(240, 144, 81, 41));
}

TEST_F(Tlayout_test, MenuTreeAsDesigned) {
    open_window();
    auto captions = [](const QWidget* menu) {
        QStringList names;
        for (const QAction* a : menu->actions()) {
            names << (a->isSeparator() ? u"-"_s : a->text());
            EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
            EXPECT_TRUE(a->shortcut().isEmpty()) << a->text().toStdString();
        }
        return names;
    };
    EXPECT_EQ(captions(find<QMenuBar>("MainMenu1")),
              (QStringList{u"ファイル(&F)"_s, u"Config"_s, u"help(&H)"_s}));
    EXPECT_EQ(captions(find<QMenu>("File1")),
              (QStringList{u"開く(&O)"_s, u"実行(&R)"_s, u"-"_s, u"終了(&X)"_s}));
    EXPECT_EQ(captions(find<QMenu>("Env1")), QStringList{u"TIME Shift"_s});
    EXPECT_EQ(captions(find<QMenu>("N2")), QStringList{u"バージョン"_s});
    EXPECT_EQ(find<QMenu>("File1")->actions().at(2), find<QAction>("N1"));
}

TEST_F(Tlayout_test, JapaneseTextsHaveGlyphsInTheResolvedFont) {
    open_window();
    EXPECT_EQ(window->font().family(), u"ＭＳ Ｐゴシック"_s);
    EXPECT_EQ(window->font().pixelSize(), 12);

    const QString texts[] = {
        u"開く(&O)実行(&R)終了(&X)閉じる(&C)ファイル(&F)バージョン"_s,
        u"ALLファイルCabrillo ファイル全てのファイル"_s,
        u"ファイルを指定してください集計開始処理に失敗しましたデータ数＝ -0123456789"_s,
        u"早めるときは「－」遅らすときは「＋」キャンセル"_s,
    };
    // The label and button faces, a popup menu (a window of its own) and the
    // application font that dialogs and message boxes use.
    const QFont fonts[] = {find<QLabel>("lbl_work")->font(), find<QPushButton>("btn_open")->font(),
                           find<QMenu>("File1")->font(), QApplication::font()};
    for (const QFont& font : fonts) {
        const QString family = QFontInfo(font).family();
        SCOPED_TRACE(family.toStdString());
        const QRawFont raw = QRawFont::fromFont(font);
        ASSERT_TRUE(raw.isValid());
        for (const QString& text : texts) {
            for (const QChar ch : text) {
                if (ch == u'&' || ch == u' ') continue;
                EXPECT_TRUE(raw.supportsCharacter(ch)) << QString(ch).toStdString();
            }
        }
    }
}

}  // namespace
}  // namespace hx::test
