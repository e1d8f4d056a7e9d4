// The toolkit layer on its own: the default error handler, the filter
// mapping, and the real (unscripted) input box and open-file dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <stdexcept>

#include "hx_util2.h"
#include "testsupport.h"
#include "toolkit.h"

using namespace Qt::Literals::StringLiterals;
using hx::tk::Tmodal_script;

namespace {

TEST(DefaultErrorHandler, ShowsWhatEscapesAHandlerInTheErrorBox) {
    struct Tcase {
        const char* name;
        std::function<void()> handler;
        bool completes;
        QString shown;
    };
    const Tcase cases[] = {
        {"handler that returns", [] {}, true, {}},
        {"input/output error", [] { throw hx::Thx_io_error("/logs/contest.hx: No space left on device"); },
         false, u"/logs/contest.hx: No space left on device"_s},
        {"any standard exception", [] { throw std::bad_alloc(); }, false, u"std::bad_alloc"_s},
        {"not a standard exception", [] { throw 42; }, false, u"Unknown error"_s},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        Tmodal_script script;
        EXPECT_EQ(hx::tk::run_handler(c.handler), c.completes);
        if (c.completes) {
            EXPECT_TRUE(script.shown.empty());
            continue;
        }
        ASSERT_EQ(script.shown.size(), 1u);
        const Tmodal_script::Tshown& box = script.shown.front();
        EXPECT_EQ(box.kind, Tmodal_script::Tkind::error);
        EXPECT_EQ(box.title, u"HX for Windows"_s);
        EXPECT_EQ(box.text, c.shown);
        EXPECT_TRUE(box.has_icon);
        EXPECT_EQ(box.buttons, QStringList{u"OK"_s});
    }
}

TEST(DefaultErrorHandler, StopsAnExceptionBeforeItReachesQt) {
    Tmodal_script script;
    QPushButton button;
    int runs = 0;
    hx::tk::on_click(&button, [&] {
        ++runs;
        throw hx::Thx_io_error("read failed");
    });
    button.click();  // an exception crossing Qt's signal code would end the test program
    button.click();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(script.count(Tmodal_script::Tkind::error), 2u);
}

TEST(OpenDialogFilter, BecomesQtNameFilters) {
    struct Tcase {
        const char* name;
        QString filter;
        QStringList expected;
    };
    const Tcase cases[] = {
        {"the window's filter, *.* meaning every file",
         u"ALLファイル|*.ALL|Cabrillo ファイル|*.cbr|全てのファイル|*.*"_s,
         {u"ALLファイル (*.ALL)"_s, u"Cabrillo ファイル (*.cbr)"_s, u"全てのファイル (*)"_s}},
        {"several patterns in one entry", u"Logs|*.ALL;*.cbr"_s, {u"Logs (*.ALL;*.cbr)"_s}},
        {"a name without pattern is dropped", u"Logs|*.ALL|Rest"_s, {u"Logs (*.ALL)"_s}},
        {"empty filter", QString(), {}},
    };
    for (const Tcase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hx::tk::qt_name_filters(c.filter), c.expected);
    }
}

// Runs `act` on the modal window once it is up, so that the real modal code
// path runs; a second timer closes any modal left open, so a fault cannot hang.
void when_modal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, qApp, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
    QTimer::singleShot(5000, qApp, [] {
        while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
}

TEST(RealModals, InputBoxReturnsTheTypedTextOrItsStartText) {
    when_modal([](QWidget* box) {
        box->findChild<QLineEdit*>(u"edit"_s)->setText(u"-7"_s);
        for (QPushButton* b : box->findChildren<QPushButton*>())
            if (b->text() == u"OK"_s) b->click();
    });
    EXPECT_EQ(hx::tk::input_box(u"TIME Shift "_s, u"prompt"_s, u"0"_s), u"-7"_s);

    when_modal([](QWidget* box) {
        box->findChild<QLineEdit*>(u"edit"_s)->setText(u"-7"_s);
        box->close();
    });
    EXPECT_EQ(hx::tk::input_box(u"TIME Shift "_s, u"prompt"_s, u"0"_s), u"0"_s);
}

TEST(RealModals, OpenDialogAcceptsANameThatDoesNotExist) {
    hx::test::Ttemp_dir dir;
    const std::string missing = dir.file("not-yet.ALL");
    hx::tk::Tdlg_open dlg_open(u"ALLファイル|*.ALL"_s);
    when_modal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(QString::fromStdString(missing));
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, through the public base
    });
    EXPECT_TRUE(dlg_open.execute(nullptr));
    EXPECT_EQ(dlg_open.file_name(), missing);

    when_modal([](QWidget* modal) { modal->close(); });
    EXPECT_FALSE(dlg_open.execute(nullptr));
    EXPECT_EQ(dlg_open.file_name(), missing) << "a cancel keeps the name last confirmed";
}

}  // namespace
