// hxwin_shot OUT.png LOG: draws the window offscreen after a Run on a copy of
// LOG (so no report lands next to LOG) and saves it as a PNG image. Used to
// make the screenshot of the documentation: docs/hxwin.png.
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

#include "u_main.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hxwin_shot OUT.png LOG\n");
        return 2;
    }
    // Fixed rendering: no display needed, the layout's 96 pixels per inch.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI")) qputenv("QT_FONT_DPI", "96");

    hx::tk::Tapplication app(argv[0]);
    const QString log = QFile::decodeName(argv[2]);
    QTemporaryDir dir;
    const QString copy = dir.filePath(QFileInfo(log).fileName());
    if (!dir.isValid() || !QFile::copy(log, copy)) {
        std::fprintf(stderr, "hxwin_shot: cannot copy %s\n", argv[2]);
        return 1;
    }

    hx::Tfrm_main window({QFile::encodeName(copy).toStdString()});
    window.show();
    window.findChild<QPushButton*>(QStringLiteral("btn_run"))->click();
    QApplication::processEvents();
    if (!window.grab().save(QFile::decodeName(argv[1]), "PNG")) {
        std::fprintf(stderr, "hxwin_shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
