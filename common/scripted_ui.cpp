#include "common/scripted_ui.h"

#include "common/job_control.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

MessageAnswer ScriptedAnswers::answer_message(const std::string& text, const std::string& caption,
                                              MessageButtons buttons, MessageIcon icon)
{
    MessageAnswer answer = buttons == MessageButtons::yes_no || buttons == MessageButtons::yes_no_cancel
                               ? MessageAnswer::yes
                               : MessageAnswer::ok;
    if (!message_answers.empty()) {
        answer = message_answers.front();
        message_answers.pop_front();
    }
    messages.push_back({text, caption, buttons, icon, answer});
    return answer;
}

std::optional<std::string> ScriptedAnswers::answer_file(const FileDialogRequest& request)
{
    file_requests.push_back(request);
    int filter = 0;
    if (request.save && !filter_answers.empty()) {
        filter = filter_answers.front();
        filter_answers.pop_front();
    }
    while (!file_answers.empty()) {
        auto answer = file_answers.front();
        file_answers.pop_front();
        if (answer)
            answer = saved_file_name(*answer, request, filter);
        std::error_code ec;
        if (!answer || !request.save || !fs::exists(*answer, ec) || fs::is_directory(*answer, ec))
            return answer;
        overwrite_questions.push_back(*answer);
        bool replace = true;
        if (!overwrite_answers.empty()) {
            replace = overwrite_answers.front();
            overwrite_answers.pop_front();
        }
        if (replace)
            return answer;
    }
    return std::nullopt;
}

bool ScriptedAnswers::answer_font(FontChoice& font)
{
    if (font_answers.empty())
        return false;
    auto answer = font_answers.front();
    font_answers.pop_front();
    if (!answer)
        return false;
    font = *answer;
    return true;
}

bool ScriptedAnswers::answer_colour(unsigned& colour)
{
    if (colour_answers.empty())
        return false;
    auto answer = colour_answers.front();
    colour_answers.pop_front();
    if (!answer)
        return false;
    colour = *answer;
    return true;
}

std::string ScriptedAnswers::message_log() const
{
    std::string log;
    for (const auto& m : messages)
        log += m.caption + ": " + m.text + "\n";
    return log;
}

MessageAnswer ScriptedUserInterface::message_box(const std::string& text, const std::string& caption_text,
                                                 MessageButtons buttons, MessageIcon icon)
{
    return answers.answer_message(text, caption_text, buttons, icon);
}

std::optional<std::string> ScriptedUserInterface::file_dialog(const FileDialogRequest& request)
{
    return answers.answer_file(request);
}

bool ScriptedUserInterface::choose_font(FontChoice& font) { return answers.answer_font(font); }
bool ScriptedUserInterface::choose_colour(unsigned& colour) { return answers.answer_colour(colour); }

ProcessResult ScriptedUserInterface::run_process(const std::string& program, const std::vector<std::string>& args,
                                                 const std::string& working_dir, bool wait)
{
    return run_child_process(program, args, working_dir, wait);
}

void ScriptedUserInterface::open_progress(const std::string& title)
{
    progress_titles.push_back(title);
    progress_open = true;
    last_percent = 0;
}

void ScriptedUserInterface::set_progress(int percent) { last_percent = percent; }
void ScriptedUserInterface::set_progress_line(int, const std::string&) {}
void ScriptedUserInterface::close_progress() { progress_open = false; }

void ScriptedUserInterface::pump_events()
{
    ++pump_count;
    if (on_pump)
        on_pump();
}

void ScriptedUserInterface::text_pane_changed() { ++pane_changes; }
void ScriptedUserInterface::text_pane_reset() { ++pane_resets; }
void ScriptedUserInterface::set_window_caption(const std::string& text) { caption = text; }
void ScriptedUserInterface::set_command_menu_state(bool enable) { command_menu_state = enable ? 1 : 0; }
void ScriptedUserInterface::enable_command(int command_id, bool enable) { enabled_commands.emplace_back(command_id, enable); }
void ScriptedUserInterface::reset_stop_request(bool) { job_control().stop_requested = false; }
void ScriptedUserInterface::redraw_viewer() { ++viewer_redraws; }

namespace {

constexpr std::size_t KEPT_ERROR_OUTPUT = 4096;

// Reads fd to its end (so the child never blocks on a full pipe), keeping
// the first KEPT_ERROR_OUTPUT bytes.
std::string read_until_end(int fd)
{
    std::string kept;
    char buffer[1024];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return kept;
        kept.append(buffer, std::min(static_cast<std::size_t>(got), KEPT_ERROR_OUTPUT - kept.size()));
    }
}

}  // namespace

ProcessResult run_child_process(const std::string& program, const std::vector<std::string>& args,
                                const std::string& working_dir, bool wait)
{
    ProcessResult result;
    std::vector<std::string> argv_text;
    argv_text.push_back(program);
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // A waited-for child's standard error comes back through a pipe.
    int error_pipe[2] = {-1, -1};
    if (wait && pipe2(error_pipe, O_CLOEXEC) != 0)
        error_pipe[0] = error_pipe[1] = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!working_dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
    if (error_pipe[1] >= 0)
        posix_spawn_file_actions_adddup2(&actions, error_pipe[1], STDERR_FILENO);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error_pipe[1] >= 0)
        close(error_pipe[1]);
    if (rc == 0 && error_pipe[0] >= 0)
        result.error_output = read_until_end(error_pipe[0]);
    if (error_pipe[0] >= 0)
        close(error_pipe[0]);
    if (rc != 0)
        return result;
    result.started = true;
    if (!wait)
        return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return result;
    }
    // posix_spawnp reports a program that cannot be executed as exit code 127
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
        if (result.exit_code == 127)
            result.started = false;
    }
    return result;
}
