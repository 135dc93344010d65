#include "keldana/model/file_dialog.h"

#include "common/user_interface.h"
#include "keldana/model/run_settings.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

void run_file_dialog(const std::string& description, const std::string& pattern)
{
    FileDialogState& state = run_settings().file_dialog;
    const bool save = state.dialog_mode == "save";

    FileDialogRequest request;
    request.save = save;
    request.title = save ? "Save file" : "Open file";
    request.description = description;
    request.pattern = pattern;
    request.initial_dir = state.working_directory;
    request.initial_name = state.dialog_path;
    if (save && pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0)
        request.default_extension = pattern.substr(2, 3);

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
