// Thin toolkit layer of hxwin: application object, default error handler,
// open-file dialog, input box and message boxes, each with its test seam.
#include "toolkit.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace hx::tk {

namespace {

Tmodal_script* g_script = nullptr;

// The Japanese Windows Gothic families, in their Japanese and Latin names.
const QStringList kWindowsGothic = {u"ＭＳ Ｐゴシック"_s, u"ＭＳ ゴシック"_s, u"MS PGothic"_s,
                                    u"MS Gothic"_s, u"MS UI Gothic"_s};
// Installed stand-ins, best first: IPAPGothic is the proportional Gothic
// closest in size and shape; the others cover the same characters.
const QStringList kJapaneseGothic = {u"IPAPGothic"_s,         u"IPAGothic"_s,
                                     u"IPAexGothic"_s,        u"VL PGothic"_s,
                                     u"VL Gothic"_s,          u"TakaoPGothic"_s,
                                     u"Noto Sans CJK JP"_s,   u"Noto Sans JP"_s,
                                     u"Source Han Sans JP"_s, u"Droid Sans Japanese"_s};

QStringList button_texts(const QWidget& parent) {
    QStringList texts;
    for (const QAbstractButton* b : parent.findChildren<QAbstractButton*>()) texts << b->text();
    return texts;
}

std::unique_ptr<QMessageBox> make_box(const QString& text, QMessageBox::Icon icon) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(app_title());
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setIcon(icon);
    box->addButton(u"OK"_s, QMessageBox::AcceptRole);
    return box;
}

void show_box(const QString& text, QMessageBox::Icon icon) {
    auto box = make_box(text, icon);
    if (Tmodal_script* script = g_script) {
        script->shown.push_back({icon == QMessageBox::NoIcon ? Tmodal_script::Tkind::message
                                                             : Tmodal_script::Tkind::error,
                                 box->windowTitle(), box->text(), {}, button_texts(*box),
                                 box->icon() != QMessageBox::NoIcon, {}, {}});
        return;
    }
    box->exec();
}

// Shows the error box and never throws: it runs where an exception is
// already being handled.
void report_error(const QString& text) noexcept {
    try {
        show_error(text);
    } catch (...) {
        // Nothing is left to tell the user with; the command is over anyway.
    }
}

// Keeps a widget as wide as its parent less a margin.
class Tright_anchor : public QObject {
public:
    Tright_anchor(QWidget* widget, int right_margin)
        : QObject(widget), widget_(widget), margin_(right_margin) {
        widget->parentWidget()->installEventFilter(this);
        follow();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == widget_->parentWidget()) follow();
        return false;
    }

private:
    void follow() {
        widget_->resize(std::max(0, widget_->parentWidget()->width() - widget_->x() - margin_),
                        widget_->height());
    }
    QWidget* widget_;
    int margin_;
};

}  // namespace

QString app_title() { return u"HX for Windows"_s; }

void install_font_substitutes() {
    for (const QString& family : kWindowsGothic) {
        if (QFont::substitutes(family).isEmpty()) QFont::insertSubstitutions(family, kJapaneseGothic);
    }
}

QFont form_font(const QString& family, int pixel_size) {
    QFont font(family);
    font.setPixelSize(pixel_size);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

Tapplication::Tapplication(std::string program)
    : program_(std::move(program)), argv_{program_.data(), nullptr}, app_(argc_, argv_) {
    QApplication::setApplicationDisplayName(app_title());
    install_font_substitutes();
    // Dialogs and popup menus are windows of their own and do not inherit the
    // main window's font; giving the application the same font keeps their
    // Japanese texts in a Japanese face too.
    QApplication::setFont(form_font(u"ＭＳ Ｐゴシック"_s, 12));
}

int Tapplication::run() { return QApplication::exec(); }

bool run_handler(const std::function<void()>& handler) noexcept {
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        report_error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        report_error(u"Unknown error"_s);
    }
    return false;
}

void on_click(QAbstractButton* button, std::function<void()> handler) {
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [handler = std::move(handler)] { run_handler(handler); });
}

void on_click(QAction* action, std::function<void()> handler) {
    QObject::connect(action, &QAction::triggered, action,
                     [handler = std::move(handler)] { run_handler(handler); });
}

void anchor_left_right(QWidget* widget, int right_margin) { new Tright_anchor(widget, right_margin); }

void show_message(const QString& text) { show_box(text, QMessageBox::NoIcon); }

void show_error(const QString& text) { show_box(text, QMessageBox::Critical); }

QString input_box(const QString& caption, const QString& prompt, const QString& text) {
    QDialog box;
    box.setWindowTitle(caption);
    auto* label = new QLabel(prompt, &box);
    label->setObjectName(u"prompt"_s);
    label->setTextFormat(Qt::PlainText);
    auto* edit = new QLineEdit(text, &box);
    edit->setObjectName(u"edit"_s);
    auto* buttons = new QDialogButtonBox(&box);
    QPushButton* ok = buttons->addButton(u"OK"_s, QDialogButtonBox::AcceptRole);
    buttons->addButton(u"キャンセル"_s, QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* column = new QVBoxLayout(&box);
    column->addWidget(label);
    column->addWidget(edit);
    column->addWidget(buttons);
    edit->selectAll();

    if (Tmodal_script* script = g_script) {
        script->shown.push_back({Tmodal_script::Tkind::input, box.windowTitle(), label->text(),
                                 edit->text(), button_texts(box), false, {}, {}});
        const std::optional<QString> answer = script->take_input();
        if (!answer) return text;
        edit->setText(*answer);
        ok->click();
    } else {
        box.exec();
    }
    return box.result() == QDialog::Accepted ? edit->text() : text;
}

QStringList qt_name_filters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString pattern = parts[i + 1] == u"*.*"_s ? u"*"_s : parts[i + 1];
        filters << parts[i] + u" ("_s + pattern + u")"_s;
    }
    return filters;
}

bool Tdlg_open::execute(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = qt_name_filters(filter_);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) dialog.selectNameFilter(filters.front());
    const QString start = QFile::decodeName(QByteArray::fromStdString(file_name_));
    if (!start.isEmpty()) {
        const QFileInfo info(start);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }

    QString chosen;
    if (Tmodal_script* script = g_script) {
        const QStringList selected = dialog.selectedFiles();
        script->shown.push_back({Tmodal_script::Tkind::open, dialog.windowTitle(), {},
                                 start.isEmpty() || selected.isEmpty() ? QString() : selected.front(),
                                 {}, false, dialog.nameFilters(), dialog.selectedNameFilter()});
        const std::optional<std::string> answer = script->take_open();
        if (!answer) return false;
        chosen = QFile::decodeName(QByteArray::fromStdString(*answer));
    } else {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        chosen = dialog.selectedFiles().front();
    }
    if (chosen.isEmpty()) return false;
    file_name_ = QFile::encodeName(chosen).toStdString();
    return true;
}

Tmodal_script::Tmodal_script() { g_script = this; }

Tmodal_script::~Tmodal_script() { g_script = nullptr; }

Tmodal_script* Tmodal_script::active() { return g_script; }

std::size_t Tmodal_script::count(Tkind kind) const {
    std::size_t n = 0;
    for (const Tshown& s : shown) n += s.kind == kind;
    return n;
}

std::optional<QString> Tmodal_script::take_input() {
    if (inputs_.empty()) return std::nullopt;
    const Tinput_answer answer = inputs_.front();
    inputs_.pop_front();
    if (!answer.ok) return std::nullopt;
    return answer.text;
}

std::optional<std::string> Tmodal_script::take_open() {
    if (opens_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(opens_.front());
    opens_.pop_front();
    return answer;
}

}  // namespace hx::tk
