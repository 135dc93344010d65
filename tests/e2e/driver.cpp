// End-to-end driver: starts Keldana's real main window and plays a script of
// user steps against it (commands, answers for the file dialog and message
// boxes, dialog controls set and pressed by id, expectations).  The language
// is described in tests/README.md.
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/qt/qt_user_interface.h"
#include "common/qt/settings_store.h"
#include "common/safe_write.h"
#include "common/scripted_ui.h"
#include "keldana/shell/application.h"
#include "keldana/shell/main_window.h"
#include "keldana/shell/shell_user_interface.h"
#include "keldana/model/report_output.h"
#include "keldana/shell/text_editor.h"
#include "keldana/shell/text_pane.h"

#include <QAction>
#include <QDialog>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Step {
    int line = 0;
    std::string verb;
    std::string rest;  // everything after the verb, variables expanded
};

struct Driver {
    std::vector<Step> steps;
    size_t next = 0;
    size_t checked_messages = 0;
    ScriptedAnswers answers;
    KeldanaApplication* app = nullptr;
    std::string script_name;
    bool finished = false;
    int command_depth = 0;  // commands running now
    std::vector<Dialog*> pressed;  // dialogs whose button a running press step clicked
    std::map<std::string, int> noted_pane_lines;  // note-pane-lines NAME
};

Driver driver;

[[noreturn]] void fail(const Step& step, const std::string& why)
{
    std::cerr << driver.script_name << ":" << step.line << ": " << step.verb << " " << step.rest << ": FAILED: "
              << why << "\n";
    std::cerr << "messages shown:\n" << driver.answers.message_log();
    std::cerr.flush();
    _exit(1);
}

std::string expand(std::string text, const std::vector<std::pair<std::string, std::string>>& variables)
{
    for (const auto& [name, value] : variables) {
        const std::string key = "${" + name + "}";
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    }
    return text;
}

std::vector<Step> read_script(const std::string& path,
                              const std::vector<std::pair<std::string, std::string>>& variables)
{
    std::ifstream in(path);
    if (!in) {
        std::cerr << "cannot read script " << path << "\n";
        _exit(2);
    }
    std::vector<Step> steps;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        const size_t end = line.find_last_not_of(" \t\r");
        line = line.substr(start, end - start + 1);
        Step step;
        step.line = number;
        const size_t space = line.find_first_of(" \t");
        step.verb = line.substr(0, space);
        if (space != std::string::npos)
            step.rest = expand(line.substr(line.find_first_not_of(" \t", space)), variables);
        steps.push_back(step);
    }
    return steps;
}

int to_int(const Step& step, const std::string& text)
{
    try {
        size_t used = 0;
        int value = std::stoi(text, &used);
        if (used == text.size())
            return value;
    } catch (...) {
    }
    fail(step, "not an integer: " + text);
}

// "ID rest-of-line" of the dialog steps.
std::pair<int, std::string> id_and_text(const Step& step)
{
    std::istringstream words(step.rest);
    std::string id;
    words >> id;
    std::string text;
    std::getline(words, text);
    const size_t start = text.find_first_not_of(" \t");
    text = start == std::string::npos ? std::string() : text.substr(start);
    return {to_int(step, id), text};
}

Dialog& topmost(const Step& step);
// The open dialog, or the shown tab page of it that holds control id.
Dialog& holder(const Step& step, int id)
{
    Dialog* dialog = topmost_dialog();
    if (dialog && !dialog->has_control(id))
        for (Dialog* page : live_dialogs())
            if (page != dialog && page->has_control(id) && page->window() && page->window()->isVisible())
                return *page;
    return topmost(step);
}

Dialog& topmost(const Step& step)
{
    Dialog* dialog = topmost_dialog();
    if (!dialog)
        fail(step, "no dialog is open");
    return *dialog;
}

MessageAnswer parse_answer(const Step& step)
{
    if (step.rest == "yes") return MessageAnswer::yes;
    if (step.rest == "no") return MessageAnswer::no;
    if (step.rest == "ok") return MessageAnswer::ok;
    if (step.rest == "cancel") return MessageAnswer::cancel;
    fail(step, "answer must be yes, no, ok or cancel");
}

bool command_enabled(int id)
{
    MainWindow& window = *driver.app->window;
    if (window.menu_action(id))
        return window.menu_enabled(id);
    if (window.toolbar_action(id))
        return window.toolbar_enabled(id);
    return true;  // the editor's buttons
}

void run_step(const Step& step)
{
    MainWindow& window = *driver.app->window;
    const std::string& verb = step.verb;
    if (verb == "file") {
        driver.answers.file_answers.push_back(fs::absolute(step.rest).string());
    } else if (verb == "file-cancel") {
        driver.answers.file_answers.push_back(std::nullopt);
    } else if (verb == "answer") {
        driver.answers.message_answers.push_back(parse_answer(step));
    } else if (verb == "replace") {
        if (step.rest != "yes" && step.rest != "no")
            fail(step, "answer must be yes or no");
        driver.answers.overwrite_answers.push_back(step.rest == "yes");
    } else if (verb == "command") {
        const int id = to_int(step, step.rest);
        if (!command_enabled(id))
            fail(step, "the command is greyed");
        ++driver.command_depth;
        window.handle_command(id);
        --driver.command_depth;
    } else if (verb == "set") {
        auto [id, text] = id_and_text(step);
        if (!holder(step, id).user_set_text(id, text))
            fail(step, "no enabled text control with this id");
    } else if (verb == "check") {
        auto [id, text] = id_and_text(step);
        if (!holder(step, id).user_set_checked(id, text == "on"))
            fail(step, "no enabled check box with this id");
    } else if (verb == "select") {
        auto [id, text] = id_and_text(step);
        if (!holder(step, id).user_select(id, to_int(step, text)))
            fail(step, "no enabled list with this id and index");
    } else if (verb == "press") {
        driver.pressed.push_back(topmost_dialog());
        const bool clicked = holder(step, to_int(step, step.rest)).user_click(to_int(step, step.rest));
        driver.pressed.pop_back();
        if (!clicked)
            fail(step, "no enabled button with this id");
    } else if (verb == "expect-dialog") {
        const int id = to_int(step, step.rest);
        if (topmost(step).get_resource_id() != id)
            fail(step, "the open dialog is " + std::to_string(topmost(step).get_resource_id()));
    } else if (verb == "expect-no-dialog") {
        if (topmost_dialog())
            fail(step, "dialog " + std::to_string(topmost_dialog()->get_resource_id()) + " is open");
    } else if (verb == "expect-text") {
        auto [id, text] = id_and_text(step);
        const std::string actual = holder(step, id).get_text(id);
        if (actual != text)
            fail(step, "the control reads \"" + actual + "\"");
    } else if (verb == "expect-message") {
        const auto& messages = driver.answers.messages;
        if (driver.checked_messages >= messages.size())
            fail(step, "no further message was shown");
        const ShownMessage& shown = messages[driver.checked_messages++];
        if ((shown.caption + ": " + shown.text).find(step.rest) == std::string::npos)
            fail(step, "the message was \"" + shown.caption + ": " + shown.text + "\"");
    } else if (verb == "expect-no-message") {
        if (driver.checked_messages < driver.answers.messages.size())
            fail(step, "a message was shown: " + driver.answers.messages[driver.checked_messages].text);
    } else if (verb == "expect-caption") {
        if (window.windowTitle().toStdString() != step.rest)
            fail(step, "the caption is \"" + window.windowTitle().toStdString() + "\"");
    } else if (verb == "expect-enabled" || verb == "expect-greyed") {
        const int id = to_int(step, step.rest);
        const bool want = verb == "expect-enabled";
        if (command_enabled(id) != want)
            fail(step, want ? "the command is greyed" : "the command is enabled");
    } else if (verb == "expect-file") {
        if (!fs::exists(step.rest))
            fail(step, "no such file");
    } else if (verb == "expect-no-file") {
        if (fs::exists(step.rest))
            fail(step, "the file exists");
    } else if (verb == "expect-same") {
        std::istringstream words(step.rest);
        std::string first, second;
        words >> first >> second;
        auto contents = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        if (!fs::exists(first) || !fs::exists(second) || contents(first) != contents(second))
            fail(step, "the files differ");
    } else if (verb == "expect-line-part") {
        std::istringstream words(step.rest);
        std::string path;
        words >> path;
        std::string text;
        std::getline(words, text);
        text = text.substr(std::min(text.size(), text.find_first_not_of(' ')));
        std::ifstream in(path);
        std::string line;
        bool found = false;
        while (!found && std::getline(in, line))
            found = line.find(text) != std::string::npos;
        if (!found)
            fail(step, "no line holds this text in " + path);
    } else if (verb == "expect-line") {
        // PATH, one blank, then the line exactly (leading blanks count).
        const size_t space = step.rest.find(' ');
        const std::string path = step.rest.substr(0, space);
        const std::string text = space == std::string::npos ? std::string() : step.rest.substr(space + 1);
        std::ifstream in(path);
        std::string line;
        bool found = false;
        while (!found && std::getline(in, line))
            found = line == text;
        if (!found)
            fail(step, "no such line in " + path);
    } else if (verb == "expect-line-count") {
        std::istringstream words(step.rest);
        std::string path, count;
        words >> path >> count;
        std::ifstream in(path);
        int lines = 0;
        for (std::string line; std::getline(in, line);)
            ++lines;
        if (!in.eof() || lines != to_int(step, count))
            fail(step, "the file has " + std::to_string(lines) + " lines");
    } else if (verb == "exit") {
        // The steps after it check files: they run here, before the program ends.
        window.handle_command(30001);
        while (driver.next < driver.steps.size())
            run_step(driver.steps[driver.next++]);
    } else if (verb == "copy") {
        std::error_code ec;
        std::istringstream words(step.rest);
        std::string from, to;
        words >> from >> to;
        const fs::path source(from);
        fs::copy_file(source, fs::current_path() / (to.empty() ? source.filename() : fs::path(to)),
                      fs::copy_options::overwrite_existing, ec);
        if (ec)
            fail(step, ec.message());
    } else if (verb == "screenshot") {
        QWidget* target = topmost_dialog() ? static_cast<QWidget*>(topmost(step).window()) : &window;
        if (!target->grab().save(QString::fromStdString(step.rest)))
            fail(step, "cannot write the picture");
    } else if (verb == "busy") {
        job_control().busy_count += to_int(step, step.rest);
    } else if (verb == "fail-writes-after") {
        set_safe_write_failure_after(to_int(step, step.rest));
    } else if (verb == "expect-no-temporaries") {
        // The temporaries of a safe write are named ".NAME.XXXXXX".
        for (const auto& entry : fs::directory_iterator(fs::current_path())) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 8 && name[0] == '.' && name[name.size() - 7] == '.')
                fail(step, "a temporary is left: " + name);
        }
    } else if (verb == "note-pane-lines") {
        driver.noted_pane_lines[step.rest] = text_pane_state().line_count;
    } else if (verb == "expect-pane-lines") {
        const auto noted = driver.noted_pane_lines.find(step.rest);
        const int want = noted != driver.noted_pane_lines.end() ? noted->second : to_int(step, step.rest);
        if (text_pane_state().line_count != want)
            fail(step, "the pane holds " + std::to_string(text_pane_state().line_count) + " lines");
    } else if (verb == "expect-pane-overflows") {
        if (text_pane_state().line_count <= window.text_pane()->visible_lines())
            fail(step, "all " + std::to_string(text_pane_state().line_count) + " lines fit in the pane");
    } else if (verb == "expect-pane-shows-last-line") {
        const TextPane& pane = *window.text_pane();
        const int last = text_pane_state().line_count;
        if (!pane.line_visible(last))
            fail(step, "line " + std::to_string(last) + " is not in view: the top line is " +
                           std::to_string(pane.top_line()) + ", " + std::to_string(pane.visible_lines()) +
                           " rows show");
    } else if (verb == "edit-line" || verb == "expect-editor-cursor") {
        TextEditorPanel* editor = window.text_editor();
        if (!window.text_editor_open() || !editor)
            fail(step, "the editor is not open");
        auto [line, text] = id_and_text(step);
        QTextBlock block = editor->edit()->document()->findBlockByNumber(line - 1);
        if (!block.isValid())
            fail(step, "the editor has no such line");
        if (verb == "edit-line") {
            QTextCursor cursor(block);
            cursor.select(QTextCursor::LineUnderCursor);
            cursor.insertText(QString::fromStdString(text));
        } else {
            const int at = editor->edit()->textCursor().blockNumber() + 1;
            if (at != line)
                fail(step, "the cursor is on line " + std::to_string(at));
            if (block.text().toStdString() != text)
                fail(step, "the line reads \"" + block.text().toStdString() + "\"");
        }
    } else if (verb == "expect-no-editor") {
        if (window.text_editor_open())
            fail(step, "the editor is open");
    } else if (verb == "wait") {
        QCoreApplication::processEvents();
    } else {
        fail(step, "unknown step");
    }
}

void play_next()
{
    // A running command pumps events; the script goes on only when the
    // command waits for the user in a dialog.
    // A pressed button whose work pumps events (a search, a trace) holds the
    // script until it returns, unless it opened a dialog of its own.
    // The progress dialog of a job is part of the work, not a question.
    Dialog* top = topmost_dialog();
    const bool job_dialog = top && top->get_resource_id() == PROGRESS_DIALOG_ID;
    if (!driver.pressed.empty() && (top == driver.pressed.back() || job_dialog)) {
        QTimer::singleShot(5, play_next);
        return;
    }
    if (driver.command_depth > 0 && (!top || job_dialog) && !QApplication::activeModalWidget()) {
        QTimer::singleShot(5, play_next);
        return;
    }
    if (driver.next >= driver.steps.size()) {
        if (!driver.finished) {
            driver.finished = true;
            // Whatever the script did, leave the way a user does: through Exit.
            QTimer::singleShot(0, [] {
                if (driver.app->window->isVisible()) {
                    job_control().busy_count = 0;
                    driver.app->window->handle_command(30001);
                }
                QCoreApplication::quit();
            });
        }
        return;
    }
    const Step step = driver.steps[driver.next++];
    // Schedule the following step first: a step that opens a modal dialog
    // returns only when the dialog ends, and the steps meant for the dialog
    // must run inside it.
    QTimer::singleShot(0, play_next);
    run_step(step);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: keldana_driver SCRIPT [WORKDIR]\n";
        return 2;
    }
    const fs::path script = fs::absolute(argv[1]);
    driver.script_name = script.filename().string();
    if (argc > 2) {
        const fs::path workdir = fs::absolute(argv[2]);
        fs::remove_all(workdir);
        fs::create_directories(workdir);
        fs::current_path(workdir);
    }
    const std::vector<std::pair<std::string, std::string>> variables = {
        {"SOURCE", KD_SOURCE_DIR},
        {"FIXTURES", std::string(KD_SOURCE_DIR) + "/tests/fixtures"},
        {"EXAMPLES", std::string(KD_SOURCE_DIR) + "/examples"},
        {"WORKDIR", fs::current_path().string()},
    };
    driver.steps = read_script(script.string(), variables);

    QApplication qt_app(argc, argv);
    // The settings of a run under test live in its working directory.
    set_settings_file((fs::current_path() / "keldana-settings.ini").string());
    auto app = start_keldana();
    driver.app = app.get();
    app->user_interface->set_script(&driver.answers);

    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        std::cerr << driver.script_name << ": timed out at step " << driver.next << "\n";
        _exit(3);
    });
    watchdog.start(240000);

    QTimer::singleShot(0, play_next);
    qt_app.exec();
    {
        std::ofstream log("messages.log");
        log << driver.answers.message_log();
    }
    app.reset();
    std::cout << driver.script_name << ": " << driver.steps.size() << " steps passed\n";
    return 0;
}
