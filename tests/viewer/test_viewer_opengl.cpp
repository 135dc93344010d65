// The viewer window with its OpenGL scene.  These tests need an OpenGL
// context: they run under a virtual X server (xvfb-run -a with
// QT_QPA_PLATFORM=xcb) and are skipped where no context can be made.
//
// Expected pixels come from the camera alone: a 50 degree perspective seen
// from 10 scene units in front of the origin, in a square viewport of the
// window's larger side centred on it.
#include "common/job_control.h"
#include "common/qt/settings_store.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_store.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/viewer_resources.h"
#include "keldana/topology/critical_point_list.h"
#include "keldana/topology/surface_file.h"
#include "keldana/viewer/bond_list.h"
#include "keldana/viewer/surface_lists.h"
#include "keldana/viewer/viewer_settings.h"
#include "keldana/viewer/viewer_state.h"
#include "keldana/viewer/viewer_window.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double PI = 3.14159265358979323846;

// Atom types of the test model: strongly red, blue and green.
constexpr int RED = 1, BLUE = 2, GREEN = 3;

struct Rgb {
    int r, g, b;
};

Rgb pixel(const QImage& image, QPoint point)
{
    const QRgb value = image.pixel(point);
    return {qRed(value), qGreen(value), qBlue(value)};
}

bool is_red(Rgb c) { return c.r > 150 && c.r > c.g + 60 && c.r > c.b + 60; }
bool is_green(Rgb c) { return c.g > 150 && c.g > c.r + 60 && c.g > c.b + 60; }
bool is_blue(Rgb c) { return c.b > 150 && c.b > c.r + 60 && c.b > c.g + 60; }
bool is_black(Rgb c) { return c.r == 0 && c.g == 0 && c.b == 0; }

std::string describe(Rgb c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

// Any pixel of the (2 radius + 1) square around the point satisfying test.
bool any_near(const QImage& image, QPoint centre, int radius, const std::function<bool(Rgb)>& test)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p = centre + QPoint(dx, dy);
            if (image.valid(p) && test(pixel(image, p)))
                return true;
        }
    return false;
}

class ViewerOpenGlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!viewer_opengl_available())
            GTEST_SKIP() << "no OpenGL context on this display (the scene tests run under xvfb-run -a "
                            "with QT_QPA_PLATFORM=xcb)";
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_viewer_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        set_settings_file((directory_ / "settings.ini").string());

        auto fresh = std::make_unique<StructureModel>();
        current_model() = *fresh;
        viewer_scene_state() = ViewerSceneState{};
        bond_list() = BondList{};
        critical_point_list().cp_count = 0;
        job_control().progress_open = false;
        set_type(RED, 0xFF0D0D);
        set_type(BLUE, 0x0D0DFF);
        set_type(GREEN, 0x0DFF0D);
    }

    void TearDown() override
    {
        if (StructureViewer* viewer = viewer_window_state().viewer)
            viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (directory_.empty())
            return;
        set_settings_file("");
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    static void set_type(int type, int colour)
    {
        AtomTypeTable& types = current_model().atom_types;
        types.type_colour[type] = colour;
        types.type_covalent_radius[type] = 0.77;
        types.type_radius[type] = 0.6;
    }

    static int add_atom(const char* label, int type, double x, double y, double z)
    {
        WorkingAtomSet& atoms = current_model().atoms;
        const int i = ++atoms.atom_count;
        atoms.atom_label[i] = blank_text<8>();
        std::copy_n(label, std::strlen(label), atoms.atom_label[i].begin());
        atoms.atom_type_index[i] = type;
        atoms.cart_x[i] = x;
        atoms.cart_y[i] = y;
        atoms.cart_z[i] = z;
        atoms.subset_mask[i] = 1;
        return i;
    }

    // Three atoms whose mean is the origin, so the first opening moves nothing.
    static void add_three_atoms()
    {
        add_atom("O1", RED, 0, 0, 0);
        add_atom("N1", BLUE, 2.5, 1, 1);
        add_atom("C1", GREEN, -2.5, -1, -1);
    }

    StructureViewer* open_viewer()
    {
        run_structure_viewer(nullptr);
        StructureViewer* viewer = viewer_window_state().viewer;
        if (!viewer) {
            ADD_FAILURE() << "the viewer did not open: " << ui_->answers.message_log();
            return nullptr;
        }
        viewer->resize(420, 380);
        for (int k = 0; k < 5; ++k)
            QCoreApplication::processEvents();
        return viewer;
    }

    // Column and row (from the top) of a point of the scene under the
    // viewer's shift, zoom and centre (no rotation).
    static QPoint expected_pixel(const QImage& image, double x, double y, double z)
    {
        const ViewerSceneState& state = viewer_scene_state();
        const int width = image.width();
        const int height = image.height();
        const double focal = 1.0 / std::tan(25.0 * PI / 180.0);
        const double depth = 10.0 - state.zoom - (z - state.centre_z);
        const double nx = focal * (x - state.centre_x + state.shift_x) / depth;
        const double ny = focal * (y - state.centre_y + state.shift_y) / depth;
        const double side = std::max(width, height);
        const double x0 = (width - side) / 2.0;
        const double y0 = (height - side) / 2.0;
        const double column = x0 + (nx + 1.0) / 2.0 * side;
        const double from_bottom = y0 + (ny + 1.0) / 2.0 * side;
        return QPoint(static_cast<int>(std::floor(column)), static_cast<int>(std::floor(height - from_bottom)));
    }

    ScopedScriptedUi ui_;
    fs::path previous_, directory_;
};

TEST_F(ViewerOpenGlTest, AtomsAppearAtTheirProjectedPositions)
{
    add_three_atoms();
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    const ViewerSceneState& state = viewer_scene_state();
    EXPECT_TRUE(state.atoms_shown);  // no bonds: the atoms are shown
    EXPECT_EQ(state.atom_style, ATOM_STYLE_BALL);
    viewer->handle_command(CMD_VIEWER_VAN_DER_WAALS);

    QImage image = viewer->grab_scene();
    ASSERT_FALSE(image.isNull());
    ASSERT_NE(image.width(), image.height());  // the viewport is the square of the larger side
    const Rgb red = pixel(image, expected_pixel(image, 0, 0, 0));
    const Rgb blue = pixel(image, expected_pixel(image, 2.5, 1, 1));
    const Rgb green = pixel(image, expected_pixel(image, -2.5, -1, -1));
    EXPECT_TRUE(is_red(red)) << describe(red);
    EXPECT_TRUE(is_blue(blue)) << describe(blue);
    EXPECT_TRUE(is_green(green)) << describe(green);
    EXPECT_TRUE(is_black(pixel(image, {2, 2})));
    EXPECT_TRUE(is_black(pixel(image, expected_pixel(image, 0, 1.5, 0))));

    // Zoom IN brings the scene 2 units nearer, Move RIGHT shifts it 0.3.
    const float fitted_zoom = state.zoom, fitted_shift = state.shift_x;
    viewer->handle_command(CMD_VIEWER_ZOOM_IN);
    viewer->handle_command(CMD_VIEWER_MOVE_RIGHT);
    image = viewer->grab_scene();
    EXPECT_FLOAT_EQ(state.zoom, fitted_zoom + 2.0f);
    EXPECT_FLOAT_EQ(state.shift_x, fitted_shift + 0.3f);
    EXPECT_TRUE(is_blue(pixel(image, expected_pixel(image, 2.5, 1, 1))));
    EXPECT_TRUE(is_green(pixel(image, expected_pixel(image, -2.5, -1, -1))));

    // A quarter turn about y takes (2.5, 1, 1) to (1, 1, -2.5).
    viewer_scene_state().rot_y = 90.0f;
    image = viewer->grab_scene();
    EXPECT_TRUE(is_blue(pixel(image, expected_pixel(image, 1, 1, -2.5))));
    EXPECT_TRUE(is_green(pixel(image, expected_pixel(image, -1, -1, 2.5))));
}

TEST_F(ViewerOpenGlTest, WithEverySwitchOffOnlyTheBackgroundShows)
{
    add_three_atoms();
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    ui_->answers.colour_answers.push_back(0x00336699u);
    viewer->handle_command(CMD_VIEWER_BACKGROUND);
    EXPECT_EQ(read_setting_dword(VIEWER_KEY, "bkColor"), 0x00336699u);
    viewer->handle_command(CMD_VIEWER_ATOMS);
    EXPECT_FALSE(viewer_scene_state().atoms_shown);
    EXPECT_FALSE(viewer->menu_action(CMD_VIEWER_ATOMS)->isChecked());
    EXPECT_FALSE(viewer->toolbar_action(CMD_VIEWER_ATOMS)->isChecked());

    const QImage image = viewer->grab_scene();
    int other = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Rgb c = pixel(image, {x, y});
            if (c.r != 0x99 || c.g != 0x66 || c.b != 0x33)
                ++other;
        }
    EXPECT_EQ(other, 0);

    // A cancelled colour keeps the background.
    viewer->handle_command(CMD_VIEWER_BACKGROUND);
    EXPECT_EQ(viewer_scene_state().background_colour, 0x00336699u);
}

TEST_F(ViewerOpenGlTest, BondsShowOnlyWithBallsAndBetweenSubsetAtoms)
{
    add_atom("C1", RED, -0.7, 0, 0);
    add_atom("C2", BLUE, 0.7, 0, 0);
    build_bond_list(2);
    ASSERT_EQ(bond_list().bond_count, 1);
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    const ViewerSceneState& state = viewer_scene_state();
    EXPECT_TRUE(state.bonds_shown);
    EXPECT_FALSE(state.atoms_shown);
    EXPECT_TRUE(viewer->menu_action(CMD_VIEWER_BONDS)->isChecked());
    EXPECT_TRUE(viewer->toolbar_action(CMD_VIEWER_BALL)->isChecked());

    // Each half in its atom's colour.
    QImage image = viewer->grab_scene();
    EXPECT_TRUE(any_near(image, expected_pixel(image, -0.35, 0, 0), 1, is_red));
    EXPECT_TRUE(any_near(image, expected_pixel(image, 0.35, 0, 0), 1, is_blue));

    viewer->handle_command(CMD_VIEWER_COVALENT);
    EXPECT_FALSE(viewer->menu_action(CMD_VIEWER_BALL)->isChecked());
    EXPECT_TRUE(viewer->menu_action(CMD_VIEWER_COVALENT)->isChecked());
    image = viewer->grab_scene();
    EXPECT_FALSE(any_near(image, expected_pixel(image, -0.35, 0, 0), 2, [](Rgb c) { return !is_black(c); }));

    // Back to balls with the second atom out of the subset: neither its
    // sphere nor the bond.
    viewer->handle_command(CMD_VIEWER_BALL);
    viewer->handle_command(CMD_VIEWER_ATOMS);
    current_model().atoms.subset_mask[2] = 0;
    image = viewer->grab_scene();
    EXPECT_TRUE(is_red(pixel(image, expected_pixel(image, -0.7, 0, 0))));
    EXPECT_TRUE(is_black(pixel(image, expected_pixel(image, 0.7, 0, 0))));
    EXPECT_TRUE(is_black(pixel(image, expected_pixel(image, 0.35, 0, 0))));
}

TEST_F(ViewerOpenGlTest, SaveBitMapWritesABitmapThatReadsBack)
{
    add_three_atoms();
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    const fs::path path = directory_ / "scene.bmp";
    ui_->answers.file_answers.push_back(path.string());
    viewer->handle_command(CMD_VIEWER_SAVE_BITMAP);
    ASSERT_EQ(ui_->answers.file_requests.size(), 1u);
    const FileDialogRequest& request = ui_->answers.file_requests[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.description, "Save BitMap file (*.bmp)");
    EXPECT_EQ(request.pattern, "*.bmp");
    EXPECT_EQ(request.initial_name, "");
    ASSERT_TRUE(fs::exists(path)) << ui_->answers.message_log();

    // The Windows bitmap layout: "BM", the file size, the offset of the
    // bits after the 14-byte file header and the 40-byte info header.
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 54u);
    auto u32 = [&](size_t at) {
        return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16
               | uint32_t{bytes[at + 3]} << 24;
    };
    const QImage scene = viewer->grab_scene();
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(u32(2), bytes.size());
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(static_cast<int32_t>(u32(18)), scene.width());
    EXPECT_EQ(static_cast<int32_t>(u32(22)), scene.height());

    const QImage saved(QString::fromStdString(path.string()));
    ASSERT_FALSE(saved.isNull());
    ASSERT_EQ(saved.size(), scene.size());
    const QPoint atom = expected_pixel(scene, 2.5, 1, 1);
    EXPECT_EQ(saved.pixel(atom) & 0xFFFFFF, scene.pixel(atom) & 0xFFFFFF);
    EXPECT_TRUE(is_blue(pixel(saved, atom)));

    // A name without an extension is saved as a bitmap of that name.
    ui_->answers.file_answers.push_back((directory_ / "scene2").string());
    viewer->handle_command(CMD_VIEWER_SAVE_BITMAP);
    EXPECT_TRUE(fs::exists(directory_ / "scene2.bmp"));
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
    // Another extension saves nothing and says so; a file that cannot be
    // made is reported.
    ui_->answers.file_answers.push_back((directory_ / "scene.png").string());
    viewer->handle_command(CMD_VIEWER_SAVE_BITMAP);
    EXPECT_FALSE(fs::exists(directory_ / "scene.png"));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("Nothing was written"), std::string::npos);
    ui_->answers.messages.clear();
    const fs::path unwritable = directory_ / "missing" / "scene.bmp";
    ui_->answers.file_answers.push_back(unwritable.string());
    viewer->handle_command(CMD_VIEWER_SAVE_BITMAP);
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Can not write file " + unwritable.string());
}

TEST_F(ViewerOpenGlTest, ReopeningFitsTheViewAgainAndStructureBringsTheOpenViewer)
{
    add_three_atoms();
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->menu_action(CMD_VIEWER_IAS_SURFACE)->isChecked());
    EXPECT_FALSE(viewer->menu_action(CMD_VIEWER_IAS_POINTS)->isChecked());
    run_structure_viewer(nullptr);
    EXPECT_EQ(viewer_window_state().viewer, viewer);  // no second viewer

    viewer->grab_scene();
    const float first_zoom = viewer_scene_state().zoom, first_shift = viewer_scene_state().shift_x;
    viewer->handle_command(CMD_VIEWER_ZOOM_IN);
    viewer->handle_command(CMD_VIEWER_AXIS);
    EXPECT_TRUE(viewer->toolbar_action(CMD_VIEWER_AXIS)->isChecked());
    viewer->handle_command(CMD_VIEWER_EXIT);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(viewer_window_state().viewer, nullptr);
    const auto& enabled = ui_.get().enabled_commands;
    ASSERT_FALSE(enabled.empty());
    EXPECT_EQ(enabled.back(), std::make_pair(static_cast<int>(CMD_STRUCTURE_VIEWER), true));

    // Every opening fits the view again: the zoom does not carry over.
    viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    viewer->grab_scene();
    const ViewerSceneState& state = viewer_scene_state();
    EXPECT_FLOAT_EQ(state.zoom, first_zoom);
    EXPECT_FLOAT_EQ(state.shift_x, first_shift);
    EXPECT_FALSE(state.axis_shown);  // switches start again
    EXPECT_TRUE(state.atoms_shown);

    // Another structure while the viewer is open: fitted and centred anew.
    viewer->handle_command(CMD_VIEWER_ZOOM_IN);
    current_model().atoms.cart_x[2] = 12.5;
    viewer->grab_scene();
    EXPECT_FLOAT_EQ(state.centre_x, 5.0f);  // the middle of -2.5 .. 12.5
    EXPECT_LT(state.zoom, first_zoom);      // a larger structure, seen from further
}

// The examples' structures, at their first opening, lie whole in the view
// and centred: the box around every pixel that is not background has its
// middle near the middle of the picture and keeps off the edges.
TEST_F(ViewerOpenGlTest, TheFirstViewShowsTheWholeStructureCentred)
{
    // A flat cluster far from the origin, wider than high, as a crystal's
    // cluster of molecules is.
    for (int i = 0; i < 12; ++i)
        add_atom("C1", i % 3 == 0 ? RED : i % 3 == 1 ? BLUE : GREEN, 20.0 + 1.4 * i, 15.0 + 0.7 * (i % 4), -8.0);
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    viewer->handle_command(CMD_VIEWER_ATOM_LABELS);
    viewer->handle_command(CMD_VIEWER_ATOM_NUMBERS);
    const QImage image = viewer->grab_scene();
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!is_black(pixel(image, {x, y}))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0) << "nothing drawn";
    const int margin = 4;
    EXPECT_GT(left, margin);
    EXPECT_LT(right, image.width() - 1 - margin);
    EXPECT_GT(top, margin);
    EXPECT_LT(bottom, image.height() - 1 - margin);
    // Centred across (the labels reach right of their atoms, so not exactly),
    // and filling a good part of the smaller side.
    EXPECT_NEAR((left + right) / 2.0, image.width() / 2.0, image.width() / 10.0);
    EXPECT_GT(right - left, std::min(image.width(), image.height()) / 2);
}

TEST_F(ViewerOpenGlTest, ReadIasShowsTheSurfaceAsTrianglesOrPoints)
{
    add_three_atoms();
    // A sphere of radius 1.5 around atom 1 at the origin.
    SurfaceGrid grid;
    grid.n_theta = 8;
    grid.n_phi = 12;
    grid.start_radius = 1.0;
    grid.radii.assign(static_cast<size_t>(grid.n_theta + 1) * (grid.n_phi + 1), 1.5);
    const fs::path path = directory_ / "o1.ias";
    {
        std::ofstream file(path, std::ios::binary);
        write_surface_file_header(file, grid.n_theta, grid.n_phi);
        write_surface_block(file, 1, current_model().atoms.atom_label[1], {0, 0, 0}, grid);
    }
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    viewer->handle_command(CMD_VIEWER_ATOMS);  // hide the atoms
    ui_->answers.file_answers.push_back(path.string());
    viewer->handle_command(CMD_VIEWER_READ_IAS);
    ASSERT_TRUE(viewer_scene_state().ias_shown) << ui_->answers.message_log();
    EXPECT_TRUE(viewer->menu_action(CMD_VIEWER_IAS)->isChecked());
    EXPECT_EQ(surface_display_lists().surface_list_count, 1);

    QImage image = viewer->grab_scene();
    EXPECT_TRUE(is_red(pixel(image, expected_pixel(image, 0, 0, 0))));
    EXPECT_TRUE(is_red(pixel(image, expected_pixel(image, 1.2, 0, 0))));
    EXPECT_TRUE(is_black(pixel(image, expected_pixel(image, 2.0, 0, 0))));

    viewer->handle_command(CMD_VIEWER_IAS);
    image = viewer->grab_scene();
    EXPECT_TRUE(is_black(pixel(image, expected_pixel(image, 0, 0, 0))));

    // Points only: small spheres on the surface, the middle open (seen
    // nearer, so that the points cover whole pixels).
    viewer->handle_command(CMD_VIEWER_ZOOM_IN);
    viewer->handle_command(CMD_VIEWER_IAS);
    viewer->handle_command(CMD_VIEWER_IAS_SURFACE);
    viewer->handle_command(CMD_VIEWER_IAS_POINTS);
    EXPECT_EQ(surface_display_lists().surface_list_count, 1);
    image = viewer->grab_scene();
    EXPECT_TRUE(is_black(pixel(image, expected_pixel(image, 0.75, 0.3, 0))));
    // theta 90 degrees, phi 0: the point (1.5, 0, 0).
    EXPECT_TRUE(any_near(image, expected_pixel(image, 1.5, 0, 0), 1, [](Rgb c) { return c.r > 100; }));
}

TEST_F(ViewerOpenGlTest, LabelsSitBesideTheirAtomsAndCriticalPointsShowByType)
{
    add_three_atoms();
    CriticalPoint maximum;
    maximum.x = 1.0;
    maximum.y = -2.0;
    maximum.type = 1;
    append_critical_point(critical_point_list(), maximum);
    CriticalPoint minimum = maximum;
    minimum.x = -1.0;
    minimum.type = 4;
    append_critical_point(critical_point_list(), minimum);

    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    viewer_scene_state().label_colour = 0x00FFFFFF;
    viewer->handle_command(CMD_VIEWER_ATOMS);
    viewer->handle_command(CMD_VIEWER_ATOM_LABELS);
    viewer->handle_command(CMD_VIEWER_CPS);
    QImage image = viewer->grab_scene();

    // "O1" starts 0.2 to the right of the hidden atom, on its height.
    const QPoint atom = expected_pixel(image, 0, 0, 0);
    const QPoint start = expected_pixel(image, 0.2, 0, 0);
    auto white = [](Rgb c) { return c.r > 128 && c.g > 128 && c.b > 128; };
    int right = 0, left = 0;
    for (int y = atom.y() - 25; y <= atom.y() + 2; ++y) {
        for (int x = start.x() - 1; x <= start.x() + 40; ++x)
            right += white(pixel(image, {x, y})) ? 1 : 0;
        for (int x = atom.x() - 40; x < atom.x(); ++x)
            left += white(pixel(image, {x, y})) ? 1 : 0;
    }
    EXPECT_GT(right, 10);
    EXPECT_EQ(left, 0);

    EXPECT_TRUE(is_red(pixel(image, expected_pixel(image, 1.0, -2.0, 0))));
    EXPECT_TRUE(is_green(pixel(image, expected_pixel(image, -1.0, -2.0, 0))));
    viewer->handle_command(CMD_VIEWER_CPS);
    image = viewer->grab_scene();
    EXPECT_TRUE(is_black(pixel(image, expected_pixel(image, 1.0, -2.0, 0))));
}

TEST_F(ViewerOpenGlTest, OpensWideEnoughForItsWholeToolbar)
{
    add_three_atoms();
    run_structure_viewer(nullptr);
    StructureViewer* viewer = viewer_window_state().viewer;
    ASSERT_NE(viewer, nullptr) << ui_->answers.message_log();
    for (int k = 0; k < 5; ++k)
        QCoreApplication::processEvents();
    auto* toolbar = viewer->findChild<QToolBar*>("viewer_toolbar");
    ASSERT_NE(toolbar, nullptr);
    int buttons = 0;
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator())
            continue;
        ++buttons;
        QWidget* button = toolbar->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isVisible()) << action->text().toStdString() << " is behind the overflow";
    }
    EXPECT_GT(buttons, 10);
    for (QToolButton* extension : toolbar->findChildren<QToolButton*>("qt_toolbar_ext_button"))
        EXPECT_FALSE(extension->isVisible());
}

// Pixels around the start of a label at start that satisfy test.
int label_pixels(const QImage& image, QPoint start, const std::function<bool(Rgb)>& test)
{
    int count = 0;
    for (int y = start.y() - 25; y <= start.y() + 2; ++y)
        for (int x = start.x() - 1; x <= start.x() + 40; ++x)
            count += test(pixel(image, {x, y})) ? 1 : 0;
    return count;
}

TEST_F(ViewerOpenGlTest, LabelsStandOutFromTheBackgroundInTheDefaultColours)
{
    add_atom("O1", RED, 0, 0, 0);
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    ViewerSceneState& state = viewer_scene_state();
    ASSERT_EQ(state.label_colour, 0u);       // black labels ...
    ASSERT_EQ(state.background_colour, 0u);  // ... on black, as the settings start
    viewer->handle_command(CMD_VIEWER_ATOMS);
    viewer->handle_command(CMD_VIEWER_ATOM_LABELS);
    // "O1" starts 0.2 to the right of the hidden atom, on its height.
    auto o1_pixels = [viewer](const std::function<bool(Rgb)>& test) {
        const QImage image = viewer->grab_scene();
        return label_pixels(image, expected_pixel(image, 0.2, 0, 0), test);
    };
    auto bright = [](Rgb c) { return c.r > 128 && c.g > 128 && c.b > 128; };
    auto dark = [](Rgb c) { return c.r < 128 && c.g < 128 && c.b < 128; };
    EXPECT_GT(o1_pixels(bright), 10);

    state.background_colour = 0x00FFFFFF;
    EXPECT_GT(o1_pixels(dark), 10);
    state.label_colour = 0x00FFFFFF;  // white on white as well
    EXPECT_GT(o1_pixels(dark), 10);
}

TEST_F(ViewerOpenGlTest, AnAtomInFrontHidesTheLabelBehindIt)
{
    // O1's label lies wholly inside the disc of the large green atom: hidden
    // while that atom is nearer the eye, shown once it is moved behind.
    add_atom("O1", RED, 0, 0, 0);
    const int blocker = add_atom("C1", GREEN, 0.8, 0, 2);
    const int other = add_atom("N1", BLUE, -0.8, 0, -2);
    current_model().atom_types.type_radius[GREEN] = 1.0;
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    viewer_scene_state().label_colour = 0x00FF00FF;  // magenta: no atom or highlight has it
    viewer->handle_command(CMD_VIEWER_VAN_DER_WAALS);
    viewer->handle_command(CMD_VIEWER_ATOM_LABELS);

    auto magenta_beside_o1 = [&](const QImage& image) {
        const QPoint start = expected_pixel(image, 0.65, 0, 0);
        int magenta = 0;
        for (int y = start.y() - 25; y <= start.y() + 2; ++y)
            for (int x = start.x(); x <= start.x() + 35; ++x) {
                const Rgb c = pixel(image, {x, y});
                magenta += c.r > 128 && c.g < 100 && c.b > 128 ? 1 : 0;
            }
        return magenta;
    };
    QImage image = viewer->grab_scene();
    EXPECT_TRUE(is_green(pixel(image, expected_pixel(image, 0.8, 0.1, 2))));
    EXPECT_EQ(magenta_beside_o1(image), 0);

    WorkingAtomSet& atoms = current_model().atoms;
    atoms.cart_z[blocker] = -2;
    atoms.cart_z[other] = 2;
    atoms.cart_x[other] = -2.5;
    atoms.cart_x[blocker] = 2.5;
    image = viewer->grab_scene();
    EXPECT_GT(magenta_beside_o1(image), 10);
}

TEST_F(ViewerOpenGlTest, AxesRunAlongTheCellEdges)
{
    add_three_atoms();
    // a = (3, 0, 0), b at gamma = 60 degrees in the xy plane, c along z.
    Matrix3& m = current_model().orthogonalisation.matrix;
    m(1, 1) = 3.0;
    m(1, 2) = 1.5;
    m(2, 2) = 3.0 * std::sin(PI / 3.0);
    m(3, 3) = 3.0;
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    viewer->handle_command(CMD_VIEWER_ATOMS);
    viewer->handle_command(CMD_VIEWER_AXIS);
    const QImage image = viewer->grab_scene();
    EXPECT_TRUE(any_near(image, expected_pixel(image, 1.5, 0, 0), 1, is_red));
    EXPECT_TRUE(any_near(image, expected_pixel(image, 0.75, 0.75 * std::sqrt(3.0), 0), 1, is_green));
    // Nothing along the direction a frame with c along z would give b at 90 degrees.
    EXPECT_FALSE(any_near(image, expected_pixel(image, 0, 1.5, 0), 1, [](Rgb c) { return !is_black(c); }));
}

TEST_F(ViewerOpenGlTest, MouseDragsTurnTheSceneAndReadIasWaitsForTheProgressDialog)
{
    add_three_atoms();
    StructureViewer* viewer = open_viewer();
    ASSERT_NE(viewer, nullptr);
    ViewerScene* scene = viewer->scene();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), scene->mapToGlobal(QPointF(10, 10)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 10), scene->mapToGlobal(QPointF(60, 10)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(60, 10), scene->mapToGlobal(QPointF(60, 10)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(scene, &press);
    QApplication::sendEvent(scene, &move);
    QApplication::sendEvent(scene, &release);
    EXPECT_NEAR(viewer_scene_state().rot_y, 18.0f, 1e-3f);
    EXPECT_EQ(viewer_scene_state().drag_mode, DRAG_NONE);

    job_control().progress_open = true;
    viewer->grab_scene();
    EXPECT_FALSE(viewer->menu_action(CMD_VIEWER_READ_IAS)->isEnabled());
    job_control().progress_open = false;
    viewer->grab_scene();
    EXPECT_TRUE(viewer->menu_action(CMD_VIEWER_READ_IAS)->isEnabled());
}

// Offscreen there is no OpenGL: the viewer says so and does not open.
TEST(ViewerWithoutOpenGl, StructureReportsThatOpenGlIsMissing)
{
    if (viewer_opengl_available())
        GTEST_SKIP() << "this display has OpenGL";
    ScopedScriptedUi ui;
    run_structure_viewer(nullptr);
    EXPECT_EQ(viewer_window_state().viewer, nullptr);
    ASSERT_EQ(ui->answers.messages.size(), 1u);
    EXPECT_EQ(ui->answers.messages[0].text,
              "OpenGL is not available on this display: the structure viewer cannot be shown.");
}

}  // namespace
