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

UserInterface& ui() { return installed ? *installed : console_ui; }

void install_user_interface(UserInterface* implementation) { installed = implementation; }

JobControl& job_control() { return job_control_state; }
