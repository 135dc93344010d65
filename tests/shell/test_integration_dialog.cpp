// The "Integration of the Property" dialog as the user drives it: what it
// shows, the mode buttons and the atom lists, the checks of the typed boxes,
// surfaces computed, written and read back, basin volumes, Cancel, and what
// the dialog leaves behind.
#include "keldana/shell/integration_dialog.h"

#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/resources/integration_dialog_resource.h"
#include "keldana/topology/basin_integration.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/interatomic_surface.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Acts on the dialog once it is open; a dialog the actions leave open is a
// failure and is closed so that the test goes on.
void when_open(std::function<void(Dialog&)> actions)
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
const char* MODEL = R"(Two carbon atoms
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

const std::string BOX_ERROR = "Error!: Can not read data. Please, check data in boxes";

class IntegrationDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_integration_dialog_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        {
            std::ofstream out(directory_ / "c2.kdn");
            out << MODEL;
        }
        RunSettings& settings = run_settings();
        settings.calculation = CalculationSettings{};
        apply_default_calculation_settings(settings.calculation);
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.file_dialog.dialog_path = (directory_ / "c2.kdn").string();
        settings.file_dialog.file_title = "c2.kdn";
        settings.paths.wavefun_bank_path.clear();
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / "c2.kdn").string();
        ui_->answers.message_answers.push_back(MessageAnswer::no);  // no cluster file
        ASSERT_TRUE(load_structure_file()) << ui_->answers.message_log();
        apply_default_calculation_settings(settings.calculation);
        ui_->answers.messages.clear();
        job_control() = JobControl{};
        critical_point_list().cp_count = 0;
    }

    void TearDown() override
    {
        ui_->on_pump = nullptr;
        critical_point_list().cp_count = 0;
        interatomic_surface_table().ias_present.fill(0);
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    std::vector<std::string> messages()
    {
        std::vector<std::string> texts;
        for (const ShownMessage& m : ui_->answers.messages)
            texts.push_back(m.caption + ": " + m.text);
        return texts;
    }

    std::vector<std::string> pane_lines()
    {
        std::vector<std::string> lines;
        for (int k = 1; k <= text_pane_state().line_count; ++k) {
            std::string line = read_pane_line(k);
            line.erase(line.find_last_not_of(' ') + 1);
            lines.push_back(line);
        }
        return lines;
    }

    // Surfaces of both atoms on a coarse grid, from inside the dialog.
    void compute_surfaces(Dialog& d)
    {
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_ALL_RIGHT));
        EXPECT_TRUE(d.user_set_checked(IDC_INTEGRATION_IAS, true));
        EXPECT_TRUE(d.user_set_text(IDC_INTEGRATION_THETA, "  8"));
        EXPECT_TRUE(d.user_set_text(IDC_INTEGRATION_PHI, "  6"));
        EXPECT_TRUE(d.user_set_text(IDC_CLUSTER_RADIUS, " 4.00"));
        EXPECT_TRUE(d.user_set_text(IDC_IAS_FILE, (directory_ / "pair.ias").string()));
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_START));
    }

    ScopedScriptedUi ui_;
    fs::path previous_directory_;
    fs::path directory_;
};

}  // namespace

TEST_F(IntegrationDialogTest, OpensWithTheAtomsAndTheDefaults)
{
    run_settings().output_files.ias_file_name = "c2.ias";
    when_open([this](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_INTEGRATION);
        EXPECT_EQ(ui_->command_menu_state, 0);
        ASSERT_EQ(d.get_item_count(IDC_INTEGRATION_ATOMS), 2);
        EXPECT_EQ(d.get_item_text(IDC_INTEGRATION_ATOMS, 0), "  1  C1    ");
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_SELECTED), 0);
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_THETA), 22);
        EXPECT_EQ(d.get_item_text(IDC_INTEGRATION_THETA, 0), "  2");
        EXPECT_EQ(d.get_item_text(IDC_INTEGRATION_PHI, 21), "120");
        EXPECT_EQ(d.get_text(IDC_INTEGRATION_THETA), " 32");
        EXPECT_EQ(d.get_text(IDC_INTEGRATION_PHI), " 48");
        EXPECT_EQ(d.get_text(IDC_INTEGRATION_PROP), " RHO     ");
        EXPECT_TRUE(d.get_checked(IDC_INTEGRATION_PROP));
        EXPECT_FALSE(d.get_checked(IDC_INTEGRATION_IAS));
        EXPECT_EQ(d.get_text(IDC_IAS_TOLERANCE), "0.0005");
        EXPECT_EQ(d.get_text(IDC_INTEGRATION_TOLERANCE), "0.0005");
        EXPECT_EQ(d.get_text(IDC_CLUSTER_RADIUS), "10.00");
        EXPECT_EQ(d.get_text(IDC_STEP_FACTOR), "0.0150");
        EXPECT_EQ(d.get_text(IDC_IAS_FILE), "c2.ias");
        for (int id : {IDC_IAS_FILE, IDC_IAS_SAVE, IDC_IAS_TOLERANCE})
            EXPECT_FALSE(d.is_enabled(id)) << id;
        for (int id : {IDC_INTEGRATION_PROPERTY, IDC_INTEGRATION_TOLERANCE, IDC_IAS_OPEN})
            EXPECT_TRUE(d.is_enabled(id)) << id;

        // "IAS" turns the surface controls on and the integration ones off.
        EXPECT_TRUE(d.user_set_checked(IDC_INTEGRATION_IAS, true));
        for (int id : {IDC_IAS_FILE, IDC_IAS_SAVE, IDC_IAS_TOLERANCE})
            EXPECT_TRUE(d.is_enabled(id)) << id;
        for (int id : {IDC_INTEGRATION_PROPERTY, IDC_INTEGRATION_TOLERANCE, IDC_IAS_READ_LIST, IDC_IAS_OPEN})
            EXPECT_FALSE(d.is_enabled(id)) << id;
        EXPECT_TRUE(d.user_set_checked(IDC_INTEGRATION_VOLUME, true));
        EXPECT_FALSE(d.get_checked(IDC_INTEGRATION_IAS));
        EXPECT_FALSE(d.is_enabled(IDC_IAS_SAVE));
        EXPECT_TRUE(d.is_enabled(IDC_IAS_OPEN));
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_EXIT));
    });
    run_integration_dialog();
    EXPECT_EQ(ui_->command_menu_state, 1);
}

TEST_F(IntegrationDialogTest, ListButtonsMoveAtomsBetweenTheLists)
{
    when_open([](Dialog& d) {
        EXPECT_TRUE(d.user_select(IDC_INTEGRATION_ATOMS, 1));
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_RIGHT));
        ASSERT_EQ(d.get_item_count(IDC_INTEGRATION_SELECTED), 1);
        // (I3,2X,A6,4X,A,4X,F16.4,2X,F8.3): no surface known yet.
        EXPECT_EQ(d.get_item_text(IDC_INTEGRATION_SELECTED, 0),
                  "  2  C2                       0.0000     0.000");
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_ATOMS), 1);
        // "<<" without a selected line changes nothing.
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_LEFT));
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_SELECTED), 1);
        EXPECT_TRUE(d.user_select(IDC_INTEGRATION_SELECTED, 0));
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_LEFT));
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_SELECTED), 0);
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_ALL_RIGHT));
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_SELECTED), 2);
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_ATOMS), 0);
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_ALL_LEFT));
        EXPECT_EQ(d.get_item_count(IDC_INTEGRATION_ATOMS), 2);
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_EXIT));
    });
    run_integration_dialog();
}

TEST_F(IntegrationDialogTest, BoxesThatCannotBeUsedAreRefused)
{
    struct Case {
        const char* name;
        bool surfaces;
        int id;
        const char* text;
    };
    const Case cases[] = {
        {"cluster radius not a number", false, IDC_CLUSTER_RADIUS, "abc"},
        {"blank integration tolerance", false, IDC_INTEGRATION_TOLERANCE, ""},
        {"theta points the rule does not know", false, IDC_INTEGRATION_THETA, "  5"},
        {"phi points beyond the rules", false, IDC_INTEGRATION_PHI, "200"},
        {"surface grid below the fit", true, IDC_INTEGRATION_THETA, "  2"},
        {"surface grid past the table", true, IDC_INTEGRATION_PHI, "121"},
        {"surface tolerance not a number", true, IDC_IAS_TOLERANCE, "x"},
        {"negative cluster radius", true, IDC_CLUSTER_RADIUS, "-1.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_->answers.messages.clear();
        when_open([&c](Dialog& d) {
            EXPECT_TRUE(d.user_click(IDC_INTEGRATION_ALL_RIGHT));
            if (c.surfaces) {
                EXPECT_TRUE(d.user_set_checked(IDC_INTEGRATION_IAS, true));
            }
            EXPECT_TRUE(d.user_set_text(c.id, c.text));
            EXPECT_TRUE(d.user_click(IDC_INTEGRATION_START));
            EXPECT_TRUE(d.is_enabled(IDC_INTEGRATION_START));
            EXPECT_TRUE(d.is_enabled(IDC_INTEGRATION_EXIT));
            EXPECT_TRUE(d.user_click(IDC_INTEGRATION_EXIT));
        });
        run_integration_dialog();
        EXPECT_EQ(messages(), std::vector<std::string>{BOX_ERROR});
    }
    EXPECT_EQ(interatomic_surface_table().ias_present[1], 0);
    EXPECT_FALSE(fs::exists(directory_ / "c2.ias"));
}

TEST_F(IntegrationDialogTest, StepFactorIsClampedWhenRead)
{
    when_open([](Dialog& d) {
        EXPECT_TRUE(d.user_set_checked(IDC_INTEGRATION_IAS, true));
        EXPECT_TRUE(d.user_set_text(IDC_IAS_FILE, "x.ias"));
        BasinJobRequest request;
        for (const auto& [typed, used] : {std::pair{"0.5", 0.1}, {"0.00001", 0.0001}, {"0.02", 0.02}}) {
            EXPECT_TRUE(d.user_set_text(IDC_STEP_FACTOR, typed));
            EXPECT_TRUE(read_integration_request(d, request));
            EXPECT_DOUBLE_EQ(request.step_factor, used);
        }
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_EXIT));
    });
    run_integration_dialog();
}

TEST_F(IntegrationDialogTest, SurfacesAreWrittenReadBackAndIntegrated)
{
    critical_point_list().cp_count = 2;  // the user's search results
    const double r_cut = run_settings().calculation.rCut;
    when_open([this](Dialog& d) {
        compute_surfaces(d);
        EXPECT_TRUE(messages().empty()) << ui_->answers.message_log();
        EXPECT_TRUE(fs::exists(directory_ / "pair.ias"));
        EXPECT_EQ(interatomic_surface_table().ias_present[1], 1);
        EXPECT_EQ(interatomic_surface_table().ias_present[2], 1);
        EXPECT_EQ(d.get_item_text(IDC_INTEGRATION_SELECTED, 0).substr(0, 16), "  1  C1        *");
        EXPECT_TRUE(d.get_checked(IDC_INTEGRATION_PROP));
        EXPECT_FALSE(d.get_checked(IDC_INTEGRATION_IAS));
        EXPECT_TRUE(d.is_enabled(IDC_INTEGRATION_START));
        EXPECT_EQ(current_model().atoms.atom_count, 2);  // the cluster is restored

        // The file read back: its grid shows in the point boxes.
        ui_->answers.file_answers.push_back((directory_ / "pair.ias").string());
        EXPECT_TRUE(d.user_set_text(IDC_INTEGRATION_THETA, " 32"));
        EXPECT_TRUE(d.user_click(IDC_IAS_OPEN));
        EXPECT_EQ(d.get_text(IDC_INTEGRATION_THETA), "  8");
        EXPECT_EQ(d.get_text(IDC_INTEGRATION_PHI), "  6");
        ASSERT_EQ(d.get_item_count(IDC_IAS_READ_LIST), 1);
        EXPECT_EQ(d.get_item_text(IDC_IAS_READ_LIST, 0), (directory_ / "pair.ias").string());

        // Volumes of both basins.
        EXPECT_TRUE(d.user_set_checked(IDC_INTEGRATION_VOLUME, true));
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_START));
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_EXIT));
    });
    run_integration_dialog();
    EXPECT_TRUE(messages().empty()) << ui_->answers.message_log();
    const BasinIntegrationResults& results = basin_integration_results();
    EXPECT_GT(results.basin_volume[1], 10.0);
    EXPECT_GT(results.basin_volume[2], 10.0);
    EXPECT_EQ(results.basin_property_integral[1], 0.0);

    const std::vector<std::string> lines = pane_lines();
    auto has = [&lines](const std::string& text) { return std::find(lines.begin(), lines.end(), text) != lines.end(); };
    EXPECT_TRUE(has(" INTEGRATED PROPERTY WITHIN ATOMIC BASIN"));
    // (2X,' num  atom',7X,A9,5X,'CPU time (sec)')
    EXPECT_TRUE(has("   num  atom        VOLUME       CPU time (sec)"));
    EXPECT_TRUE(has("  ---------------------------------------------"));
    int rows = 0, totals = 0;
    for (const std::string& line : lines) {
        rows += line.rfind("    1   C1    ", 0) == 0 || line.rfind("    2   C2    ", 0) == 0;
        totals += line.rfind("    TOTAL   ", 0) == 0;
    }
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(totals, 1);

    // Closing drops the surface search's points, not the user's.
    EXPECT_EQ(critical_point_list().cp_count, 2);
    EXPECT_EQ(surface_critical_points().cp_count, 0);
    EXPECT_EQ(run_settings().calculation.rCut, r_cut);
    EXPECT_EQ(ui_->command_menu_state, 1);
}

TEST_F(IntegrationDialogTest, CancelRestoresTheClusterAndKeepsTheSearchResults)
{
    critical_point_list().cp_count = 2;
    current_model().atoms.subset_mask[2] = 0;
    // Cancel confirmed at the first look while the progress dialog is up.
    bool cancelled = false;
    ui_->on_pump = [this, &cancelled] {
        if (ui_->progress_open) {
            cancelled = true;
            job_control().job_running = false;
        }
    };
    when_open([this](Dialog& d) {
        compute_surfaces(d);
        EXPECT_TRUE(d.is_enabled(IDC_INTEGRATION_START));
        EXPECT_TRUE(d.user_click(IDC_INTEGRATION_EXIT));
    });
    run_integration_dialog();
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(messages().empty()) << ui_->answers.message_log();
    EXPECT_EQ(current_model().atoms.atom_count, 2);
    EXPECT_EQ(current_model().atoms.subset_mask[2], 0);
    EXPECT_EQ(critical_point_list().cp_count, 2);
    EXPECT_EQ(interatomic_surface_table().ias_present[1], 0);
    EXPECT_FALSE(ui_->progress_open);
}
