// The MAP dialog, the line-profile dialog and the map file operations as the
// user drives them: what they show, the rules that enable their controls,
// the GRID page's arithmetic, a plane, a grid map and a trajectory map
// computed through the dialog, bad boxes refused with the dialog left open,
// and a cancelled map.
#include "keldana/shell/line_profile_dialog.h"
#include "keldana/shell/map_dialog.h"
#include "keldana/shell/map_file_operations_dialog.h"

#include "../properties/test_map_support.h"
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/worker_pool.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/text_fields.h"
#include "keldana/properties/line_profile.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/map_dialogs.h"
#include "keldana/topology/basin_integration_workers.h"

#include <QColor>
#include <QCoreApplication>
#include <QDialog>
#include <QImage>
#include <QWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace map_tests;

constexpr int TAB_VECTORS = 1;
constexpr int TAB_CENTRE = 2;
constexpr int TAB_GRID = 3;
constexpr int TAB_TRAJECTORY = 4;
constexpr double PI = 3.14159265358979323846;
const std::string GRID_ERROR = "Error!: Can not read data. Please, check GRID data in boxes";

double hydrogen_density(double r) { return std::exp(-2.0 * r / BOHR) / (PI * BOHR * BOHR * BOHR); }

// Acts on the dialog once it is open; a dialog the actions leave open is
// closed so that the test goes on.
void when_open(std::function<void(Dialog&)> actions, bool leave_open_is_failure = false)
{
    QTimer::singleShot(0, [actions, leave_open_is_failure] {
        Dialog* dialog = topmost_dialog();
        ASSERT_NE(dialog, nullptr);
        actions(*dialog);
        if (dialog->is_open()) {
            if (leave_open_is_failure)
                ADD_FAILURE() << "the dialog was left open";
            dialog->end(2);
        }
    });
}

class MapDialogTest : public MapTest {
protected:
    void SetUp() override
    {
        MapTest::SetUp();
        property_selection().property_code = 3;
    }

    void TearDown() override
    {
        property_selection().property_code = 3;
        MapTest::TearDown();
    }

    std::vector<std::string> messages()
    {
        std::vector<std::string> texts;
        for (const ShownMessage& m : ui_->answers.messages)
            texts.push_back(m.caption + ": " + m.text);
        return texts;
    }

    static Dialog& page(Dialog& host, int resource) { return *host.get_page(resource); }

    static std::vector<std::string> items(Dialog& host)
    {
        std::vector<std::string> lines;
        for (int k = 0; k < host.get_item_count(IDC_MAP_OUT_BOX); ++k)
            lines.push_back(host.get_item_text(IDC_MAP_OUT_BOX, k));
        return lines;
    }

    // The plane of the default basis vectors (x, y) through atom 1, for a
    // map of the given type radio.
    static void calculate_default_plane(Dialog& host, int map_type = IDC_MAP_2D)
    {
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_VECTORS));
        ASSERT_TRUE(page(host, IDD_MAP_PAGE_VECTORS).user_click(IDC_PLANE_OK));
        ASSERT_EQ(host.get_selected_tab(IDC_MAP_TABS), TAB_CENTRE);
        ASSERT_TRUE(page(host, IDD_MAP_PAGE_CENTRE).user_click(map_type));
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_PLANE));
    }

    static void type_window(Dialog& grid, const std::vector<std::pair<int, std::string>>& boxes)
    {
        for (const auto& [id, text] : boxes)
            ASSERT_TRUE(grid.user_set_text(id, text)) << id;
    }
};

TEST_F(MapDialogTest, OpeningShowsTheAtomsAndTheDefaults)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    run_settings().output_files.map_file_name = "other.dat";
    bool checked = false;
    when_open([&](Dialog& host) {
        checked = true;
        EXPECT_EQ(host.get_resource_id(), IDD_MAP);
        EXPECT_EQ(ui_->command_menu_state, 0);
        EXPECT_EQ(host.get_text(IDC_MAP_FILE), "map.dat");
        EXPECT_EQ(host.get_text(IDC_POST_FILE), "map.pos");
        EXPECT_EQ(host.get_text(IDC_MAP_PROPERTY), " RHO     ");
        std::string head = "num  atom     mask     x       y       z";
        head.resize(60, ' ');
        const std::vector<std::string> atom_list = {head, "  1  H1         1    0.0000  0.0000  0.0000"};
        EXPECT_EQ(items(host), atom_list);
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_PLANE));
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP));
        EXPECT_EQ(host.get_selected_tab(IDC_MAP_TABS), 0);

        Dialog& atoms = page(host, IDD_MAP_PAGE_ATOMS);
        EXPECT_EQ(atoms.get_text(IDC_POINT_1_ATOM), "  1");
        EXPECT_EQ(atoms.get_text(1202), "   0.00000");
        Dialog& vectors = page(host, IDD_MAP_PAGE_VECTORS);
        EXPECT_EQ(vectors.get_text(1202), " 1.00000");
        EXPECT_EQ(vectors.get_text(1206), " 1.00000");
        EXPECT_EQ(vectors.get_text(1203), " 0.00000");
        Dialog& centre = page(host, IDD_MAP_PAGE_CENTRE);
        EXPECT_TRUE(centre.get_checked(IDC_MAP_2D));
        EXPECT_TRUE(centre.get_checked(IDC_CENTRE_ATOM));
        EXPECT_EQ(centre.get_text(IDC_PLANE_SHIFT), "0.000");
        EXPECT_TRUE(centre.is_enabled(IDC_POINT_1_ATOM));
        EXPECT_FALSE(centre.is_enabled(IDC_POINT_2_ATOM));
        EXPECT_FALSE(centre.is_enabled(IDC_CENTRE_X));
        EXPECT_TRUE(centre.is_enabled(IDC_MAP_PATHGRAF));
        Dialog& grid = page(host, IDD_MAP_PAGE_GRID);
        EXPECT_FALSE(grid.is_enabled(IDC_GRID_X_MIN));
        EXPECT_FALSE(grid.is_enabled(IDC_MAP_CLUSTER_K));
        EXPECT_EQ(grid.get_text(IDC_MAP_CLUSTER_M), "1");
        Dialog& trajectory = page(host, IDD_MAP_PAGE_TRAJECTORY);
        EXPECT_EQ(trajectory.get_text(IDC_PATH_COUNT), " 36");
        EXPECT_EQ(trajectory.get_text(IDC_PATH_START), "0.100");
        EXPECT_EQ(trajectory.get_text(IDC_PATH_STEP), "0.010");
        EXPECT_EQ(trajectory.get_text(IDC_PATH_END_VALUE), "0.10E-04");
        EXPECT_EQ(trajectory.get_text(IDC_OUT_OF_PLANE), "0.300");
        EXPECT_TRUE(trajectory.is_enabled(IDC_MAP_CLUSTER_K));
        EXPECT_FALSE(trajectory.is_enabled(IDC_PATH_COUNT));
        EXPECT_EQ(text_field_string(map_definition().page_key), "ATOMS");

        // The post name follows the map name.
        ASSERT_TRUE(host.user_set_text(IDC_MAP_FILE, "a.b.data"));
        EXPECT_EQ(host.get_text(IDC_POST_FILE), "a.b.pos");
        ASSERT_TRUE(host.user_set_text(IDC_MAP_FILE, "result"));
        EXPECT_EQ(host.get_text(IDC_POST_FILE), "result");
        host.user_click(IDC_MAP_CANCEL);
    });
    run_map_dialog();
    EXPECT_TRUE(checked);
    EXPECT_EQ(ui_->command_menu_state, 1);
    when_open([](Dialog& host) {
        EXPECT_EQ(host.get_text(IDC_MAP_FILE), "map.dat");
        EXPECT_EQ(host.get_text(IDC_POST_FILE), "map.pos");
    });
    run_map_dialog();
}

TEST_F(MapDialogTest, TrajectoriesAreRefusedForFieldEnergyAndGradientNorm)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    for (int code : {22, 24, 23}) {
        property_selection().property_code = code;
        when_open([code](Dialog& host) {
            EXPECT_EQ(page(host, IDD_MAP_PAGE_CENTRE).is_enabled(IDC_MAP_PATHGRAF), code == 23) << code;
            EXPECT_TRUE(page(host, IDD_MAP_PAGE_CENTRE).is_enabled(IDC_MAP_3D));
        });
        run_map_dialog();
    }
}

TEST_F(MapDialogTest, CentreAndTypeRadiosEnableTheirBoxes)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    when_open([](Dialog& host) {
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_CENTRE));
        EXPECT_EQ(text_field_string(map_definition().page_key), "CENT");
        EXPECT_TRUE(host.is_enabled(IDC_CALCULATE_PLANE));
        Dialog& centre = page(host, IDD_MAP_PAGE_CENTRE);
        ASSERT_TRUE(centre.user_click(IDC_CENTRE_TWO_ATOMS));
        EXPECT_TRUE(centre.is_enabled(IDC_POINT_2_ATOM));
        EXPECT_FALSE(centre.is_enabled(IDC_POINT_3_ATOM));
        ASSERT_TRUE(centre.user_click(IDC_CENTRE_THREE_ATOMS));
        EXPECT_TRUE(centre.is_enabled(IDC_POINT_3_ATOM));
        ASSERT_TRUE(centre.user_click(IDC_CENTRE_POINT));
        EXPECT_FALSE(centre.is_enabled(IDC_POINT_1_ATOM));
        EXPECT_TRUE(centre.is_enabled(IDC_CENTRE_Z));
        ASSERT_TRUE(centre.user_click(IDC_MAP_3D));
        EXPECT_FALSE(centre.is_enabled(IDC_PLANE_SHIFT));
        ASSERT_TRUE(centre.user_click(IDC_MAP_PATHGRAF));
        EXPECT_TRUE(centre.is_enabled(IDC_PLANE_SHIFT));
    });
    run_map_dialog();
}

TEST_F(MapDialogTest, GridStepAndPointsFollowEachOther)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    when_open([](Dialog& host) {
        calculate_default_plane(host);
        ASSERT_EQ(host.get_selected_tab(IDC_MAP_TABS), TAB_GRID);
        Dialog& grid = page(host, IDD_MAP_PAGE_GRID);
        EXPECT_FALSE(grid.is_enabled(IDC_GRID_Z_MIN));
        EXPECT_FALSE(grid.is_enabled(IDC_MAP_CLUSTER_K));
        type_window(grid, {{IDC_GRID_X_MIN, "0"}, {IDC_GRID_X_MAX, "4"}, {IDC_GRID_X_STEP, "0.5"}});
        EXPECT_EQ(grid.get_text(IDC_GRID_X_POINTS), "9");
        type_window(grid, {{IDC_GRID_X_POINTS, "5"}});
        EXPECT_EQ(grid.get_text(IDC_GRID_X_STEP), "1.0000");
        // A step of 0 or below, or one point, changes nothing.
        type_window(grid, {{IDC_GRID_X_STEP, "0"}});
        EXPECT_EQ(grid.get_text(IDC_GRID_X_POINTS), "5");
        type_window(grid, {{IDC_GRID_X_STEP, "-1"}, {IDC_GRID_X_POINTS, "1"}});
        EXPECT_EQ(grid.get_text(IDC_GRID_X_STEP), "-1");
        // Changing a limit recounts the points from the step.
        type_window(grid, {{IDC_GRID_Y_MIN, "-1"}, {IDC_GRID_Y_MAX, "1"}, {IDC_GRID_Y_STEP, "0.25"}});
        EXPECT_EQ(grid.get_text(IDC_GRID_Y_POINTS), "9");
        type_window(grid, {{IDC_GRID_Y_MAX, "2"}});
        EXPECT_EQ(grid.get_text(IDC_GRID_Y_POINTS), "13");
    });
    run_map_dialog();
}

TEST_F(MapDialogTest, TabsReenableCalculateMapOnlyForAPlaneFromOkOrA3dMap)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    when_open([](Dialog& host) {
        Dialog& grid = page(host, IDD_MAP_PAGE_GRID);
        // The default axes without "Ok".
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_CENTRE));
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_PLANE));
        EXPECT_EQ(host.get_selected_tab(IDC_MAP_TABS), TAB_GRID);
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_PLANE));
        type_window(grid, {{IDC_GRID_X_MIN, "-1"}, {IDC_GRID_X_MAX, "1"}, {IDC_GRID_X_POINTS, "3"},
                           {IDC_GRID_Y_MIN, "-1"}, {IDC_GRID_Y_MAX, "1"}, {IDC_GRID_Y_POINTS, "3"}});
        EXPECT_TRUE(host.is_enabled(IDC_CALCULATE_MAP));
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, 0));
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP));
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_GRID));
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP));
        // A 3-D map.
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_CENTRE));
        ASSERT_TRUE(page(host, IDD_MAP_PAGE_CENTRE).user_click(IDC_MAP_3D));
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_PLANE));
        EXPECT_TRUE(grid.is_enabled(IDC_GRID_Z_POINTS));
        type_window(grid, {{IDC_GRID_Z_MIN, "-1"}, {IDC_GRID_Z_MAX, "1"}, {IDC_GRID_Z_POINTS, "3"}});
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_CENTRE));
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_GRID));
        EXPECT_TRUE(host.is_enabled(IDC_CALCULATE_MAP));
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_TRAJECTORY));
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_PLANE));
        // The trajectory page after "Ok".
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_VECTORS));
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP));
        ASSERT_TRUE(page(host, IDD_MAP_PAGE_VECTORS).user_click(IDC_PLANE_OK));
        EXPECT_TRUE(map_definition().plane_from_vectors);
        EXPECT_FALSE(page(host, IDD_MAP_PAGE_CENTRE).is_enabled(IDC_PLANE_SHIFT));
        ASSERT_TRUE(page(host, IDD_MAP_PAGE_CENTRE).user_click(IDC_MAP_PATHGRAF));
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_PLANE));
        type_window(page(host, IDD_MAP_PAGE_TRAJECTORY),
                    {{IDC_GRID_X_MIN, "-1"}, {IDC_GRID_X_MAX, "1"}, {IDC_GRID_Y_MIN, "-1"}, {IDC_GRID_Y_MAX, "1"}});
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_VECTORS));
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_TRAJECTORY));
        EXPECT_TRUE(host.is_enabled(IDC_CALCULATE_MAP));
    });
    run_map_dialog();
}

TEST_F(MapDialogTest, CalculateMapWaitsForBoxesThatHoldValues)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    when_open([this](Dialog& host) {
        // A plane from "Ok" on the ATOMS page: the GRID and TRAJECTORY boxes
        // are still greyed and empty, so there is nothing to calculate.
        ASSERT_TRUE(page(host, IDD_MAP_PAGE_ATOMS).user_click(IDC_PLANE_OK));
        EXPECT_TRUE(map_definition().plane_from_points);
        for (int tab : {TAB_GRID, TAB_TRAJECTORY}) {
            ASSERT_TRUE(host.user_select(IDC_MAP_TABS, tab));
            EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP)) << tab;
            EXPECT_FALSE(host.user_click(IDC_CALCULATE_MAP));
        }
        EXPECT_TRUE(messages().empty()) << ui_->answers.message_log();
        // After "Calculate Plane" it waits for every box the map reads.
        calculate_default_plane(host);
        Dialog& grid = page(host, IDD_MAP_PAGE_GRID);
        const std::vector<std::pair<int, std::string>> boxes = {
            {IDC_GRID_X_MIN, "-1"}, {IDC_GRID_X_MAX, "1"},    {IDC_GRID_Y_MIN, "-1"},
            {IDC_GRID_Y_MAX, "1"},  {IDC_GRID_X_POINTS, "3"}, {IDC_GRID_Y_POINTS, "3"}};
        for (const auto& [id, text] : boxes) {
            EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP)) << id;
            ASSERT_TRUE(grid.user_set_text(id, text));
        }
        EXPECT_TRUE(host.is_enabled(IDC_CALCULATE_MAP));
        ASSERT_TRUE(grid.user_set_text(IDC_GRID_Y_MIN, "  "));
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP));
        // A point count filled in from the step counts as well.
        ASSERT_TRUE(grid.user_set_text(IDC_GRID_Y_MIN, "-1"));
        ASSERT_TRUE(grid.user_set_text(IDC_GRID_X_POINTS, ""));
        EXPECT_FALSE(host.is_enabled(IDC_CALCULATE_MAP));
        ASSERT_TRUE(grid.user_set_text(IDC_GRID_X_STEP, "0.5"));
        EXPECT_EQ(grid.get_text(IDC_GRID_X_POINTS), "5");
        EXPECT_TRUE(host.is_enabled(IDC_CALCULATE_MAP));
        EXPECT_TRUE(messages().empty()) << ui_->answers.message_log();
    });
    run_map_dialog();
}

TEST_F(MapDialogTest, GridMapThroughTheDialog)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    when_open([this](Dialog& host) {
        calculate_default_plane(host);
        const std::vector<std::string> lines = items(host);
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[8], "num atom           x         y    dist. to plane ");
        EXPECT_EQ(lines[9], "  1  H1         0.00000   0.00000   0.00000");
        Dialog& grid = page(host, IDD_MAP_PAGE_GRID);
        type_window(grid, {{IDC_GRID_X_MIN, "1"}, {IDC_GRID_X_MAX, "-1"}, {IDC_GRID_X_POINTS, "3"},
                           {IDC_GRID_Y_MIN, "-1"}, {IDC_GRID_Y_MAX, "1"}, {IDC_GRID_Y_POINTS, "3"}});
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_MAP));
        EXPECT_TRUE(messages().empty()) << ui_->answers.message_log();
        const std::vector<std::string> after = items(host);
        ASSERT_EQ(after.size(), lines.size() + 3);
        EXPECT_EQ(after[after.size() - 3], "");
        EXPECT_EQ(after[after.size() - 2], "     Minimum value             Maximum value");
        double low = 0, high = 0;
        ASSERT_TRUE(read_record(after.back(), "(4X,E14.7,12X,E14.7)", {&low, &high})) << after.back();
        EXPECT_NEAR(low, hydrogen_density(std::sqrt(2.0)), 1e-5 * low);
        EXPECT_NEAR(high, hydrogen_density(0.0), 1e-5 * high);
        EXPECT_EQ(host.get_selected_index(IDC_MAP_OUT_BOX), static_cast<int>(after.size()) - 1);
        // The limits were ordered.
        EXPECT_EQ(map_definition().x_min, -1.0);
        const std::vector<std::string> map = file_lines(directory_ / "map.dat");
        ASSERT_EQ(map.size(), 10u);
        EXPECT_EQ(map[0].substr(0, 24), "    -1.00000    -1.00000");
        EXPECT_EQ(map[4].substr(0, 30), "     0.00000     0.00000      ");
        EXPECT_NEAR(std::stod(map[4].substr(30)), hydrogen_density(0.0), 1e-5 * hydrogen_density(0.0));
        EXPECT_EQ(map[9], "");
        EXPECT_EQ(file_lines(directory_ / "map.pos")[1], "  0.0000    0.0000  H1      ");
        EXPECT_TRUE(host.is_open());
    });
    run_map_dialog();
    const std::vector<std::string> listing = listing_lines();
    ASSERT_GE(listing.size(), 3u);
    EXPECT_EQ(listing[listing.size() - 2].substr(0, 18), "   Minimum value: ");
    EXPECT_EQ(listing[listing.size() - 2].substr(32, 17), "  Maximum value: ");
}

TEST_F(MapDialogTest, BadBoxesGiveTheMessageAndKeepTheDialogOpen)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    when_open([this](Dialog& host) {
        calculate_default_plane(host);
        Dialog& grid = page(host, IDD_MAP_PAGE_GRID);
        type_window(grid, {{IDC_GRID_X_MIN, "abc"}, {IDC_GRID_X_MAX, "1"}, {IDC_GRID_X_POINTS, "3"},
                           {IDC_GRID_Y_MIN, "-1"}, {IDC_GRID_Y_MAX, "1"}, {IDC_GRID_Y_POINTS, "3"}});
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_MAP));
        EXPECT_EQ(messages(), std::vector<std::string>{GRID_ERROR});
        EXPECT_EQ(ui_->answers.messages[0].icon, MessageIcon::warning);
        EXPECT_TRUE(host.is_open());
        // A blank box greys the button; a point count of 0 is refused.
        type_window(grid, {{IDC_GRID_X_MIN, "   "}});
        EXPECT_FALSE(host.user_click(IDC_CALCULATE_MAP));
        const MapDefinition before = map_definition();
        type_window(grid, {{IDC_GRID_X_MIN, "-0.75"}, {IDC_GRID_Y_POINTS, "0"}});
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_MAP));
        EXPECT_EQ(messages().size(), 2u);
        EXPECT_EQ(messages().back(), GRID_ERROR);
        // The boxes read before the bad one changed nothing.
        EXPECT_EQ(map_definition().x_min, before.x_min);
        EXPECT_EQ(map_definition().x_points, before.x_points);
        // A map name that starts with a blank.
        type_window(grid, {{IDC_GRID_Y_POINTS, "2"}});
        ASSERT_TRUE(host.user_set_text(IDC_MAP_FILE, " map.dat"));
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_MAP));
        EXPECT_EQ(messages().back(), "Error!: Please, check OutFile name in boxes");
        EXPECT_FALSE(std::filesystem::exists(directory_ / "map.dat"));
        // The plane pages' own messages.
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, 0));
        Dialog& atoms = page(host, IDD_MAP_PAGE_ATOMS);
        ASSERT_TRUE(atoms.user_set_text(1206, "1.x"));
        ASSERT_TRUE(atoms.user_click(IDC_PLANE_OK));
        EXPECT_EQ(messages().back(), "Error!: Can not read data. Please, check POINTS data in boxes");
        EXPECT_FALSE(map_definition().plane_from_points);
        EXPECT_EQ(host.get_selected_tab(IDC_MAP_TABS), 0);
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, TAB_CENTRE));
        ASSERT_TRUE(page(host, IDD_MAP_PAGE_CENTRE).user_set_text(IDC_PLANE_SHIFT, "?"));
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_PLANE));
        EXPECT_EQ(messages().back(), "Error!: Can not read data. Please, check 3-D MAP data in boxes");
        EXPECT_EQ(host.get_selected_tab(IDC_MAP_TABS), TAB_CENTRE);
        EXPECT_TRUE(host.is_open());
    });
    run_map_dialog();
}

TEST_F(MapDialogTest, CollinearAtomsDefineNoPlane)
{
    ASSERT_TRUE(load_model("line.kdn", spherical_model({{"C1", 10, 10, 10}, {"N1", 11, 10, 10}, {"H1", 12, 10, 10}},
                                                       20, 20, 20)));
    when_open([this](Dialog& host) {
        Dialog& atoms = page(host, IDD_MAP_PAGE_ATOMS);
        EXPECT_EQ(atoms.get_text(1208), "  12.00000");
        ASSERT_TRUE(atoms.user_click(IDC_PLANE_OK));
        EXPECT_TRUE(map_definition().plane_from_points);
        Dialog& centre = page(host, IDD_MAP_PAGE_CENTRE);
        EXPECT_EQ(centre.get_text(IDC_CENTRE_X), "10.00000");
        const size_t before = items(host).size();
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_PLANE));
        EXPECT_EQ(messages().back(), "Error!: Please, check selected atoms. They are not define plane.");
        EXPECT_EQ(items(host).size(), before);
        EXPECT_TRUE(host.is_enabled(IDC_CALCULATE_PLANE));
        EXPECT_EQ(host.get_selected_tab(IDC_MAP_TABS), TAB_CENTRE);
        // Choosing another atom for point 3 fills its coordinates.
        ASSERT_TRUE(host.user_select(IDC_MAP_TABS, 0));
        ASSERT_TRUE(atoms.user_select(IDC_POINT_3_ATOM, 1));
        EXPECT_EQ(atoms.get_text(1208), "  11.00000");
    });
    run_map_dialog();
}

TEST_F(MapDialogTest, CancelledMapKeepsTheOldMapAndSaysSo)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    bool closed_after_job = false;
    std::string old_map, old_post;
    when_open([&](Dialog& host) {
        calculate_default_plane(host);
        type_window(page(host, IDD_MAP_PAGE_GRID),
                    {{IDC_GRID_X_MIN, "-1"}, {IDC_GRID_X_MAX, "1"}, {IDC_GRID_X_POINTS, "5"}, {IDC_GRID_Y_MIN, "-1"},
                     {IDC_GRID_Y_MAX, "1"}, {IDC_GRID_Y_POINTS, "5"}});
        // A whole map first: its figures must not stay for the cancelled one.
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_MAP));
        old_map = file_text(directory_ / "map.dat");
        old_post = file_text(directory_ / "map.pos");
        const size_t before = items(host).size();
        EXPECT_EQ(items(host)[before - 2], "     Minimum value             Maximum value");
        const int pumps_before = ui_->pump_count;
        // The dialog's Cancel while the map runs waits for its end; the
        // progress dialog's Cancel ends the map at its first look at the
        // windows, before any point.
        ui_->on_pump = [&, pumps_before] {
            if (ui_->pump_count - pumps_before == 1) {
                host.user_click(IDC_MAP_CANCEL);
                job_control().job_running = false;
            }
        };
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_MAP));
        ui_->on_pump = nullptr;
        const std::vector<std::string> lines = items(host);
        ASSERT_EQ(lines.size(), before + 3);
        EXPECT_EQ(lines[before], "");
        EXPECT_EQ(lines[before + 1], " *** Map calculating has been terminated by user ***");
        EXPECT_EQ(lines.back(), " Stopped after 0 of 25 points: no map file written");
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find("Minimum value"), std::string::npos);
            EXPECT_EQ(line.find("E+"), std::string::npos) << line;
        }
        closed_after_job = !host.is_open();
    });
    run_map_dialog();
    EXPECT_TRUE(closed_after_job);
    EXPECT_EQ(file_text(directory_ / "map.dat"), old_map);
    EXPECT_EQ(file_text(directory_ / "map.pos"), old_post);
    EXPECT_TRUE(safe_write_temporaries(directory_).empty());
    const std::vector<std::string> listing = listing_lines();
    ASSERT_GE(listing.size(), 2u);
    EXPECT_EQ(listing.back(), " Map stopped by user after 0 of 25 points: the map file was not written.");
    EXPECT_EQ(listing[listing.size() - 2], "");
}

TEST_F(MapDialogTest, TrajectoryMapWritesTheDataAndPostFiles)
{
    ASSERT_TRUE(load_model("c2.kdn", spherical_model({{"C1", 9.3, 10, 10}, {"C2", 10.7, 10, 10}}, 20, 20, 20)));
    when_open([this](Dialog& host) {
        calculate_default_plane(host, IDC_MAP_PATHGRAF);
        ASSERT_EQ(host.get_selected_tab(IDC_MAP_TABS), TAB_TRAJECTORY);
        Dialog& trajectory = page(host, IDD_MAP_PAGE_TRAJECTORY);
        EXPECT_FALSE(trajectory.is_enabled(IDC_MAP_CLUSTER_K));
        type_window(trajectory, {{IDC_GRID_X_MIN, "-1"}, {IDC_GRID_X_MAX, "2.5"}, {IDC_GRID_Y_MIN, "1.5"},
                                 {IDC_GRID_Y_MAX, "-1.5"}, {IDC_PATH_COUNT, "8"}, {IDC_PATH_STEP, "0.05"}});
        ASSERT_TRUE(host.user_click(IDC_CALCULATE_MAP));
        EXPECT_TRUE(messages().empty()) << ui_->answers.message_log();
        EXPECT_EQ(items(host).back(), "Trajectory has been calculated successfully!");
        EXPECT_EQ(trajectory_settings().path_count, 8);
        EXPECT_EQ(trajectory_settings().path_step, 0.05);
        EXPECT_EQ(map_post_atoms().post_atom_count, 2);
    });
    run_map_dialog();
    const std::vector<std::string> data = file_lines(directory_ / "map.dat");
    ASSERT_GT(data.size(), 10u);
    EXPECT_EQ(data[0], "  -1.00000   2.50000  -1.50000   1.50000");
    EXPECT_EQ(data[1].substr(6, 4), "  TP");
    const std::vector<std::string> post = file_lines(directory_ / "map.pos");
    ASSERT_GE(post.size(), 4u);
    EXPECT_EQ(post[0], "ATOMS");
    EXPECT_EQ(post[1], "  2");
    EXPECT_EQ(post[2].substr(0, 10), "C1        ");
}

class LineProfileDialogTest : public MapDialogTest {
protected:
    void TearDown() override
    {
        if (Dialog* dialog = line_profile_dialog())
            dialog->user_click(IDC_PROFILE_CLOSE);
        QCoreApplication::processEvents();
        MapDialogTest::TearDown();
    }
};

TEST_F(LineProfileDialogTest, ProfileBetweenTwoAtomsIsReportedAndDrawn)
{
    ASSERT_TRUE(load_model("c2.kdn", spherical_model({{"C1", 9, 10, 10}, {"C2", 11, 10, 10}}, 20, 20, 20)));
    open_line_profile_dialog();
    Dialog* dialog = line_profile_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ui_->enabled_commands.back(), std::make_pair(int(CMD_PROPERTY_ALONG_LINE), false));
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_POINT_1), "  1   C1           1");
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_POINT_2), "  2   C2           1");
    EXPECT_EQ(dialog->get_text(1205), "  11.00000");
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_COUNT), "50");
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_PROPERTY_NAME), " RHO     ");
    EXPECT_FALSE(dialog->is_enabled(IDC_PROFILE_CLUSTER_K));
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_CLUSTER_K), "1");

    ASSERT_TRUE(dialog->user_set_text(IDC_PROFILE_COUNT, "5"));
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_START));
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_START), "Start");
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_LAST), "5");
    const LineProfile& profile = line_profile();
    EXPECT_DOUBLE_EQ(profile.profile_step, 0.5);
    // Symmetric about the midpoint, highest at the nuclei.
    EXPECT_NEAR(profile.profile_value[1], profile.profile_value[5], 1e-6 * profile.profile_value[1]);
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_Y_MIN), "0.000");
    EXPECT_EQ(pane_lines().back().substr(0, 13), "       2.0000");

    // A zoom to points 2..4.
    ASSERT_TRUE(dialog->user_set_text(IDC_PROFILE_FIRST, "2"));
    ASSERT_TRUE(dialog->user_set_text(IDC_PROFILE_LAST, "4"));
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_REFRESH));
    EXPECT_DOUBLE_EQ(profile.profile_length, 1.0);
    QWidget* plot = dialog->window()->findChild<QWidget*>("line_profile_plot");
    ASSERT_NE(plot, nullptr);
    EXPECT_GT(plot->width(), 100);
    const QImage image = plot->grab().toImage();
    bool red = false;
    for (int y = 0; y < image.height() && !red; ++y)
        for (int x = 0; x < image.width() && !red; ++x)
            red = image.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_TRUE(red) << "no point drawn";

    // Ymax below points 2 and 4: the curve is cut at the frame, the point
    // in range still shows.
    const double y_max = 0.5 * (profile.profile_value[2] + profile.profile_value[3]);
    ASSERT_LT(y_max, profile.profile_value[2]);
    const std::string typed = std::to_string(y_max);
    ASSERT_TRUE(dialog->user_set_text(IDC_PROFILE_Y_MAX, typed));
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_REFRESH));
    ASSERT_DOUBLE_EQ(profile.profile_max, std::stod(typed));
    const LineProfilePlot layout = layout_line_profile_plot(2, 4, plot->width(), plot->height());
    const QRect frame(layout.left, layout.top, layout.width + 1, layout.height + 1);
    const QImage cut = plot->grab().toImage();
    int inside = 0, above = 0;
    for (int y = 0; y < cut.height(); ++y)
        for (int x = 0; x < cut.width(); ++x) {
            inside += frame.contains(x, y) && cut.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
            // Nothing but the curve could be drawn above the frame.
            above += y < frame.top() && cut.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
        }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(above, 0) << "the curve is drawn above its frame";

    // An unreadable coordinate: the message, nothing computed, "STOP" stays.
    ASSERT_TRUE(dialog->user_set_text(1203, "x"));
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_START));
    EXPECT_EQ(messages().back(), "Error!: Can not read data. Please, check data in boxes");
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_START), "STOP");
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_START));
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_START), "Start");

    // "STOP" while it runs ends the profile at its next point.
    ASSERT_TRUE(dialog->user_set_text(1203, "10"));
    ASSERT_TRUE(dialog->user_set_text(IDC_PROFILE_COUNT, "100"));
    ui_->on_pump = [&] {
        if (line_profile().profile_value[3] != 0 && dialog->get_text(IDC_PROFILE_START) == "STOP")
            dialog->user_click(IDC_PROFILE_START);
    };
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_START));
    ui_->on_pump = nullptr;
    EXPECT_EQ(line_profile().profile_value[4], 0.0);
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_START), "Start");

    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_CLOSE));
    EXPECT_EQ(line_profile_dialog(), nullptr);
    EXPECT_EQ(ui_->enabled_commands.back(), std::make_pair(int(CMD_PROPERTY_ALONG_LINE), true));
    QCoreApplication::processEvents();
    EXPECT_EQ(find_live_dialog(IDD_LINE_PROFILE), nullptr);
}

TEST_F(LineProfileDialogTest, LatticeTranslationsFollowTheProperty)
{
    ASSERT_TRUE(load_example("free_atoms/hydrogen.kdn"));
    property_selection().property_code = 23;
    open_line_profile_dialog();
    Dialog* dialog = line_profile_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->is_enabled(IDC_PROFILE_CLUSTER_K));
    property_selection().property_code = 3;
    set_line_profile_property_dialog([](QWidget*) { property_selection().property_code = 22; });
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_PROPERTY));
    set_line_profile_property_dialog(nullptr);
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_PROPERTY_NAME), " ESFED   ");
    EXPECT_TRUE(dialog->is_enabled(IDC_PROFILE_CLUSTER_K));
    // One atom: both lists hold it, the second point is left as typed.
    EXPECT_EQ(dialog->get_item_count(IDC_PROFILE_POINT_2), 1);
}

TEST_F(LineProfileDialogTest, ProfileIsAJobThatNothingChanges)
{
    // While its profile runs the window's Property and K, L, M are greyed
    // (Start, reading "STOP", stays), a second job is refused, and changes
    // made to the settings and the model by the calls the dialogs make leave
    // the values those of an undisturbed run.
    ASSERT_TRUE(load_model("c2.kdn", spherical_model({{"C1", 9, 10, 10}, {"C2", 11, 10, 10}}, 20, 20, 20)));
    open_line_profile_dialog();
    Dialog* dialog = line_profile_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->user_set_text(IDC_PROFILE_COUNT, "600"));
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_START));
    const std::vector<double> undisturbed(line_profile().profile_value.begin(), line_profile().profile_value.end());
    ASSERT_NE(undisturbed[600], 0.0);

    bool property_ran = false;
    set_line_profile_property_dialog([&](QWidget*) { property_ran = true; });
    int pumps = 0;
    ui_->on_pump = [&] {
        if (++pumps != 3)
            return;
        EXPECT_TRUE(job_in_progress());
        EXPECT_FALSE(JobScope().started());
        EXPECT_FALSE(dialog->is_enabled(IDC_PROFILE_PROPERTY));
        EXPECT_FALSE(dialog->is_enabled(IDC_PROFILE_CLUSTER_K));
        EXPECT_TRUE(dialog->is_enabled(IDC_PROFILE_START));
        dialog->user_click(IDC_PROFILE_PROPERTY);
        run_settings().calculation.rCut = 1.0;
        property_selection().property_code = 8;
        note_model_change();
        current_model().pseudoatoms.valence_population[1] = 1.0;
        note_model_change();
    };
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_START));
    ui_->on_pump = nullptr;
    set_line_profile_property_dialog(nullptr);
    EXPECT_GT(pumps, 3);
    EXPECT_FALSE(property_ran);
    EXPECT_FALSE(job_in_progress());
    EXPECT_TRUE(dialog->is_enabled(IDC_PROFILE_PROPERTY));
    for (int k = 1; k <= 600; ++k)
        ASSERT_EQ(line_profile().profile_value[k], undisturbed[static_cast<std::size_t>(k)]) << k;

    // A worker out of memory ends the profile with a message; the window
    // is ready for the next one.
    set_worker_thread_count(4);
    set_worker_failure_after(10);  // mid-profile: a worker takes 32 points
    dialog->user_click(IDC_PROFILE_START);
    set_worker_failure_after(-1);
    ASSERT_FALSE(messages().empty());
    EXPECT_NE(messages().back().find("not enough memory"), std::string::npos) << messages().back();
    EXPECT_EQ(dialog->get_text(IDC_PROFILE_START), "Start");
    EXPECT_FALSE(job_in_progress());
    ASSERT_TRUE(dialog->user_click(IDC_PROFILE_START));
    set_worker_thread_count(0);
    EXPECT_NE(line_profile().profile_value[600], 0.0);  // the edits now apply: a Laplacian
}

class MapFileOperationsDialogTest : public MapDialogTest {};

TEST_F(MapFileOperationsDialogTest, SumThroughTheDialogAndCancel)
{
    write_file(directory_ / "a.dat", "0.0 0.0 1.5\n0.5 0.0 -2.0\n\n");
    when_open([](Dialog& dialog) {
        EXPECT_TRUE(dialog.get_checked(IDC_MAP_ADDITION));
        EXPECT_FALSE(dialog.is_enabled(IDC_MAP_CUT_OFF_VALUE));
        ASSERT_TRUE(dialog.user_click(IDC_MAP_CUT_OFF));
        EXPECT_TRUE(dialog.is_enabled(IDC_MAP_CUT_OFF_VALUE));
        EXPECT_FALSE(dialog.is_enabled(IDC_SOURCE_FILE_2));
        ASSERT_TRUE(dialog.user_click(IDC_MAP_SUBTRACTION));
        EXPECT_TRUE(dialog.is_enabled(IDC_SOURCE_FILE_2));
        ASSERT_TRUE(dialog.user_click(IDC_MAP_ADDITION));
        dialog.user_set_text(IDC_SOURCE_FILE_1, "a.dat");
        dialog.user_set_text(IDC_SOURCE_FILE_2, "a.dat");
        dialog.user_set_text(IDC_TARGET_FILE, "sum.dat");
        dialog.user_click(1);
    }, true);
    run_map_file_operations_dialog();
    EXPECT_EQ(messages(), std::vector<std::string>{"Map files operation: The process is completed successfully!"});
    const std::vector<std::string> sum = {"     0.00000     0.00000       0.3000000E+01",
                                          "     0.50000     0.00000      -0.4000000E+01"};
    EXPECT_EQ(file_lines(directory_ / "sum.dat"), sum);

    // Cancel touches no file; "..." puts the chosen file into its box.
    ui_->answers.file_answers.push_back((directory_ / "a.dat").string());
    when_open([](Dialog& dialog) {
        ASSERT_TRUE(dialog.user_click(IDC_SOURCE_1_BROWSE));
        EXPECT_EQ(dialog.get_text(IDC_SOURCE_FILE_1), (std::filesystem::current_path() / "a.dat").string());
        dialog.user_set_text(IDC_TARGET_FILE, "never.dat");
        dialog.user_click(2);
    }, true);
    run_map_file_operations_dialog();
    EXPECT_FALSE(std::filesystem::exists(directory_ / "never.dat"));
    EXPECT_EQ(ui_->answers.file_requests.back().description, "formatted data file (*.dat)");
    EXPECT_EQ(messages().size(), 1u);
}

}  // namespace
