#include "keldana/model/file_dialog.h"

#include "common/user_interface.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string lower_case(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The name to show in the dialog: the last path when it is of this type; in
// save mode otherwise its stem with this type's extension.
std::string proposed_name(const std::string& last_path, const std::string& pattern, bool save,
                          const std::string& extension)
{
    if (last_path.empty() || is_name_of_pattern(last_path, pattern))
        return last_path;
    if (!save || extension.empty())
        return {};
    fs::path proposal(last_path);
    proposal.replace_extension(extension);
    return proposal.string();
}

}  // namespace

bool is_name_of_pattern(const std::string& path, const std::string& pattern)
{
    const std::string extension = lower_case(fs::path(path).extension().string());
    bool any_extension = false;
    std::size_t start = 0;
    while (start <= pattern.size()) {
        const std::size_t end = std::min(pattern.find(';', start), pattern.size());
        const std::string item = pattern.substr(start, end - start);
        start = end + 1;
        if (item.size() < 3 || item.compare(0, 2, "*.") != 0 || item == "*.*")
            return true;
        any_extension = true;
        if (extension == lower_case(item.substr(1)))
            return true;
    }
    return !any_extension;
}

void run_file_dialog(const std::string& description, const std::string& pattern, bool executables_only)
{
    FileDialogState& state = run_settings().file_dialog;
    const bool save = state.dialog_mode == "save";

    FileDialogRequest request;
    request.save = save;
    request.title = save ? "Save file" : "Open file";
    request.description = description;
    request.pattern = pattern;
    request.initial_dir = state.working_directory;
    request.executables_only = executables_only;
    if (save && pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0)
        request.default_extension = pattern.substr(2, 3);
    request.initial_name = proposed_name(state.dialog_path, pattern, save, request.default_extension);

    auto chosen = ui().file_dialog(request);
    if (!chosen || chosen->empty()) {
        state.dialog_mode = "no  ";
        return;
    }
    fs::path path = fs::absolute(fs::path(*chosen));
    std::error_code ec;
    fs::current_path(path.parent_path(), ec);
    state.dialog_path = path.string();
    state.file_title = path.filename().string();
    if (run_settings().paths.follow_dialog_directory)
        state.working_directory = fs::current_path(ec).string();
}

bool file_dialog_cancelled() { return run_settings().file_dialog.dialog_mode == "no  "; }
