// Module u_main: the program's start and its one window, frm_main, with the
// commands Open, Run, TIME Shift, Version and Exit and the time shift that
// lasts as long as the process.
#pragma once

#include <QMainWindow>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "time_shift.h"
#include "toolkit.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;

namespace hx {

// Hours handed to every run; always within -24..24. Set to 0 at start and by
// every Open; only TIME Shift sets another value.
extern std::int32_t time_shift;


// The main window. Component members carry the names of the window's design,
// and each widget has its member's name as object name.
class Tfrm_main : public QMainWindow {
    Q_OBJECT

public:
    // Builds the window and runs FormCreate with the process arguments, the
    // program name not included.
    explicit Tfrm_main(std::vector<std::string> args, QWidget* parent = nullptr);

    // Command handlers. The window runs each inside the default error handler.
    void btn_openClick();  // Open
    void btn_runClick();   // Run
    void Open1Click();
    void run1Click();
    void Exit1Click();  // Exit
    void verClick();    // Version
    void NtimeClick();  // TIME Shift

private:
    void FormCreate();
    void set_work(const QString& text);  // lbl_work sizes itself to its text

    std::vector<std::string> args_;

    QWidget* client = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lbl_file = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lbl_type = nullptr;
    QLabel* lbl_work = nullptr;
    QPushButton* btn_open = nullptr;
    QPushButton* btn_run = nullptr;
    QPushButton* BitBtn1 = nullptr;
    tk::Tdlg_open dlg_open;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* run1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Env1 = nullptr;
    QAction* Ntime = nullptr;
    QMenu* N2 = nullptr;
    QAction* ver = nullptr;
};

// The program's single window while hxwin_main runs; nullptr otherwise.
extern Tfrm_main* frm_main;

// The program: the application object, frm_main made from the arguments, and
// the message loop until the window closes. Returns the process exit code.
int hxwin_main(int argc, char** argv);

}  // namespace hx
