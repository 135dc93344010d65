// The main window and its command table: the commands at start, the
// command-line argument, File > Open (and a refused file), Tools > Post,
// the display switches, Undo Line, Save as by extension, Help and About.
#include "common/file_units.h"
#include "common/qt/dialog.h"
#include "pathgraf/app/about_box.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_view.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_dialogs.h"
#include "pathgraf/resources/plot_menu.h"
#include "pathgraf_test_support.h"

#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class WindowTest : public PlotTest {
protected:
    PlotMainWindow& window() { return *program_->window; }
    bool usable(int id) { return window().menu_enabled(id) || window().toolbar_enabled(id); }
    // View > Atom positions, Atom lables, CP positions, CP lables: usable
    // exactly when a post file is loaded.
    void expect_post_view_items(bool usable_now)
    {
        for (int id : {CMD_ATOM_POSITIONS, CMD_ATOM_LABELS, CMD_CP_POSITIONS, CMD_CP_LABELS})
            EXPECT_EQ(usable(id), usable_now) << id;
    }
};

TEST_F(WindowTest, WithoutADataFileOnlyOpenExitAboutAndContensWork)
{
    start();
    EXPECT_EQ(window().windowTitle(), "Pathgraf");
    QStringList titles;
    for (QAction* action : window().menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Tools", "Help"}));
    EXPECT_EQ(window().toolbar()->actions().size(), static_cast<qsizetype>(plot_toolbar_resource().size()));
    for (int id : {CMD_OPEN, CMD_EXIT, CMD_ABOUT, CMD_CONTENTS})
        EXPECT_TRUE(usable(id)) << id;
    for (int id : switched_commands_with_buttons())
        EXPECT_EQ(usable(id), id == CMD_OPEN) << id;
    for (int id : switched_menu_items())
        EXPECT_FALSE(usable(id)) << id;
    for (int id : {CMD_LABELS, CMD_PRINT, CMD_PRINT_SETUP})
        EXPECT_FALSE(usable(id)) << id;
    // F1 has no handler.
    window().handle_command(CMD_HELP_KEY);
    EXPECT_TRUE(ui_->answers.messages.empty());
    EXPECT_TRUE(plot_window_handles().plot_bitmap.isNull());
}

TEST_F(WindowTest, TheCommandLineArgumentOpensTheDataFileWithoutDrawingIt)
{
    start({trajectory_fixture("map.dat")});
    EXPECT_TRUE(display_options().data_open);
    EXPECT_TRUE(is_unit_open(DATA_UNIT));
    EXPECT_TRUE(plot_window_handles().plot_bitmap.isNull());
    EXPECT_FALSE(usable(CMD_SAVE_AS));
    // A switch that is never greyed draws nothing without a window read.
    window().handle_command(CMD_TEXT);
    EXPECT_TRUE(plot_window_handles().plot_bitmap.isNull());
    // Open reads and draws it.
    open_data(trajectory_fixture("map.dat"));
    EXPECT_EQ(plot_window_handles().plot_bitmap.size(), QSize(2400, 1800));
}

TEST_F(WindowTest, ACommandLineArgumentWithoutADotOrOfAMissingOrBadFileOpensNothing)
{
    start({"map"});
    EXPECT_FALSE(display_options().data_open);
    program_.reset();
    start({(directory_ / "missing.dat").string()});
    EXPECT_FALSE(display_options().data_open);
    EXPECT_FALSE(is_unit_open(DATA_UNIT));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    program_.reset();
    start({write_file("bad.dat", "  1.0 1.0 1.0 1.0\n")});
    EXPECT_FALSE(display_options().data_open);
    EXPECT_EQ(ui_->answers.messages.size(), 2u);
}

TEST_F(WindowTest, OpenEnablesTheCommandsSelectsMoveAndCentresTheImage)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    ASSERT_EQ(ui_->answers.file_requests.size(), 1u);
    EXPECT_EQ(ui_->answers.file_requests[0].title, "Open file");
    EXPECT_EQ(ui_->answers.file_requests[0].description, "Trajectory data file (*.dat)");
    for (int id : switched_commands_with_buttons())
        EXPECT_TRUE(usable(id)) << id;
    EXPECT_FALSE(usable(CMD_LABELS));      // no post file yet
    expect_post_view_items(false);
    EXPECT_FALSE(usable(CMD_UNDO_LINE));   // no user lines
    for (int id : {CMD_TRAJECTORY_PATH, CMD_BOND_PATH, CMD_SURFACE_PATH, CMD_AXIS_TICKS, CMD_AXIS_LABELS})
        EXPECT_TRUE(window().menu_checked(id)) << id;
    EXPECT_TRUE(window().toolbar_checked(CMD_MOVE));
    const ViewState& view = view_state();
    EXPECT_EQ(view.move_mode, 1);
    EXPECT_EQ(view.full_width, 2400);
    EXPECT_EQ(view.full_height, 1800);
    // The divisor makes the image fit the view; the image is centred.
    const QWidget* v = plot_window_handles().view_window;
    const int divisor = std::max({2400 / v->width(), 1800 / v->height(), 1}) + 1;
    EXPECT_EQ(view.zoom_divisor, divisor);
    EXPECT_EQ(view.view_width, 2400 / divisor);
    EXPECT_EQ(view.origin_x, (v->width() - view.view_width) / 2);
    EXPECT_EQ(view.origin_y, (v->height() - view.view_height) / 2);
    const QImage& shown = plot_window_handles().view_bitmap;
    EXPECT_EQ(shown.size(), QSize(view.view_width, view.view_height));
    // The view paints its bitmap at the origin.
    const QImage painted = plot_window_handles().view_window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int compared = 0;
    for (int y = 2; y < shown.height() - 2; y += 7)
        for (int x = 2; x < shown.width() - 2; x += 7) {
            ASSERT_EQ(painted.pixel(view.origin_x + x, view.origin_y + y), shown.pixel(x, y)) << x << "," << y;
            ++compared;
        }
    EXPECT_GT(compared, 100);
    // The axis ranges follow the window with steps of 0.1.
    EXPECT_EQ(axis_settings().x_min, -2.0);
    EXPECT_EQ(axis_settings().y_max, 1.5);
    EXPECT_EQ(axis_settings().x_step, static_cast<double>(0.1f));
}

// Every size of the window shows the whole plot, centred: maximised and
// restored again, and for a file opened after the restore.
TEST_F(WindowTest, EveryResizeFitsTheWholePlotToTheView)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    const QWidget* v = plot_window_handles().view_window;
    const ViewState& view = view_state();
    auto expect_fitted = [&](const char* when) {
        EXPECT_LE(view.view_width, v->width()) << when;
        EXPECT_LE(view.view_height, v->height()) << when;
        EXPECT_EQ(view.origin_x, (v->width() - view.view_width) / 2) << when;
        EXPECT_EQ(view.origin_y, (v->height() - view.view_height) / 2) << when;
        // The divisor of an opening at this size.
        EXPECT_EQ(view.zoom_divisor, std::max({view.full_width / v->width(), view.full_height / v->height(), 1}) + 1)
            << when;
        EXPECT_EQ(plot_window_handles().view_bitmap.size(), QSize(view.view_width, view.view_height)) << when;
    };
    expect_fitted("opened");
    program_->window->resize(1900, 1400);
    QCoreApplication::processEvents();
    expect_fitted("enlarged");
    const int large_width = view.view_width;
    program_->window->resize(700, 500);
    QCoreApplication::processEvents();
    expect_fitted("restored");
    EXPECT_LT(view.view_width, large_width);
    open_data(trajectory_fixture("map.dat"));
    expect_fitted("opened after the restore");
}

TEST_F(WindowTest, ARefusedFileLeavesTheShownPlotAsItWas)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    const QImage before = plot_window_handles().plot_bitmap;
    open_data(write_file("hostile.dat", "  -1.0 1.0 -1.0 1.0\n     2  TP\n  x y\n"));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
    EXPECT_NE(ui_->answers.messages[0].text.find("hostile.dat"), std::string::npos);
    EXPECT_TRUE(display_options().data_open);
    EXPECT_EQ(plot_window_handles().plot_bitmap, before);
    EXPECT_EQ(plot_extents().xmax, 2.0);
    // A cancelled dialog changes nothing either.
    ui_->answers.file_answers.push_back(std::nullopt);
    window().handle_command(CMD_OPEN);
    EXPECT_EQ(plot_window_handles().plot_bitmap, before);
}

TEST_F(WindowTest, PostLoadsOnceAndThenGoesStraightToItsDialog)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    load_post(trajectory_fixture("map.pos"));
    EXPECT_TRUE(display_options().post_loaded);
    EXPECT_TRUE(usable(CMD_LABELS));
    expect_post_view_items(true);
    EXPECT_TRUE(window().menu_checked(CMD_ATOM_POSITIONS));
    EXPECT_TRUE(window().menu_checked(CMD_CP_POSITIONS));
    EXPECT_FALSE(display_options().atom_labels_shown);
    EXPECT_EQ(ui_->answers.file_requests.back().description, "Trajectory post file (*.pos)");

    const std::size_t requests = ui_->answers.file_requests.size();
    bool shown = false;
    when_open([&shown](Dialog& d) {
        shown = d.get_resource_id() == IDD_POST_SYMBOL;
        d.user_click(2);
    });
    window().handle_command(CMD_POST);
    EXPECT_TRUE(shown);
    EXPECT_EQ(ui_->answers.file_requests.size(), requests);

    // A new Open clears the post file.
    open_data(trajectory_fixture("map.dat"));
    EXPECT_FALSE(display_options().post_loaded);
    EXPECT_EQ(post_data().atom_count, 0);
    EXPECT_FALSE(usable(CMD_LABELS));
    expect_post_view_items(false);
}

TEST_F(WindowTest, APostFileReadingErrorShowsNoSymbolDialog)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    ui_->answers.file_answers.push_back(write_file("bad.pos", "ATOMS\n 2\nC1   0.5 x\n"));
    run_without_dialog([this] { window().handle_command(CMD_POST); });
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].text, "POST file reading error.");
    EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
    EXPECT_FALSE(display_options().post_loaded);
    EXPECT_FALSE(usable(CMD_LABELS));
    expect_post_view_items(false);
    EXPECT_FALSE(is_unit_open(POST_UNIT));
}

TEST_F(WindowTest, AxisLablesWhileTicksAreHiddenChangesNothing)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    window().handle_command(CMD_AXIS_TICKS);
    EXPECT_FALSE(style_settings().ticks_shown);
    EXPECT_FALSE(window().menu_checked(CMD_AXIS_TICKS));
    EXPECT_FALSE(window().menu_checked(CMD_AXIS_LABELS));
    window().handle_command(CMD_AXIS_LABELS);
    EXPECT_TRUE(display_options().axis_labels_shown);
    EXPECT_FALSE(window().menu_checked(CMD_AXIS_LABELS));
    window().handle_command(CMD_AXIS_TICKS);
    EXPECT_TRUE(window().menu_checked(CMD_AXIS_LABELS));
    // A menu click's own toggle is taken back: the command decides.
    window().menu_action(CMD_AXIS_TICKS)->trigger();
    EXPECT_FALSE(style_settings().ticks_shown);
    EXPECT_FALSE(window().menu_checked(CMD_AXIS_TICKS));
}

TEST_F(WindowTest, UndoLineDropsEveryCommittedLine)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    UserLines& lines = user_lines();
    window().handle_command(CMD_DRAW_LINE);
    QWidget* view = plot_window_handles().view_window;
    const QPoint centre(view->width() / 2, view->height() / 2);
    for (QPoint p : {centre, centre + QPoint(40, 0), centre + QPoint(40, 30)}) {
        QMouseEvent press(QEvent::MouseButtonPress, p, view->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(view, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, p, view->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(view, &release);
    }
    window().handle_command(CMD_DRAW_LINE);
    EXPECT_EQ(lines.line_count, 3);
    EXPECT_TRUE(window().menu_checked(CMD_POST_LINES));
    EXPECT_TRUE(window().menu_enabled(CMD_UNDO_LINE));

    // Ctrl+Z.
    for (QShortcut* shortcut : window().findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence("Ctrl+Z"))
            emit shortcut->activated();
    EXPECT_EQ(lines.line_count, 0);
    EXPECT_FALSE(window().menu_enabled(CMD_POST_LINES));
    EXPECT_FALSE(window().menu_checked(CMD_POST_LINES));
    EXPECT_FALSE(window().menu_enabled(CMD_UNDO_LINE));
}

TEST_F(WindowTest, SaveAsWritesByTheNamesExtension)
{
    const std::pair<const char*, std::string> cases[] = {
        {"plot.ps", "ps"}, {"plot.PS", "PS"}, {"plot.Ps", "Ps"}, {"a.b/plot", "b/p"},
        {"plot", ""},      {"plot.bmpx", "bmp"}, {"plot.txt  ", "txt"},
    };
    for (const auto& [name, extension] : cases)
        EXPECT_EQ(save_extension(name), extension) << name;

    start();
    open_data(trajectory_fixture("map.dat"));
    // A name of neither kind writes nothing, and says so.
    for (const char* name : {"plot.Ps", "plot.txt"}) {
        const std::string path = (directory_ / name).string();
        ui_->answers.messages.clear();
        ui_->answers.file_answers.push_back(path);
        run_without_dialog([this] { window().handle_command(CMD_SAVE_AS); });
        EXPECT_FALSE(fs::exists(path)) << name;
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << name;
        EXPECT_NE(ui_->answers.messages[0].text.find("Nothing was written: " + path), std::string::npos);
    }
    const FileDialogRequest& save = ui_->answers.file_requests.back();
    EXPECT_EQ(save.title, "Save file");
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.pattern, "*.ps");
    ASSERT_EQ(save.more_filters.size(), 1u);
    EXPECT_EQ(save.more_filters[0].description, "Bitmap (*.bmp)");
    EXPECT_FALSE(save.all_files);

    const std::string ps = (directory_ / "plot.PS").string();
    ui_->answers.file_answers.push_back(ps);
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_POSTSCRIPT);
        d.user_click(1);
    });
    window().handle_command(CMD_SAVE_AS);
    std::ifstream in(ps);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "%!PS-Adobe-3.0") << ui_->answers.message_log();
}

// A name typed without an extension takes the chosen type's, as desktop
// programs do: "plot2" with "Bitmap (*.bmp)" chosen writes plot2.bmp.
TEST_F(WindowTest, SaveAsAddsTheChosenTypesExtension)
{
    start();
    open_data(trajectory_fixture("map.dat"));
    struct Case {
        int filter;
        int dialog;
        const char* written;
    };
    for (const Case c : {Case{1, IDD_BMP_PARAMETERS, "plot2.bmp"}, Case{0, IDD_POSTSCRIPT, "plot2.ps"}}) {
        ui_->answers.filter_answers.push_back(c.filter);
        ui_->answers.file_answers.push_back((directory_ / "plot2").string());
        when_open([c](Dialog& d) {
            EXPECT_EQ(d.get_resource_id(), c.dialog);
            d.user_click(1);
        });
        window().handle_command(CMD_SAVE_AS);
        EXPECT_TRUE(fs::exists(directory_ / c.written)) << c.written << ui_->answers.message_log();
        EXPECT_FALSE(fs::exists(directory_ / "plot2"));
    }
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
}

TEST_F(WindowTest, HelpWithoutAViewerIsReported)
{
    start();
    window().handle_command(CMD_CONTENTS);
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Unable to activate help");
    EXPECT_EQ(ui_->answers.messages[0].caption, "Pathgraf");
    EXPECT_EQ(get_trimmed_directory_length("/usr/share   "), 10);
    EXPECT_EQ(get_trimmed_directory_length("    "), 0);
}

TEST_F(WindowTest, AboutShowsTheVersionEntriesNamedByItsTexts)
{
    start();
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_PLOT_ABOUT);
        EXPECT_EQ(d.window()->windowTitle(), "About Pathgraf");
        EXPECT_EQ(d.get_text(1001), "Orvo");
        EXPECT_EQ(d.get_text(1003), plot_version_entry("ProductVersion").value());
        // The credit line names no entry and keeps its text.
        EXPECT_NE(d.get_text(1004).find("trajectories"), std::string::npos);
        d.user_click(1);
    });
    window().handle_command(CMD_ABOUT);
}

TEST_F(WindowTest, WithoutAVersionBlockTheAboutBoxKeepsItsTexts)
{
    Dialog dialog(plot_about_dialog_resource());
    fill_plot_about_box(dialog, [](const std::string&) { return std::optional<std::string>(); });
    EXPECT_EQ(dialog.get_text(1001), "CompanyName");
    EXPECT_EQ(dialog.get_text(1002), "FileDescription");
    EXPECT_EQ(dialog.get_text(1003), "ProductVersion");
}

TEST(AboutPlacement, CentredOnTheOwnerAndKeptOnTheScreen)
{
    const QSize screen(1280, 1024);
    struct Case {
        QRect owner;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(100, 100, 600, 400), QPoint(300, 250)},
        {QRect(-500, -400, 300, 200), QPoint(0, 0)},
        {QRect(1200, 1000, 400, 300), QPoint(1080, 924)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(centre_about_box_on_owner(QSize(200, 100), c.owner, screen), c.expected);
}

}  // namespace
