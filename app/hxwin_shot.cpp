// hxwin_shot OUT.png LOG: draws the window offscreen after a Run on a copy of
// LOG (so no report lands next to LOG) and saves it as a PNG image. Used to
// make the screenshot of the documentation: docs/hxwin.png.
//
// The title bar belongs to the window manager, which the offscreen platform
// does not have; a plain caption strip with the window's title stands in for
// it, so that the picture shows every text of the window.
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
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
    const QPixmap client = window.grab();
    const QFontMetrics caption_metrics(window.font());
    const int caption_height = caption_metrics.height() + 8;
    QPixmap shot(client.width(), caption_height + client.height());
    shot.fill(window.palette().color(QPalette::Highlight));
    {
        QPainter painter(&shot);
        painter.setFont(window.font());
        painter.setPen(window.palette().color(QPalette::HighlightedText));
        painter.drawText(QRect(6, 0, client.width() - 12, caption_height),
                         Qt::AlignLeft | Qt::AlignVCenter, window.windowTitle());
        painter.drawPixmap(0, caption_height, client);
    }
    if (!shot.save(QFile::decodeName(argv[1]), "PNG")) {
        std::fprintf(stderr, "hxwin_shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
