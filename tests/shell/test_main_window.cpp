// The main window's commands, states and shutdown, without a script.
#include "common/job_control.h"
#include "common/safe_write.h"
#include "common/scripted_ui.h"
#include "keldana/density/property_names.h"
#include "keldana/model/model_store.h"
#include "keldana/model/text_fields.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/main_menu.h"
#include "keldana/shell/critical_point_file.h"
#include "keldana/shell/main_window.h"
#include "keldana/shell/text_editor.h"
#include "keldana/topology/critical_point_list.h"
#include "support/text_files.h"

#include <QApplication>
#include <QMenuBar>
#include <QToolBar>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// A (3,-1) point of the density between atoms 1 and 2.
CriticalPoint bond_point(double x, double y, double z)
{
    CriticalPoint point;
    point.x = x;
    point.y = y;
    point.z = z;
    point.type = 2;
    point.atom1 = 1;
    point.atom2 = 2;
    point.property_code = 3;
    return point;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        job_control() = JobControl{};
    }
    ScopedScriptedUi ui_;
};

TEST_F(MainWindowTest, StartsWithOnlyTheAvailableCommandsEnabled)
{
    MainWindow window;
    // Exit, Help and About work before a model is loaded.
    for (int id : {CMD_EXIT, CMD_HELP_CONTENTS, CMD_ABOUT})
        EXPECT_TRUE(window.menu_enabled(id)) << id;
    for (int id : {CMD_EXIT, CMD_HELP_CONTENTS})
        EXPECT_TRUE(window.toolbar_enabled(id)) << id;
    // Everything greyed in the resource stays greyed.
    for (const MenuResource& menu : main_menu_resource())
        for (const MenuItemResource& item : menu.items)
            if (item.id != 0 && item.greyed) {
                EXPECT_FALSE(window.menu_enabled(item.id)) << item.id;
            }
    for (int id : {CMD_SAVE_DATA_FILE, CMD_KDN_DATA, CMD_STRUCTURE_VIEWER, CMD_CP_SEARCH, CMD_STOP})
        EXPECT_FALSE(window.toolbar_enabled(id)) << id;
}

TEST_F(MainWindowTest, MenusAndToolbarFollowTheResource)
{
    MainWindow window;
    QStringList titles;
    for (QAction* action : window.menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Tools", "&Help"}));
    QToolBar* toolbar = window.findChild<QToolBar*>("toolbar");
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->actions().size(), static_cast<qsizetype>(main_toolbar_resource().size()));
    EXPECT_EQ(window.windowTitle(), "Keldana");
}

TEST_F(MainWindowTest, GreyingAroundAJobRestoresExactlyWhatItGreyed)
{
    MainWindow window;
    std::map<int, bool> before;
    for (int id : {CMD_EXIT, CMD_HELP_CONTENTS, CMD_ABOUT, CMD_OPEN, CMD_BOND_PATH})
        before[id] = window.menu_enabled(id);
    window.set_command_menu_state(false);
    EXPECT_FALSE(window.menu_enabled(CMD_EXIT));
    EXPECT_FALSE(window.toolbar_enabled(CMD_EXIT));
    // Help and About are never touched.
    EXPECT_TRUE(window.menu_enabled(CMD_HELP_CONTENTS));
    EXPECT_TRUE(window.menu_enabled(CMD_ABOUT));
    window.set_command_menu_state(true);
    for (auto [id, enabled] : before)
        EXPECT_EQ(window.menu_enabled(id), enabled) << id;
}

TEST_F(MainWindowTest, AJobGreysWhatCouldChangeWhatItReadsAndGivesItBack)
{
    MainWindow window;
    window.set_command_menu_state(true);
    const std::vector<int> edits = {CMD_OPEN,          CMD_READ_MOLLY,         CMD_READ_XD,     CMD_KDN_DATA,
                                    CMD_ACTIVATE_PROPERTY, CMD_OPTIONS,        CMD_DEFAULT_PARAMETERS,
                                    CMD_SUBSET_ATOMS,  CMD_WAVEFUNCTION_BANK,  CMD_CLUSTER,     CMD_PROMOLECULE_MODEL,
                                    CMD_READ_COVARIANCE, CMD_MAP_OF_PROPERTY,  CMD_CP_SEARCH,   CMD_BOND_PATH,
                                    CMD_PROPERTY_INTEGRATION, CMD_POTENTIAL_CHARGES};
    std::map<int, std::pair<bool, bool>> before;
    for (int id : edits)
        before[id] = {window.menu_enabled(id), window.toolbar_enabled(id)};
    window.toolbar_action(CMD_STOP)->setEnabled(true);
    {
        const JobScope job;
        window.set_job_state(true);
        for (int id : edits) {
            EXPECT_FALSE(window.menu_enabled(id)) << id;
            EXPECT_FALSE(window.toolbar_enabled(id)) << id;
        }
        for (int id : {CMD_HELP_CONTENTS, CMD_ABOUT})
            EXPECT_TRUE(window.menu_enabled(id)) << id;
        EXPECT_TRUE(window.toolbar_enabled(CMD_STOP));
        // A greyed command reached anyway (an accelerator) changes nothing.
        const std::uint64_t revision = model_revision();
        window.handle_command(CMD_PROMOLECULE_MODEL);
        EXPECT_EQ(model_revision(), revision);
        window.handle_command(CMD_STOP);
        EXPECT_TRUE(job_control().stop_requested);
        window.set_job_state(false);
    }
    for (int id : edits)
        EXPECT_EQ(std::make_pair(window.menu_enabled(id), window.toolbar_enabled(id)), before[id]) << id;
}

TEST_F(MainWindowTest, ExitWhileBusyIsRefusedAndTheWindowStays)
{
    MainWindow window;
    window.show();
    {
        BusyScope busy;
        window.handle_command(CMD_EXIT);
        EXPECT_TRUE(window.isVisible());
        window.close();
        EXPECT_TRUE(window.isVisible());
    }
    ASSERT_EQ(ui_->answers.messages.size(), 2u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Some applications are activated. Please, close they before exiting!");
    EXPECT_EQ(ui_->answers.messages[0].caption, "Keldana");
    EXPECT_EQ(job_control().busy_count, 0);
    window.handle_command(CMD_EXIT);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, StopOnlySetsTheFlag)
{
    MainWindow window;
    window.handle_command(CMD_STOP);
    EXPECT_TRUE(job_control().stop_requested);
    window.reset_stop_request(true);
    EXPECT_FALSE(job_control().stop_requested);
}

TEST(CriticalPointFile, LayoutOfHeaderAndPoints)
{
    auto model = std::make_unique<StructureModel>();
    model->atoms.atom_count = 2;
    set_text_field(model->atoms.atom_label[1], "C1");
    set_text_field(model->atoms.atom_label[2], "O12345");
    CriticalPointList list;
    list.cp_count = 1;
    list.points[1] = bond_point(0.5, -1.25, 12.0);
    const auto path = std::filesystem::temp_directory_path() / "keldana_test_cps.dat";
    ASSERT_TRUE(write_critical_point_file(path.string(), list, *model));
    std::ifstream in(path);
    std::string lines[3];
    for (auto& line : lines)
        std::getline(in, line);
    EXPECT_EQ(lines[0], "    CP     CP         Bond or");
    EXPECT_EQ(lines[1], "  number  type      nearest atom      CP in         x       y       z");
    // (3X,I3,2X,A9,1X,A4,I3,' - ',A4,I3,3X,A9,3F8.3), columns counted by hand
    EXPECT_EQ(lines[2], "     1  (3,-1)    C1    1 - O123  2    RHO        0.500  -1.250  12.000");
    std::filesystem::remove(path);
}

// cps.dat and the editor's saved text fail half-way into a full disk: the
// old file stays byte for byte, no temporary is left, the message names the
// file; then a write that succeeds replaces it.
TEST(ShellWriters, AFailedWriteKeepsTheOldFile)
{
    ScopedScriptedUi ui;
    const auto folder = std::filesystem::temp_directory_path() / ("kd_shell_writers_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto model = std::make_unique<StructureModel>();
    model->atoms.atom_count = 2;
    set_text_field(model->atoms.atom_label[1], "C1");
    set_text_field(model->atoms.atom_label[2], "N1");
    auto list = std::make_unique<CriticalPointList>();
    list->cp_count = 40;
    for (int k = 1; k <= list->cp_count; ++k)
        list->points[k] = bond_point(0.1 * k, 0.0, 1.0);
    QString edited;
    for (int k = 0; k < 60; ++k)
        edited += QString("ATOM%1     6  0.1000  0.2000  0.3000\n").arg(k);
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> write;
    };
    const std::vector<Case> cases = {
        {"cps.dat", [&](const std::string& p) { return write_critical_point_file(p, *list, *model); }},
        {"edited.kdn", [&](const std::string& p) { return write_text_editor_lines(edited, p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = folder / c.name;
        ASSERT_TRUE(c.write(path.string()));
        const std::string whole = file_text(path);
        ASSERT_GT(whole.size(), 2000u);
        const std::string old = "the old file\n";
        std::ofstream(path, std::ios::binary) << old;
        for (long long after : {0LL, static_cast<long long>(whole.size() / 2)}) {
            ui->answers.messages.clear();
            set_safe_write_failure_after(after);
            EXPECT_FALSE(c.write(path.string()));
            set_safe_write_failure_after(-1);
            EXPECT_EQ(file_text(path), old);
            EXPECT_TRUE(safe_write_temporaries(folder).empty());
            ASSERT_EQ(ui->answers.messages.size(), 1u);
            EXPECT_NE(ui->answers.messages[0].text.find(path.string()), std::string::npos);
        }
        ASSERT_TRUE(c.write(path.string()));
        EXPECT_EQ(file_text(path), whole);
    }
    // The editor's lines end with CR LF, the last one included.
    const std::string saved = file_text(folder / "edited.kdn");
    EXPECT_EQ(saved.rfind("ATOM0     6  0.1000  0.2000  0.3000\r\nATOM1 ", 0), 0u);
    EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n");
    EXPECT_EQ(saved.size(), edited.size() + 60);
    std::filesystem::remove_all(folder);
}

}  // namespace
