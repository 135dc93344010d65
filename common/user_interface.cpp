#include "common/user_interface.h"

#include "common/job_control.h"
#include "common/scripted_ui.h"

#include <cstdio>

namespace {

// Until a program installs its own: messages go to standard error and every
// question gets its first answer, so console programs and tests never hang.
class ConsoleUserInterface : public ScriptedUserInterface {
public:
    MessageAnswer message_box(const std::string& text, const std::string& caption_text,
                              MessageButtons buttons, MessageIcon icon) override
    {
        std::fprintf(stderr, "%s: %s\n", caption_text.c_str(), text.c_str());
        return ScriptedUserInterface::message_box(text, caption_text, buttons, icon);
    }
};

ConsoleUserInterface console_ui;
UserInterface* installed = nullptr;
JobControl job_control_state;

}  // namespace

std::string add_default_extension(const std::string& path, const std::string& extension)
{
    if (extension.empty() || path.empty())
        return path;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    if (path.find('.', name_start) != std::string::npos || name_start == path.size())
        return path;
    return path + "." + extension;
}

std::string chosen_type_extension(const FileDialogRequest& request, int filter_index)
{
    std::string pattern;
    if (filter_index == 0)
        pattern = request.pattern;
    else if (filter_index > 0 && static_cast<std::size_t>(filter_index) <= request.more_filters.size())
        pattern = request.more_filters[static_cast<std::size_t>(filter_index) - 1].pattern;
    pattern = pattern.substr(0, pattern.find(';'));
    if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0 || pattern.find_first_of("*?", 2) != std::string::npos)
        return request.default_extension;
    return pattern.substr(2);
}

std::string saved_file_name(const std::string& path, const FileDialogRequest& request, int filter_index)
{
    return request.save ? add_default_extension(path, chosen_type_extension(request, filter_index)) : path;
}

UserInterface& ui() { return installed ? *installed : console_ui; }

void install_user_interface(UserInterface* implementation) { installed = implementation; }

JobControl& job_control() { return job_control_state; }
