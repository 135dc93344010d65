// The critical-point search and bond-path dialogs as the user drives them:
// what they show, the page controls, the checks of typed boxes, the searches
// they start, STOP, Start Search and Cancel while a search runs, and the
// command states around them.
#include "keldana/shell/bond_path_dialog.h"
#include "keldana/shell/cp_search_dialog.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/topology_dialogs.h"
#include "keldana/topology/cp_search.h"
#include "keldana/topology/critical_point_list.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Acts on the dialog once it is open; a dialog the actions leave open is a
// failure and is cancelled so that the test goes on.
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

// Two nitrogen atoms, 1.0976 Angstrom apart along x, and a third atom far
// away; spherical atoms in a 20 Angstrom cubic cell.
const char* MODEL = R"(Nitrogen molecule and a neon atom
  20.0000  20.0000  20.0000  90.0000  90.0000  90.0000
 3 0
N1          0.472560    0.500000    0.500000     1.000000
N2          0.527440    0.500000    0.500000     1.000000
Ne1         0.100000    0.100000    0.100000     1.000000
     0     2     0   X     0     0   Y          /* atom: N1     */
[He]2s2 2p3
     2
  3.0000
 1.000000 1.000000
                                  5.0000
                                  0.0000
     0     2     0   X     0     0   Y          /* atom: N2     */
[He]2s2 2p3
     2
  3.0000
 1.000000 1.000000
                                  5.0000
                                  0.0000
     0     2     0   X     0     0   Y          /* atom: Ne1    */
[He]2s2 2p6
     2
  3.0000
 1.000000 1.000000
                                  8.0000
                                  0.0000
Space group P1
NON                  /P
     X         Y         Z
END
)";

class SearchDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_cp_dialog_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        {
            std::ofstream out(directory_ / "n2.kdn");
            out << MODEL;
        }
        RunSettings& settings = run_settings();
        settings.calculation = CalculationSettings{};
        apply_default_calculation_settings(settings.calculation);
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.file_dialog.dialog_path = (directory_ / "n2.kdn").string();
        settings.file_dialog.file_title = "n2.kdn";
        settings.paths.wavefun_bank_path.clear();
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / "n2.kdn").string();
        ui_->answers.message_answers.push_back(MessageAnswer::no);  // no cluster file
        ASSERT_TRUE(load_structure_file()) << ui_->answers.message_log();
        apply_default_calculation_settings(settings.calculation);
        ui_->answers.messages.clear();
        ui_->enabled_commands.clear();
        job_control() = JobControl{};
    }

    void TearDown() override
    {
        critical_point_list().cp_count = 0;
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

    ScopedScriptedUi ui_;
    fs::path previous_directory_;
    fs::path directory_;
};

const std::string BOX_ERROR = "Error!: Please, check data in boxes";

Dialog& page(Dialog& host, int resource)
{
    Dialog* p = host.get_page(resource);
    EXPECT_NE(p, nullptr);
    return *p;
}

// Tab order: "Atom-atom", "Point", "Ring/Cage", "Shell".
constexpr int POINT_TAB = 1, RING_TAB = 2, SHELL_TAB = 3;

}  // namespace

TEST_F(SearchDialogTest, OpensWithTheAtomsTheSettingsAndTheFirstPage)
{
    when_open([this](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_CP_SEARCH);
        EXPECT_EQ(ui_->command_menu_state, 0);  // commands greyed while it is open
        // (I3,2X,A8,2X,I2,2X,3F8.4)
        ASSERT_EQ(d.get_item_count(IDC_CP_ATOM_LIST), 3);
        EXPECT_EQ(d.get_item_text(IDC_CP_ATOM_LIST, 0), "  1  N1         1    0.4726  0.5000  0.5000");
        EXPECT_EQ(d.get_item_text(IDC_CP_ATOM_LIST, 2), "  3  Ne1        1    0.1000  0.1000  0.1000");
        EXPECT_EQ(d.get_text(IDC_CP_PROPERTY), " RHO     ");
        EXPECT_EQ(d.get_text(IDC_CP_AXIS_SYSTEM), "GLOBAL");
        EXPECT_EQ(d.get_text(IDC_CP_DERIVATIVES), "Numerical");
        EXPECT_EQ(d.get_selected_tab(IDC_CP_TABS), 0);
        Dialog& atoms = page(d, IDD_CP_PAGE_ATOMS);
        EXPECT_EQ(atoms.get_text(IDC_PAIR_FROM), "  1");
        EXPECT_EQ(atoms.get_text(IDC_PAIR_TO), "  2");
        EXPECT_FALSE(atoms.is_enabled(IDC_PAIR_FROM));
        EXPECT_EQ(atoms.get_text(IDC_MIN_DISTANCE), " 0.50");
        EXPECT_EQ(atoms.get_text(IDC_MAX_DISTANCE), " 2.50");
        EXPECT_FALSE(atoms.is_enabled(IDC_CLUSTER_K));  // only for EPOT
        EXPECT_EQ(atoms.get_text(IDC_CLUSTER_K), "1");
        EXPECT_TRUE(atoms.get_checked(IDC_ALL_LINES));
        EXPECT_FALSE(atoms.get_checked(IDC_SEARCH_HH));
        EXPECT_TRUE(atoms.get_checked(IDC_HBOND_FILTER));
        EXPECT_EQ(atoms.get_text(IDC_HBOND_ANGLE), " 90.0");
        Dialog& point = page(d, IDD_CP_PAGE_POINT);
        EXPECT_FALSE(point.get_checked(IDC_POINT_CARTESIAN));
        EXPECT_FALSE(point.get_checked(IDC_POINT_FRACTIONAL));
        EXPECT_EQ(page(d, IDD_CP_PAGE_SHELL).get_text(IDC_SHELL_ATOM), "  1");
        EXPECT_TRUE(d.user_click(IDC_SEARCH_CANCEL));
    });
    run_critical_point_search_dialog();
    EXPECT_EQ(ui_->command_menu_state, 1);
    EXPECT_TRUE(ui_->enabled_commands.empty());  // no points: no bond path
}

TEST_F(SearchDialogTest, StartSearchOnTheUntouchedDialogSearchesTheAtomPairs)
{
    const std::uint64_t revision = model_revision();
    when_open([revision](Dialog& d) {
        EXPECT_TRUE(d.user_click(IDC_START_SEARCH));
        EXPECT_TRUE(d.is_open());  // Start Search never ends the dialog
        EXPECT_EQ(critical_point_list().cp_count, 1);
        // The same lattice translations: the prepared model is kept.
        EXPECT_EQ(model_revision(), revision);
        EXPECT_TRUE(d.user_click(IDC_SEARCH_CANCEL));
    });
    run_critical_point_search_dialog();
    ASSERT_EQ(critical_point_list().cp_count, 1);
    EXPECT_EQ(critical_point_list().points[1].type, 2);
    EXPECT_EQ(ui_->enabled_commands, (std::vector<std::pair<int, bool>>{{CMD_BOND_PATH, true}}));
    EXPECT_EQ(ui_->command_menu_state, 1);
}

TEST_F(SearchDialogTest, AnotherJobGreysStartAndTheSettingsButNotCancel)
{
    when_open([this](Dialog& d) {
        {
            const JobScope other;  // a profile running beside the dialog
            set_critical_point_search_job_state(true);
            EXPECT_FALSE(d.is_enabled(IDC_START_SEARCH));
            EXPECT_FALSE(d.is_enabled(IDC_CP_TABS));
            EXPECT_TRUE(d.is_enabled(IDC_SEARCH_CANCEL));
            d.user_click(IDC_START_SEARCH);
            EXPECT_EQ(critical_point_list().cp_count, 0);
            set_critical_point_search_job_state(false);
        }
        EXPECT_TRUE(d.is_enabled(IDC_START_SEARCH));
        // Its own search is a job: no other starts while it runs.
        bool refused = false;
        ui_->on_pump = [&refused] { refused = refused || (job_in_progress() && !JobScope().started()); };
        EXPECT_TRUE(d.user_click(IDC_START_SEARCH));
        ui_->on_pump = nullptr;
        EXPECT_TRUE(refused);
        EXPECT_FALSE(job_in_progress());
        EXPECT_EQ(critical_point_list().cp_count, 1);
        EXPECT_TRUE(d.user_click(IDC_SEARCH_CANCEL));
    });
    run_critical_point_search_dialog();
}

TEST_F(SearchDialogTest, CertainLineSwitchesTheControlsAndChecksTheAtoms)
{
    when_open([this](Dialog& d) {
        Dialog& atoms = page(d, IDD_CP_PAGE_ATOMS);
        ASSERT_TRUE(atoms.user_click(IDC_CERTAIN_LINE));
        EXPECT_TRUE(atoms.is_enabled(IDC_PAIR_FROM));
        EXPECT_TRUE(atoms.is_enabled(IDC_PAIR_TO));
        for (int id : {IDC_SEARCH_HH, IDC_HBOND_FILTER, IDC_HBOND_ANGLE, IDC_MIN_DISTANCE, IDC_MAX_DISTANCE})
            EXPECT_FALSE(atoms.is_enabled(id)) << id;
        // The same atom twice: nothing to search, nothing said.
        atoms.user_set_text(IDC_PAIR_TO, "  1");
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(critical_point_list().cp_count, 0);
        EXPECT_TRUE(messages().empty());
        // An atom that does not exist.
        atoms.user_set_text(IDC_PAIR_TO, "  9");
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(messages(), std::vector<std::string>{BOX_ERROR});
        atoms.user_set_text(IDC_PAIR_TO, "abc");
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(messages().size(), 2u);
        // A far pair, beyond the distance filter of "all" lines, is searched.
        atoms.user_set_text(IDC_PAIR_TO, "  3");
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(messages().size(), 2u);
        ASSERT_TRUE(atoms.user_click(IDC_ALL_LINES));
        EXPECT_FALSE(atoms.is_enabled(IDC_PAIR_FROM));
        EXPECT_TRUE(atoms.is_enabled(IDC_HBOND_ANGLE));
        ASSERT_TRUE(atoms.user_set_checked(IDC_HBOND_FILTER, false));
        EXPECT_FALSE(atoms.is_enabled(IDC_HBOND_ANGLE));
        d.user_click(IDC_SEARCH_CANCEL);
    });
    run_critical_point_search_dialog();
    EXPECT_EQ(critical_point_search_settings().hbond_angle_filter, 1);  // read only by a search
}

TEST_F(SearchDialogTest, PointPageNeedsItsKindAndAllThreeCoordinates)
{
    when_open([this](Dialog& d) {
        ASSERT_TRUE(d.user_select(IDC_CP_TABS, POINT_TAB));
        Dialog& point = page(d, IDD_CP_PAGE_POINT);
        point.user_set_text(IDC_START_X, "10.0");
        point.user_set_text(IDC_START_Y, "10.0");
        point.user_set_text(IDC_START_Z, "10.0");
        d.user_click(IDC_START_SEARCH);  // neither Cartesian nor fractional
        ASSERT_TRUE(point.user_click(IDC_POINT_CARTESIAN));
        point.user_set_text(IDC_START_Z, "   ");
        d.user_click(IDC_START_SEARCH);  // a blank box
        EXPECT_EQ(messages(), (std::vector<std::string>{BOX_ERROR, BOX_ERROR}));
        EXPECT_EQ(critical_point_list().cp_count, 0);
        point.user_set_text(IDC_START_Z, "10.0");
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(critical_point_list().cp_count, 1);
        // The same point in fractional coordinates is found again: merged.
        ASSERT_TRUE(point.user_click(IDC_POINT_FRACTIONAL));
        point.user_set_text(IDC_START_X, "0.5");
        point.user_set_text(IDC_START_Y, "0.5");
        point.user_set_text(IDC_START_Z, "0.5");
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(critical_point_list().cp_count, 1);
        d.user_click(IDC_SEARCH_CANCEL);
    });
    run_critical_point_search_dialog();
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(SearchDialogTest, RingPageCollectsAtomsAndRefusesBadCounts)
{
    when_open([this](Dialog& d) {
        ASSERT_TRUE(d.user_select(IDC_CP_TABS, RING_TAB));
        Dialog& ring = page(d, IDD_CP_PAGE_RING);
        for (int atom : {0, 1, 2}) {
            ASSERT_TRUE(d.user_select(IDC_CP_ATOM_LIST, atom));
            ASSERT_TRUE(ring.user_click(IDC_RING_ADD));
        }
        EXPECT_EQ(ring.get_item_count(IDC_RING_ATOMS), 3);
        EXPECT_EQ(ring.get_text(IDC_RING_COUNT), "  3");
        EXPECT_EQ(ring.get_item_text(IDC_RING_ATOMS, 2), d.get_item_text(IDC_CP_ATOM_LIST, 2));
        EXPECT_EQ(ring.get_selected_index(IDC_RING_ATOMS), 2);
        ASSERT_TRUE(ring.user_click(IDC_RING_REMOVE));  // the selected, last one
        EXPECT_EQ(ring.get_item_count(IDC_RING_ATOMS), 2);
        EXPECT_EQ(ring.get_text(IDC_RING_COUNT), "  2");
        EXPECT_EQ(ring.get_selected_index(IDC_RING_ATOMS), 1);
        // Counts typed by hand beyond the list or the ring's room.
        for (const char* count : {"  3", "200", " -1", " x "}) {
            ring.user_set_text(IDC_RING_COUNT, count);
            d.user_click(IDC_START_SEARCH);
        }
        EXPECT_EQ(messages(), std::vector<std::string>(4, BOX_ERROR));
        // The two nitrogen atoms: their centroid is the bond point.
        ring.user_set_text(IDC_RING_COUNT, "  2");
        d.user_click(IDC_START_SEARCH);
        ASSERT_EQ(critical_point_list().cp_count, 1);
        EXPECT_EQ(ring_atom_list().ring_atom_count, 2);
        d.user_click(IDC_SEARCH_CANCEL);
    });
    run_critical_point_search_dialog();
}

TEST_F(SearchDialogTest, ShellPageNeedsEveryBoxAndAGrid)
{
    when_open([this](Dialog& d) {
        ASSERT_TRUE(d.user_select(IDC_CP_TABS, SHELL_TAB));
        Dialog& shell = page(d, IDD_CP_PAGE_SHELL);
        d.user_click(IDC_START_SEARCH);  // blank boxes
        const std::vector<std::pair<int, const char*>> boxes = {
            {IDC_SHELL_R_MIN, "0.4"}, {IDC_SHELL_R_MAX, "0.7"}, {IDC_SHELL_N_RAD, "2"},
            {IDC_SHELL_N_THETA, "1"}, {IDC_SHELL_N_PHI, "5"},   {IDC_SHELL_CUT, "1000"}};
        for (const auto& [id, text] : boxes)
            shell.user_set_text(id, text);
        d.user_click(IDC_START_SEARCH);  // nTheta 1: no polar step
        shell.user_set_text(IDC_SHELL_N_THETA, "5");
        shell.user_set_text(IDC_SHELL_ATOM, " 12");
        d.user_click(IDC_START_SEARCH);  // no atom 12
        EXPECT_EQ(messages(), std::vector<std::string>(3, BOX_ERROR));
        shell.user_set_text(IDC_SHELL_ATOM, "  1");
        ASSERT_TRUE(shell.user_set_checked(IDC_SHELL_SHOW_INSIDE, true));
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(critical_point_list().cp_count, 1);  // the bond point, 0.549 from N1
        d.user_click(IDC_SEARCH_CANCEL);
    });
    run_critical_point_search_dialog();
    // The show-inside flag is kept for the next opening.
    when_open([](Dialog& d) {
        EXPECT_TRUE(page(d, IDD_CP_PAGE_SHELL).get_checked(IDC_SHELL_SHOW_INSIDE));
        d.user_click(IDC_SEARCH_CANCEL);
    });
    run_critical_point_search_dialog();
}

TEST_F(SearchDialogTest, StartSearchIsIgnoredAndCancelDeferredWhileASearchRuns)
{
    Dialog* open = nullptr;
    bool pressed = false;
    bool open_after_cancel = false;
    ui_->on_pump = [&] {
        if (pressed || !open || !critical_point_search_running())
            return;
        pressed = true;
        open->user_click(IDC_START_SEARCH);
        open->user_click(IDC_SEARCH_CANCEL);
        open_after_cancel = open->is_open();
    };
    QTimer::singleShot(0, [&] {
        open = topmost_dialog();
        ASSERT_NE(open, nullptr);
        open->user_click(IDC_START_SEARCH);
        EXPECT_FALSE(open->is_open());  // the deferred Cancel ended it after the search
    });
    run_critical_point_search_dialog();
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(open_after_cancel);
    EXPECT_EQ(critical_point_list().cp_count, 1);  // one search, not two
    EXPECT_EQ(ui_->command_menu_state, 1);
}

TEST_F(SearchDialogTest, StopEndsASearchStartedFromTheDialog)
{
    ui_->on_pump = [] { job_control().stop_requested = true; };
    when_open([](Dialog& d) {
        d.user_click(IDC_START_SEARCH);
        EXPECT_EQ(critical_point_list().cp_count, 0);  // stopped in the first Newton step
        EXPECT_FALSE(job_control().stop_requested);    // cleared when the search ended
        d.user_click(IDC_SEARCH_CANCEL);
    });
    run_critical_point_search_dialog();
}

TEST_F(SearchDialogTest, NoDialogWithoutAWavefunctionBank)
{
    bank_loaded() = 0;
    run_settings().file_dialog.start_directory = directory_.string();  // no bank there
    run_critical_point_search_dialog();  // returns at once: no dialog waits for the user
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("Not found wavefunctions file"), std::string::npos);
    EXPECT_EQ(ui_->command_menu_state, 1);
    run_settings().file_dialog.start_directory = KD_RUNTIME_DIR;
}

TEST_F(SearchDialogTest, BondPathDialogAnswersInItsResultLine)
{
    CriticalPointSearchRequest request;
    run_critical_point_search(request, 3);  // the N1-N2 bond point
    CriticalPoint ring_point;
    ring_point.type = 3;
    append_critical_point(critical_point_list(), ring_point);
    ASSERT_EQ(critical_point_list().cp_count, 2);
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_BOND_PATH);
        EXPECT_EQ(d.get_text(IDC_BOND_PATH_COUNT), "Total number of CP =   2");
        const std::vector<std::pair<const char*, const char*>> answers = {
            {"0", "No CP with this number! See the total number of CP!"},
            {"  3", "No CP with this number! See the total number of CP!"},
            {"", "No CP with this number! See the total number of CP!"},
            {"x", "No CP with this number! See the total number of CP!"},
            {"  2", " This is not a (3,-1) CP in Rho! "},
            {"1", "Path for a (3,-1) CP number  1 calculated"},
        };
        for (const auto& [typed, answer] : answers) {
            d.user_set_text(IDC_BOND_PATH_CP, typed);
            d.user_click(IDC_BOND_PATH_CALCULATE);
            EXPECT_EQ(d.get_text(IDC_BOND_PATH_RESULT), answer) << typed;
            EXPECT_TRUE(d.is_open());
        }
        d.user_click(IDC_BOND_PATH_CANCEL);
    });
    run_bond_path_dialog();
}
