// Module u_main: the main window frm_main, its commands and the program start.
#include "u_main.h"

#include <QAction>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "hx_util2.h"
#include "u_hx300.h"

using namespace Qt::Literals::StringLiterals;

namespace hx {

std::int32_t time_shift = 0;
Tfrm_main* frm_main = nullptr;

namespace {

// Client area of the design, under the menu bar, at 96 pixels per inch.
constexpr int kClientWidth = 335;
constexpr int kClientHeight = 214;

QString from_bytes(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

QString type_text(Tlog_type type) {
    switch (type) {
    case lt_all: return u"MIVO (ALL)"_s;
    case lt_cabrillo: return u"Cabrilo"_s;
    case lt_txt: return u"MIVO (TXT)"_s;
    default: return u"Unknown"_s;
    }
}

// A label that sizes itself to its text, as every label of the window does
// except the two display fields.
QLabel* make_label(QWidget* parent, const char* name, const QString& text, QPoint place) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->move(place);
    label->adjustSize();
    return label;
}

// A fixed-size display field on the button-highlight colour; a longer text is
// cut off at its right edge.
QLabel* make_field(QWidget* parent, const char* name, QRect place) {
    QLabel* field = make_label(parent, name, {}, place.topLeft());
    field->setGeometry(place);
    field->setAutoFillBackground(true);
    field->setBackgroundRole(QPalette::Light);
    // The field is as high as the design's font. A stand-in font with a taller
    // line (IPAPGothic: 13 pixels at 12, the extra one above the capitals) is
    // aligned by its bottom, so what is cut is blank space, not descenders.
    field->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    return field;
}

QPushButton* make_button(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setGeometry(place);
    return button;
}

QAction* make_item(QMenu* menu, const char* name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

}  // namespace

Tfrm_main::Tfrm_main(std::vector<std::string> args, QWidget* parent)
    : QMainWindow(parent),
      args_(std::move(args)),
      dlg_open(u"ALLファイル|*.ALL|Cabrillo ファイル|*.cbr|全てのファイル|*.*"_s) {
    setObjectName(u"frm_main"_s);
    setWindowTitle(u"HX for Windows"_s);
    tk::install_font_substitutes();
    setFont(tk::form_font(u"ＭＳ Ｐゴシック"_s, 12));

    client = new QWidget(this);
    client->setObjectName(u"client"_s);
    setCentralWidget(client);

    // A one-pixel separator line in the shadow colour under the menu bar.
    Bevel1 = new QFrame(client);
    Bevel1->setObjectName(u"Bevel1"_s);
    Bevel1->setFrameShape(QFrame::NoFrame);
    Bevel1->setAutoFillBackground(true);
    Bevel1->setBackgroundRole(QPalette::Dark);
    Bevel1->setGeometry(0, 0, kClientWidth, 1);
    tk::anchor_left_right(Bevel1, 0);

    Label2 = make_label(client, "Label2", u"LOG File Name"_s, {56, 24});
    lbl_file = make_field(client, "lbl_file", {16, 48, 297, 12});
    Label3 = make_label(client, "Label3", u"LOG Type"_s, {56, 72});
    lbl_type = make_field(client, "lbl_type", {16, 88, 297, 12});
    lbl_work = make_label(client, "lbl_work", {}, {136, 112});

    btn_open = make_button(client, "btn_open", u"開く"_s, {24, 144, 73, 41});
    btn_run = make_button(client, "btn_run", u"実行"_s, {136, 144, 73, 41});
    btn_run->setEnabled(false);
    BitBtn1 = make_button(client, "BitBtn1", u"閉じる(&C)"_s, {240, 144, 81, 41});
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    setTabOrder(btn_open, btn_run);
    setTabOrder(btn_run, BitBtn1);

    MainMenu1 = menuBar();
    MainMenu1->setObjectName(u"MainMenu1"_s);
    // The menu bar belongs to the window: the client area is measured under it.
    MainMenu1->setNativeMenuBar(false);
    File1 = MainMenu1->addMenu(u"ファイル(&F)"_s);
    File1->setObjectName(u"File1"_s);
    Open1 = make_item(File1, "Open1", u"開く(&O)"_s);
    run1 = make_item(File1, "run1", u"実行(&R)"_s);
    N1 = File1->addSeparator();
    N1->setObjectName(u"N1"_s);
    Exit1 = make_item(File1, "Exit1", u"終了(&X)"_s);
    Env1 = MainMenu1->addMenu(u"Config"_s);
    Env1->setObjectName(u"Env1"_s);
    Ntime = make_item(Env1, "Ntime", u"TIME Shift"_s);
    N2 = MainMenu1->addMenu(u"help(&H)"_s);
    N2->setObjectName(u"N2"_s);
    ver = make_item(N2, "ver", u"バージョン"_s);

    tk::on_click(btn_open, [this] { btn_openClick(); });
    tk::on_click(btn_run, [this] { btn_runClick(); });
    tk::on_click(BitBtn1, [this] { close(); });
    tk::on_click(Open1, [this] { Open1Click(); });
    tk::on_click(run1, [this] { run1Click(); });
    tk::on_click(Exit1, [this] { Exit1Click(); });
    tk::on_click(Ntime, [this] { NtimeClick(); });
    tk::on_click(ver, [this] { verClick(); });

    move(192, 107);
    resize(kClientWidth, MainMenu1->sizeHint().height() + kClientHeight);

    tk::run_handler([this] { FormCreate(); });
}

void Tfrm_main::FormCreate() {
    if (args_.size() == 1) {
        log_path = args_.front();
        lbl_file->setText(from_bytes(file_name_of(log_path)));
        btn_run->setEnabled(true);
    }
    time_shift = 0;
}

void Tfrm_main::set_work(const QString& text) {
    lbl_work->setText(text);
    lbl_work->adjustSize();
}

void Tfrm_main::btn_openClick() {
    if (dlg_open.execute(this)) lbl_file->setText(from_bytes(file_name_of(dlg_open.file_name())));
    // Confirmed or cancelled, the dialog's name is the log from now on: after
    // a cancel that is the name last confirmed, or none.
    log_path = dlg_open.file_name();
    btn_run->setEnabled(true);
    lbl_type->clear();
    set_work({});
    time_shift = 0;
}

void Tfrm_main::btn_runClick() {
    if (log_path.empty()) {
        tk::show_message(u"ファイルを指定してください"_s);
        return;
    }
    set_work(u"集計開始"_s);
    std::int32_t run_type = 0;  // filled by the run, never read: the type shown is asked anew
    const std::int32_t count = break_down(log_path, run_type, time_shift);
    const Tlog_type type = check_log_type(log_path);
    lbl_type->setText(type_text(type));
    set_work(type == lt_unknown ? u"処理に失敗しました"_s
                                : u"データ数＝ "_s + QString::number(count));
}

void Tfrm_main::Open1Click() { btn_openClick(); }

void Tfrm_main::run1Click() { btn_runClick(); }

void Tfrm_main::Exit1Click() { close(); }

void Tfrm_main::verClick() { tk::show_message(u"HX for Windows Ver4.0  6 Jan. 2008"_s); }

void Tfrm_main::NtimeClick() {
    const QString answer = tk::input_box(u"TIME Shift "_s,
                                         u"早めるときは「－」遅らすときは「＋」"_s, u"0"_s);
    time_shift = time_shift_from_answer(answer.toLocal8Bit().toStdString());
}

int hxwin_main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    tk::Tapplication app(argc > 0 && argv[0] ? argv[0] : "hxwin");
    Tfrm_main window(std::move(args));
    frm_main = &window;
    window.show();
    const int code = app.run();
    frm_main = nullptr;
    return code;
}

}  // namespace hx
