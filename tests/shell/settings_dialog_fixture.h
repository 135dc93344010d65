// What the tests of the settings and model dialogs share: a fresh working
// directory with its own settings file, scripted answers, a two-atom model
// on demand, and acting on a modal dialog once it runs.
#pragma once

#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/qt/settings_store.h"
#include "common/scripted_ui.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/shell/settings.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace settings_test {

namespace fs = std::filesystem;

inline const std::string BOX_ERROR = "Error!: Can not read data. Please, check data in boxes";

// Acts on the dialog opened next, as soon as its modal run has started; a
// dialog the actions leave open is a failure and is cancelled so that the
// test goes on.
inline void when_open(std::function<void(Dialog&)> actions)
{
    QTimer::singleShot(0, [actions] {
        Dialog* dialog = topmost_dialog();
        ASSERT_NE(dialog, nullptr);
        actions(*dialog);
        if (dialog->is_open()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog->end(2);
        }
    });
}

// Two spherical carbon atoms 1.4 Angstrom apart along z in a 20 Angstrom
// cubic cell.
inline const char* TWO_CARBONS = R"(Two carbon atoms
  20.0000  20.0000  20.0000  90.0000  90.0000  90.0000
 2 0
C1          0.500000    0.500000    0.465000     1.000000
C2          0.500000    0.500000    0.535000     1.000000
     0     2     0   X     0     0   Y          /* atom: C1     */
[He]2s2 2p2
     2
  3.0000
 1.000000 1.000000
                                  4.0000
                                  0.0000
     0     2     0   X     0     0   Y          /* atom: C2     */
[He]2s2 2p2
     2
  3.0000
 1.000000 1.000000
                                  4.0000
                                  0.0000
Space group P1
NON                  /P
     X         Y         Z
END
)";

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_settings_dialogs_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        set_settings_file((directory_ / "settings.ini").string());

        RunSettings& settings = run_settings();
        settings = RunSettings{};
        apply_default_calculation_settings(settings.calculation);
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        property_selection() = PropertySelection{};
        property_selection().elambda = 1.0 / 72.0;
        property_selection().coeff = 1.0 / 6.0;
        text_pane_font() = FontChoice{};
        job_control() = JobControl{};
        bank_loaded() = 0;  // no bank of an earlier test is in use
    }

    void TearDown() override
    {
        ui_->on_pump = nullptr;
        set_settings_file(std::string());
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    // Loads the two-carbon model with its bank; no cluster file is made.
    void load_two_carbons(const char* text = TWO_CARBONS)
    {
        {
            std::ofstream out(directory_ / "c2.kdn");
            out << text;
        }
        RunSettings& settings = run_settings();
        settings.file_dialog.dialog_path = (directory_ / "c2.kdn").string();
        settings.file_dialog.file_title = "c2.kdn";
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / "c2.kdn").string();
        ui_->answers.message_answers.push_back(MessageAnswer::no);  // no cluster file
        ASSERT_TRUE(load_structure_file()) << ui_->answers.message_log();
        ui_->answers.messages.clear();
        ui_->progress_titles.clear();
    }

    std::vector<std::string> messages() const
    {
        std::vector<std::string> texts;
        for (const ShownMessage& m : ui_.get().answers.messages)
            texts.push_back(m.caption + ": " + m.text);
        return texts;
    }

    // Lines of the listing file of the loaded model.
    std::vector<std::string> listing_lines() const
    {
        std::vector<std::string> lines;
        std::ifstream in(listing_file_name());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    fs::path directory_;
    fs::path previous_directory_;
    mutable ScopedScriptedUi ui_;
};

}  // namespace settings_test
