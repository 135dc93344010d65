// The "Generate potential-derived charges" dialog as the user drives it:
// the default boxes and array, typing array values in a row, refused boxes
// that keep the dialog open, and a fit run by "Generate".
#include "keldana/shell/potential_charges_dialog.h"

#include "common/qt/dialog.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/properties/potential_charges.h"
#include "keldana/resources/charges_dialog_resource.h"

#include <QDialog>
#include <QPixmap>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

void when_open(std::function<void(Dialog&)> actions)
{
    QTimer::singleShot(0, [actions] {
        Dialog* dialog = topmost_dialog();
        ASSERT_NE(dialog, nullptr);
        actions(*dialog);
        if (dialog->is_open()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog->end(IDC_CHARGES_CANCEL);
        }
    });
}

class PotentialChargesDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_charges_dialog_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        RunSettings& settings = run_settings();
        settings.calculation = CalculationSettings{};
        apply_default_calculation_settings(settings.calculation);
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.paths.wavefun_bank_path.clear();
        ASSERT_TRUE(open_report_output());
        const fs::path folder = fs::path(KD_SOURCE_DIR) / "examples" / "cyanogen";
        for (const char* name : {"cyanogen.kdn", "gspace.cls"})
            fs::copy_file(folder / name, directory_ / name);
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / "cyanogen.kdn").string();
        settings.file_dialog.dialog_path = settings.output_files.input_file_path;
        settings.file_dialog.file_title = "cyanogen.kdn";
        ASSERT_TRUE(load_structure_file());
        apply_default_calculation_settings(settings.calculation);
        current_model().translations = ClusterTranslations{0, 0, 0, 0};
    }

    void TearDown() override
    {
        close_report_output();
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    ScopedScriptedUi ui_;
    fs::path previous_;
    fs::path directory_;
};

TEST_F(PotentialChargesDialogTest, OpensWithDefaultsAndTakesArrayValuesInARow)
{
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_POTENTIAL_CHARGES);
        EXPECT_EQ(d.get_text(IDC_CHARGES_GRID_POINTS), " 12");
        EXPECT_EQ(d.get_text(IDC_CHARGES_GRID_EDGE), " 11.0000");
        EXPECT_EQ(d.get_text(IDC_CHARGES_ENVELOPE), "  2.5000");
        ASSERT_EQ(d.get_item_count(IDC_CHARGES_ARRAY_LIST), 4);
        EXPECT_EQ(d.get_item_text(IDC_CHARGES_ARRAY_LIST, 2), "  3    1");  // image of atom 1
        EXPECT_EQ(d.get_item_text(IDC_CHARGES_ARRAY_LIST, 3), "  4    2");

        ASSERT_TRUE(d.user_select(IDC_CHARGES_ARRAY_LIST, 1));
        EXPECT_EQ(d.get_text(IDC_CHARGES_ATOM_NUMBER), "  2");
        EXPECT_EQ(d.get_text(IDC_CHARGES_ARRAY_VALUE), "");
        ASSERT_TRUE(d.user_set_text(IDC_CHARGES_ARRAY_VALUE, "7"));
        EXPECT_EQ(d.get_item_text(IDC_CHARGES_ARRAY_LIST, 1), "  2    7");
        EXPECT_EQ(d.get_selected_index(IDC_CHARGES_ARRAY_LIST), 2);
        // Not a number yet: nothing changes.
        ASSERT_TRUE(d.user_set_text(IDC_CHARGES_ARRAY_VALUE, "x"));
        EXPECT_EQ(d.get_item_text(IDC_CHARGES_ARRAY_LIST, 1), "  2    7");
        d.user_click(IDC_CHARGES_CANCEL);
    });
    run_potential_charges_dialog();
    // The array changes only when a fit reads the list.
    EXPECT_EQ(charge_class_array().class_value[2], 2);
}

TEST_F(PotentialChargesDialogTest, UnreadableBoxKeepsTheDialogOpenAndGenerateFits)
{
    when_open([this](Dialog& d) {
        d.user_set_text(IDC_CHARGES_GRID_POINTS, " 1");
        d.user_click(IDC_CHARGES_GENERATE);
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_EQ(ui_->answers.messages[0].text, "Can not read data. Please, check data in boxes");
        EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
        EXPECT_TRUE(d.is_open());

        d.user_set_text(IDC_CHARGES_GRID_POINTS, "  6");
        d.user_set_text(IDC_CHARGES_ENVELOPE, "3.0");
        d.user_click(IDC_CHARGES_GENERATE);
        EXPECT_TRUE(d.is_open());
        d.user_click(IDC_CHARGES_CANCEL);
    });
    run_potential_charges_dialog();
    EXPECT_EQ(ui_->answers.messages.size(), 1u) << ui_->answers.message_log();
    EXPECT_EQ(charge_classes().class_count, 2);
    EXPECT_NEAR(charge_classes().charge[1] + charge_classes().charge[2], 0.0, 1e-12);
    bool reported = false;
    for (int k = 1; k <= text_pane_state().line_count; ++k)
        reported = reported || read_pane_line(k).rfind("    Number of grid points for V(r):  216", 0) == 0;
    EXPECT_TRUE(reported);
}

}  // namespace
