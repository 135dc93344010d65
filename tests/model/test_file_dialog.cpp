// Keldana's file dialog proposes a name of its own type: the last chosen
// file when it is one, in save mode that file's stem with the dialog's
// extension, in open mode nothing.
#include "keldana/model/file_dialog.h"

#include "common/scripted_ui.h"
#include "keldana/model/run_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(FileDialogTypes, NamesOfAPatternAreKnownWithoutRegardToCase)
{
    struct Case {
        const char* path;
        const char* pattern;
        bool of_pattern;
    };
    const Case cases[] = {
        {"/w/model.kdn", "*.kdn", true},       {"/w/MODEL.KDN", "*.kdn", true},
        {"/w/small.mat", "*.cov", false},      {"/w/scene.bmp", "*.cov", false},
        {"/w/xd.res", "*.inp;*.res", true},    {"/w/xd.par", "*.inp;*.res", false},
        {"/w/blentrix", "*", true},            {"/w/any.thing", "*.*", true},
        {"/w.d/model", "*.kdn", false},        {"/w/model.kdn.bak", "*.kdn", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_name_of_pattern(c.path, c.pattern), c.of_pattern) << c.path << " " << c.pattern;
}

TEST(FileDialogTypes, TheProposedNameIsOfTheDialogsType)
{
    ScopedScriptedUi ui;
    const RunSettings saved = run_settings();
    FileDialogState& state = run_settings().file_dialog;
    const std::string folder = std::filesystem::temp_directory_path().string();
    struct Case {
        const char* mode;
        std::string last;
        const char* pattern;
        std::string proposed;
    };
    const Case cases[] = {
        {"save", folder + "/small.mat", "*.cov", folder + "/small.cov"},   // Save COVARIANCE after an import
        {"open", folder + "/scene.bmp", "*.cov", ""},                      // Read COVARIANCE after a bitmap
        {"open", folder + "/saved.cov", "*.cov", folder + "/saved.cov"},   // of its type: kept
        {"save", "keldana.kdn", "*.kdn", "keldana.kdn"},                   // a caller's proposal
        {"save", "", "*.bmp", ""},
    };
    for (const Case& c : cases) {
        state.dialog_mode = c.mode;
        state.dialog_path = c.last;
        ui->answers.file_answers.push_back(std::nullopt);
        run_file_dialog("description", c.pattern);
        ASSERT_FALSE(ui->answers.file_requests.empty());
        EXPECT_EQ(ui->answers.file_requests.back().initial_name, c.proposed) << c.mode << " " << c.last;
        EXPECT_EQ(state.dialog_path, c.last);  // Cancel changes nothing
    }
    run_settings() = saved;
}

}  // namespace
