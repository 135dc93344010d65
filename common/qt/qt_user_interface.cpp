#include "common/qt/qt_user_interface.h"
#include "common/qt/settings_store.h"

#include "common/job_control.h"
#include "common/scripted_ui.h"

#include <QApplication>
#include <QColorDialog>
#include <QEvent>
#include <QCursor>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <functional>

ScopedWaitCursor::ScopedWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
ScopedWaitCursor::~ScopedWaitCursor() { QApplication::restoreOverrideCursor(); }

namespace {

const char* const CANCEL_QUESTION = "NOW JOB WILL BE TERMINATED!  CONTINUE TERMINATION?";

// Qt dialogs open over whatever the user is working in.
QWidget* dialog_parent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

std::string trim_blanks(const std::string& text)
{
    auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

double screen_dpi()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

}  // namespace

ProgressKeeper::ProgressKeeper(QWidget* progress) : progress_(progress)
{
    // A modal window open when the job starts is the one that started it.
    starting_modal_ = QApplication::activeModalWidget();
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { keep_above(QApplication::activeWindow()); });
}

ProgressKeeper::~ProgressKeeper() { qApp->removeEventFilter(this); }

bool ProgressKeeper::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType())
        keep_above(static_cast<QWidget*>(watched));
    return false;
}

void ProgressKeeper::keep_above(QWidget* activated)
{
    if (!progress_ || !activated || !activated->isWindow() || !progress_->isVisible())
        return;
    // The progress dialog's own questions stay above it, and so does a modal
    // window opened during the job (a message, the About box).
    for (QWidget* w = activated; w; w = w->parentWidget())
        if (w == progress_)
            return;
    if (activated->isModal() && activated != starting_modal_)
        return;
    // After the window manager has raised the window that was clicked.
    QTimer::singleShot(0, progress_, [progress = progress_] {
        if (progress && progress->isVisible())
            progress->raise();
    });
}

const DialogResource& progress_dialog_resource()
{
    static const DialogResource resource{
        PROGRESS_DIALOG_ID,
        "Keldana - Progress",
        200,
        104,
        {
            {PROGRESS_TITLE_ID, ControlKind::static_text, "", 10, 8, 180, 10},
            {PROGRESS_BAR_ID, ControlKind::progress_bar, "", 10, 22, 180, 10},
            {PROGRESS_PERCENT_ID, ControlKind::static_text, "0", 84, 36, 16, 9},
            {CONTROL_STATIC_ID, ControlKind::static_text, "%", 101, 36, 10, 9},
            {PROGRESS_FIRST_LINE_ID, ControlKind::static_text, "", 10, 48, 180, 9},
            {PROGRESS_FIRST_LINE_ID + 1, ControlKind::static_text, "", 10, 58, 180, 9},
            {PROGRESS_FIRST_LINE_ID + 2, ControlKind::static_text, "", 10, 68, 180, 9},
            {2, ControlKind::button, "Cancel", 75, 84, 50, 14},
        },
    };
    return resource;
}

std::string convert_file_pattern(const std::string& windows_pattern)
{
    std::string result;
    std::size_t start = 0;
    while (start <= windows_pattern.size()) {
        std::size_t end = windows_pattern.find(';', start);
        if (end == std::string::npos)
            end = windows_pattern.size();
        std::string one = trim_blanks(windows_pattern.substr(start, end - start));
        if (one == "*.*")
            one = "*";  // on Windows "*.*" also matches names without a dot
        if (!one.empty())
            result += (result.empty() ? "" : " ") + one;
        start = end + 1;
    }
    return result.empty() ? "*" : result;
}

std::string make_file_dialog_filter(const FileDialogRequest& request)
{
    std::string filter = request.description + " (" + convert_file_pattern(request.pattern) + ")";
    for (const FileFilter& more : request.more_filters)
        filter += ";;" + more.description + " (" + convert_file_pattern(more.pattern) + ")";
    if (request.all_files)
        filter += ";;All files (*.*) (*)";
    return filter;
}

InitialFile split_initial_file(const std::string& initial_dir, const std::string& initial_name)
{
    const std::size_t slash = initial_name.find_last_of('/');
    if (slash == std::string::npos)
        return {initial_dir, initial_name};
    // A proposed name with a folder opens in that folder, as long as it exists.
    QFileInfo info(QDir(QString::fromStdString(initial_dir)), QString::fromStdString(initial_name));
    const std::string folder = info.absolutePath().toStdString();
    return {QDir(info.absolutePath()).exists() ? folder : initial_dir, initial_name.substr(slash + 1)};
}

QColor colour_from_colorref(unsigned colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

unsigned colorref_from_colour(const QColor& colour)
{
    return static_cast<unsigned>(colour.red()) | (static_cast<unsigned>(colour.green()) << 8) |
           (static_cast<unsigned>(colour.blue()) << 16);
}

QFont font_from_choice(const FontChoice& choice)
{
    QFont font;
    if (!choice.face_name.empty())
        font.setFamily(QString::fromStdString(choice.face_name));
    // Either sign: the magnitude is taken as the character height in pixels.
    if (choice.height != 0)
        font.setPixelSize(static_cast<int>(std::min<long long>(std::llabs(choice.height), MAX_FONT_PIXELS)));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(choice.weight == 0 ? 400 : choice.weight, 1, 1000)));
    font.setItalic(choice.italic);
    font.setUnderline(choice.underline);
    font.setStrikeOut(choice.strike_out);
    return font;
}

FontChoice choice_from_font(const QFont& font, unsigned colour)
{
    FontChoice choice;
    choice.face_name = font.family().toStdString();
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = static_cast<int>(std::lround(font.pointSizeF() * screen_dpi() / 72.0));
    choice.height = -pixels;
    choice.width = 0;
    choice.weight = font.weight();
    choice.italic = font.italic();
    choice.underline = font.underline();
    choice.strike_out = font.strikeOut();
    choice.colour = colour;
    return choice;
}

QtUserInterface::QtUserInterface() = default;

QtUserInterface::~QtUserInterface() { close_progress(); }

void QtUserInterface::set_script(ScriptedAnswers* script) { script_ = script; }
ScriptedAnswers* QtUserInterface::get_script() const { return script_; }
Dialog* QtUserInterface::get_progress_dialog() const { return progress_.get(); }

MessageAnswer QtUserInterface::message_box(const std::string& text, const std::string& caption,
                                           MessageButtons buttons, MessageIcon icon)
{
    if (script_)
        return script_->answer_message(text, caption, buttons, icon);

    QMessageBox::Icon qt_icon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::none: qt_icon = QMessageBox::NoIcon; break;
    case MessageIcon::information: qt_icon = QMessageBox::Information; break;
    case MessageIcon::warning: qt_icon = QMessageBox::Warning; break;
    case MessageIcon::error: qt_icon = QMessageBox::Critical; break;
    case MessageIcon::question: qt_icon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons qt_buttons = QMessageBox::Ok;
    QMessageBox::StandardButton first = QMessageBox::Ok;
    MessageAnswer unanswered = MessageAnswer::ok;  // box closed without a button
    switch (buttons) {
    case MessageButtons::ok: break;
    case MessageButtons::ok_cancel:
        qt_buttons = QMessageBox::Ok | QMessageBox::Cancel;
        unanswered = MessageAnswer::cancel;
        break;
    case MessageButtons::yes_no:
        qt_buttons = QMessageBox::Yes | QMessageBox::No;
        first = QMessageBox::Yes;
        unanswered = MessageAnswer::no;
        break;
    case MessageButtons::yes_no_cancel:
        qt_buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        first = QMessageBox::Yes;
        unanswered = MessageAnswer::cancel;
        break;
    }
    QMessageBox box(qt_icon, QString::fromStdString(caption), QString::fromStdString(text), qt_buttons,
                    question_owner_ ? question_owner_ : dialog_parent());
    box.setDefaultButton(first);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return MessageAnswer::ok;
    case QMessageBox::Cancel: return MessageAnswer::cancel;
    case QMessageBox::Yes: return MessageAnswer::yes;
    case QMessageBox::No: return MessageAnswer::no;
    default: return unanswered;
    }
}

namespace {

// A file dialog that brings its state up to the chosen type just before it
// takes the typed name, however the type was chosen.
class FileDialogFollowingItsType : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    std::function<void()> before_accept;

    void accept() override
    {
        if (before_accept)
            before_accept();
        QFileDialog::accept();
    }
};

}  // namespace

std::optional<std::string> QtUserInterface::file_dialog(const FileDialogRequest& request)
{
    if (script_)
        return script_->answer_file(request);

    const QString filter = QString::fromStdString(make_file_dialog_filter(request));
    const InitialFile initial = split_initial_file(request.initial_dir, request.initial_name);
    FileDialogFollowingItsType dialog(dialog_parent(), QString::fromStdString(request.title),
                                      QString::fromStdString(initial.directory), filter);
    // Show the descriptions as given; they already name their patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Names of files that do not exist yet are returned as typed.
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension takes the chosen type's, before the
    // dialog asks about replacing a file of that name.
    const QStringList filters = dialog.nameFilters();
    // The dialog names the chosen filter without its hidden pattern list.
    auto chosen_filter = [&] {
        const QString chosen = dialog.selectedNameFilter();
        for (qsizetype i = 0; i < filters.size(); ++i)
            if (filters[i] == chosen || filters[i].startsWith(chosen + " ("))
                return static_cast<int>(i);
        return -1;
    };
    const QDir::Filters listed = dialog.filter();
    auto follow_chosen_type = [&] {
        if (request.save)
            dialog.setDefaultSuffix(QString::fromStdString(chosen_type_extension(request, chosen_filter())));
        // Programs have no extension here: their filter lists what may run.
        if (request.executables_only)
            dialog.setFilter(chosen_filter() == 0 ? listed | QDir::Executable | QDir::AllDirs : listed);
    };
    follow_chosen_type();
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString&) { follow_chosen_type(); });
    dialog.before_accept = follow_chosen_type;
    if (!initial.name.empty())
        dialog.selectFile(QString::fromStdString(initial.name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return saved_file_name(dialog.selectedFiles().front().toStdString(), request, chosen_filter());
}

bool QtUserInterface::choose_font(FontChoice& font)
{
    if (script_)
        return script_->answer_font(font);

    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, font_from_choice(font), dialog_parent(), "Font");
    if (!ok)
        return false;
    // Qt's font dialog has no colour; the text colour is asked next.
    unsigned colour = font.colour;
    QColor picked = QColorDialog::getColor(colour_from_colorref(colour), dialog_parent(), "Color");
    if (picked.isValid())
        colour = colorref_from_colour(picked);
    font = choice_from_font(chosen, colour);
    return true;
}

bool QtUserInterface::choose_colour(unsigned& colour)
{
    if (script_)
        return script_->answer_colour(colour);

    QColor picked = QColorDialog::getColor(colour_from_colorref(colour), dialog_parent(), "Color");
    if (!picked.isValid())
        return false;
    colour = colorref_from_colour(picked);
    return true;
}

ProcessResult QtUserInterface::run_process(const std::string& program, const std::vector<std::string>& args,
                                           const std::string& working_dir, bool wait)
{
    return run_child_process(program, args, working_dir, wait);
}

void QtUserInterface::open_progress(const std::string& title)
{
    close_progress();
    // The window that started the job owns the dialog: a window manager keeps
    // it above that window, and the keeper above every other of ours.
    QWidget* owner = dialog_parent();
    if (!owner)
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && !window->parentWidget()) {
                owner = window;
                break;
            }
    progress_ = std::make_unique<Dialog>(progress_dialog_resource(), owner);
    Dialog& dialog = *progress_;
    dialog.set_range(PROGRESS_BAR_ID, 0, 100);
    dialog.set_position(PROGRESS_BAR_ID, 0);
    dialog.set_text(PROGRESS_TITLE_ID, title);
    dialog.set_callback(2, [this](Dialog& d, int, ControlEvent) { on_progress_cancel(d); });
    progress_fields_ = {};
    progress_fields_[0].text = "0";
    dialog.show_modeless();
    progress_keeper_ = std::make_unique<ProgressKeeper>(dialog.window());
    job_control().progress_open = true;
}

void QtUserInterface::on_progress_cancel(Dialog& dialog)
{
    // The question belongs to the progress dialog, so that closing it gives
    // the focus back there and not to the dialog that started the job.
    QPointer<QWidget> window = dialog.window();
    question_owner_ = window;
    MessageAnswer answer = ui().message_box(CANCEL_QUESTION, "Warning!", MessageButtons::yes_no, MessageIcon::warning);
    question_owner_ = nullptr;
    job_control().last_answer = static_cast<int>(answer);
    if (answer != MessageAnswer::yes) {
        // The job goes on: its dialog stays above the one that started it.
        if (window && progress_.get() == &dialog) {
            window->raise();
            window->activateWindow();
        }
        return;
    }
    job_control().job_running = false;
    // The job may have closed the dialog while the question was shown.
    if (progress_.get() == &dialog)
        dialog.end(0);
}

void QtUserInterface::show_progress_field(int index, Clock::time_point now)
{
    ProgressField& field = progress_fields_[static_cast<size_t>(index)];
    field.pending = false;
    field.next_show = now + UPDATE_INTERVAL;
    if (index == 0) {
        const int percent = std::stoi(field.text);
        progress_->set_position(PROGRESS_BAR_ID, percent);
        progress_->set_int(PROGRESS_PERCENT_ID, percent);
    } else {
        progress_->set_text(PROGRESS_FIRST_LINE_ID + index - 1, field.text);
    }
}

void QtUserInterface::set_progress_field(int index, std::string text)
{
    ProgressField& field = progress_fields_[static_cast<size_t>(index)];
    if (field.text == text && !field.pending)
        return;
    field.text = std::move(text);
    const Clock::time_point now = Clock::now();
    if (now >= field.next_show)
        show_progress_field(index, now);
    else
        field.pending = true;
}

void QtUserInterface::show_pending_progress()
{
    if (!progress_)
        return;
    const Clock::time_point now = Clock::now();
    for (int index = 0; index < static_cast<int>(progress_fields_.size()); ++index)
        if (progress_fields_[static_cast<size_t>(index)].pending)
            show_progress_field(index, now);
}

void QtUserInterface::set_progress(int percent)
{
    if (!progress_)
        return;
    set_progress_field(0, std::to_string(std::clamp(percent, 0, 100)));
}

void QtUserInterface::set_progress_line(int line, const std::string& text)
{
    if (!progress_ || line < 1 || line > 3)
        return;
    set_progress_field(line, text);
}

void QtUserInterface::close_progress()
{
    if (!progress_)
        return;
    progress_keeper_.reset();
    progress_.reset();
    job_control().progress_open = false;
}

void QtUserInterface::pump_events()
{
    if (Clock::now() < next_pump_)
        return;
    show_pending_progress();
    QCoreApplication::processEvents();
    // Counted from the end: a question answered inside the pump took its time.
    next_pump_ = Clock::now() + UPDATE_INTERVAL;
}

void QtUserInterface::text_pane_changed() {}
void QtUserInterface::text_pane_reset() {}
void QtUserInterface::set_window_caption(const std::string&) {}
void QtUserInterface::set_command_menu_state(bool) {}
void QtUserInterface::enable_command(int, bool) {}
void QtUserInterface::reset_stop_request(bool) { job_control().stop_requested = false; }
void QtUserInterface::redraw_viewer() {}
