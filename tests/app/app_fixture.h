// Ground of the window tests: a fresh window per test, widgets found by object
// name, every modal answered by a script, and small logs of each kind.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "hx_util2.h"
#include "testsupport.h"
#include "toolkit.h"
#include "u_main.h"

namespace hx::test {

using Tkind = tk::Tmodal_script::Tkind;

// Three QSO lines of a Mivo ALL file (marks in columns 55 and 61, band in 67).
inline const std::string kAllLog =
    "Mivo for Windows \r\n"
    "2008/01/05 21:02 7K1JQP       599         599 22M     -     -     3.5  CW\r\n"
    "2008/01/05 21:03 JF2JTC       599         599 08M     *     -     7    CW\r\n"
    "2008/01/05 22:04 JK3NFY       599         599 22M     -     *     7    CW\r\n";

// Two QSO lines of a Cabrillo file.
inline const std::string kCabrilloLog =
    "START-OF-LOG: 3.0\r\n"
    "CALLSIGN: JA9XXZ\r\n"
    "QSO:  7012 CW 2008-01-06 2100 JA9XXZ        599 10     JO1YFH        599 05M\r\n"
    "QSO: 21030 CW 2008-01-06 2205 JA9XXZ        599 10     JE7ZZT        599 33M\r\n"
    "END-OF-LOG:\r\n";

// A Mivo TXT listing: recognised, never counted.
inline const std::string kTxtLog =
    "  mon day time  MHz mode callsign    sent   rcvd   multi\n"
    "   01  05 2103  3.5 CW   JA1ABC       599    599   12M\n";

class Twindow_test : public ::testing::Test {
protected:
    // log_path and time_shift live as long as the process; each test starts
    // from the values a fresh process has (a stale shift shows as 99).
    void SetUp() override {
        log_path.clear();
        time_shift = 99;
    }
    void TearDown() override { window.reset(); }

    Tfrm_main& open_window(std::vector<std::string> args = {}) {
        window = std::make_unique<Tfrm_main>(std::move(args));
        window->show();
        return *window;
    }

    template <class T>
    T* find(const char* name) const {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) ADD_FAILURE() << "no " << name << " in the window";
        return widget;
    }
    QString text(const char* label) const { return find<QLabel>(label)->text(); }
    void click(const char* button) const { find<QPushButton>(button)->click(); }
    void trigger(const char* item) const { find<QAction>(item)->trigger(); }

    tk::Tmodal_script script;  // no modal loop ever runs in a test
    Ttemp_dir dir;
    std::unique_ptr<Tfrm_main> window;
};

}  // namespace hx::test
