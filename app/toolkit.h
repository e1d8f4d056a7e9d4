// Thin toolkit layer of hxwin over Qt Widgets: the application object with its
// default error handler, the open-file dialog, the input box and the message
// boxes. Every modal window of the program is made here, so that tests can
// answer it through Tmodal_script without entering a modal loop.
#pragma once

#include <QApplication>
#include <QFont>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QAction;
class QWidget;

namespace hx::tk {

// "HX for Windows": the application's display name and the title of every
// message box, the error box included.
QString app_title();

// The window font: `family` at `pixel_size` pixels, plain. A family that is not
// installed resolves through the substitutes of install_font_substitutes().
QFont form_font(const QString& family, int pixel_size);

// Maps the Japanese Windows Gothic families that the window asks for onto
// installed Japanese Gothic fonts (IPAPGothic first, the one metric-compatible
// with the proportional family), so Japanese text never falls back to a font
// without kana and kanji. Idempotent.
void install_font_substitutes();

// The application object: Qt's application with the program's title and font.
// Qt is given only the program name: the command line belongs to the program,
// so a log named like a Qt option ("-style") is still a log. Qt options are
// taken from the environment (QT_QPA_PLATFORM and friends) instead.
class Tapplication {
public:
    explicit Tapplication(std::string program);
    Tapplication(const Tapplication&) = delete;
    Tapplication& operator=(const Tapplication&) = delete;
    // Runs the message loop until the last window is closed; the exit code.
    int run();

private:
    std::string program_;
    int argc_ = 1;
    char* argv_[2];
    QApplication app_;
};

// The default error handler. Runs `handler` and returns true; when an
// exception escapes it, shows the exception's message (8-bit text) in the
// error box and returns false. Nothing escapes, so no exception reaches Qt.
bool run_handler(const std::function<void()>& handler) noexcept;

// Runs `handler` inside run_handler on every click of `button`.
void on_click(QAbstractButton* button, std::function<void()> handler);
// Runs `handler` inside run_handler on every trigger of `action`.
void on_click(QAction* action, std::function<void()> handler);

// Keeps `widget` stretched to its parent's width less `right_margin`, as an
// anchor on the left, top and right edges does; the parent must exist.
void anchor_left_right(QWidget* widget, int right_margin);

// The simple message box: modal, titled app_title(), no icon, one "OK" button,
// centred on the screen.
void show_message(const QString& text);
// The error box of the default handler: as show_message, with the error icon.
void show_error(const QString& text);

// The input box: modal, titled `caption`, `prompt` above an edit field that
// starts with `text`, buttons "OK" and "キャンセル". Returns the edited text when
// OK is pressed, and `text` when the box is left any other way.
QString input_box(const QString& caption, const QString& prompt, const QString& text);

// A filter of the form "name|pattern|name|pattern..." as Qt name filters
// ("name (pattern)"). The pattern "*.*" becomes "*": meant as "every file", it
// would leave out names without a dot here. A name without pattern is dropped.
QStringList qt_name_filters(const QString& filter);

// The open-file dialog. It keeps the full path last confirmed in it (8-bit
// text, empty until the first confirmation) and opens showing that name; the
// file need not exist; the first filter entry is selected; no default suffix.
class Tdlg_open {
public:
    explicit Tdlg_open(QString filter) : filter_(std::move(filter)) {}
    // Shows the dialog modally. True when the user confirmed a name, which then
    // replaces file_name(); false on a cancel, which leaves it as it was.
    bool execute(QWidget* parent);
    const std::string& file_name() const { return file_name_; }
    const QString& filter() const { return filter_; }

private:
    QString filter_;
    std::string file_name_;
};

// Test seam. While a Tmodal_script exists, no modal window is shown: each one
// is built as usual, its texts are read back from its widgets into `shown`,
// and it is answered at once. A message or error box is closed with OK; an
// input box or open dialog takes the next queued answer of its kind, and one
// without a queued answer is cancelled. One script at a time.
class Tmodal_script {
public:
    enum class Tkind { message, error, input, open };
    struct Tshown {
        Tkind kind;
        QString title;
        QString text;            // message text, or the prompt of an input box
        QString start_text;      // text of the input field, or the open dialog's start name
        QStringList buttons;     // push-button texts
        bool has_icon = false;   // message and error boxes
        QStringList name_filters;  // open dialog
        QString selected_filter;   // open dialog
    };

    Tmodal_script();
    ~Tmodal_script();
    Tmodal_script(const Tmodal_script&) = delete;
    Tmodal_script& operator=(const Tmodal_script&) = delete;

    // Types `text` into the next input box and presses OK.
    void answer_input(QString text) { inputs_.push_back({true, std::move(text)}); }
    void cancel_input() { inputs_.push_back({false, {}}); }
    // Confirms the 8-bit path `path` in the next open dialog.
    void answer_open(std::string path) { opens_.emplace_back(std::move(path)); }
    void cancel_open() { opens_.emplace_back(std::nullopt); }

    // Every modal shown so far, in order; the last one; how many of `kind`.
    std::vector<Tshown> shown;
    const Tshown* last() const { return shown.empty() ? nullptr : &shown.back(); }
    std::size_t count(Tkind kind) const;

    // The script in force, or nullptr when modals are shown for real.
    static Tmodal_script* active();
    // The next queued answer of each kind, removed from the queue; nullopt
    // for a cancel or an empty queue.
    std::optional<QString> take_input();
    std::optional<std::string> take_open();

private:
    struct Tinput_answer {
        bool ok;
        QString text;
    };
    std::deque<Tinput_answer> inputs_;
    std::deque<std::optional<std::string>> opens_;
};

}  // namespace hx::tk
