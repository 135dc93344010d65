#include "keldana/shell/main_window.h"

#include "common/job_control.h"
#include "common/safe_write.h"
#include "common/user_interface.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/main_menu.h"
#include "keldana/resources/toolbar_icons.h"
#include "keldana/shell/about_box.h"
#include "keldana/shell/critical_point_file.h"
#include "keldana/shell/settings.h"
#include "keldana/shell/text_pane.h"

#include "common/qt/dialog.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/kdn_file.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/pseudoatom_report.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/properties/dipole_moment.h"
#include "keldana/properties/population_checks.h"
#include "keldana/properties/quadrupole_moment.h"
#include "keldana/shell/bank_dialog.h"
#include "keldana/shell/bond_path_dialog.h"
#include "keldana/shell/default_parameters_dialog.h"
#include "keldana/shell/line_profile_dialog.h"
#include "keldana/shell/map_dialog.h"
#include "keldana/shell/map_file_operations_dialog.h"
#include "keldana/shell/options_dialog.h"
#include "keldana/shell/potential_charges_dialog.h"
#include "keldana/shell/properties_dialog.h"
#include "keldana/shell/subset_dialog.h"
#include "keldana/shell/cluster_dialog.h"
#include "keldana/shell/cp_search_dialog.h"
#include "keldana/shell/integration_dialog.h"
#include "keldana/viewer/viewer_window.h"
#include "keldana/shell/text_editor.h"

#include <QAction>
#include <QPushButton>
#include <QStackedWidget>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextDocument>
#include <QToolBar>

#include <fstream>

bool command_available(int id)
{
    switch (id) {
    case CMD_EDITOR_SAVE_AND_RELOAD:
    case CMD_EDITOR_CLOSE:
    case CMD_EXIT:
    case CMD_OPEN:
    case CMD_SAVE_DATA_FILE:
    case CMD_HELP_CONTENTS:
    case CMD_ABOUT:
    case CMD_PSEUDOATOM_PARAMETERS:
    case CMD_LIST_POPULATIONS:
    case CMD_CLUSTER:
    case CMD_PROMOLECULE_MODEL:
    case CMD_KDN_DATA:
    case CMD_READ_MOLLY:
    case CMD_READ_XD:
    case CMD_MAP_OF_PROPERTY:
    case CMD_PROPERTY_ALONG_LINE:
    case CMD_MAP_FILE_OPERATIONS:
    case CMD_DIPOLE_MOMENT:
    case CMD_QUADRUPOLE_MOMENT:
    case CMD_POTENTIAL_CHARGES:
    case CMD_CHECK_POPULATIONS:
    case CMD_OPTIONS:
    case CMD_WAVEFUNCTION_BANK:
    case CMD_DEFAULT_PARAMETERS:
    case CMD_ACTIVATE_PROPERTY:
    case CMD_SUBSET_ATOMS:
    case CMD_STRUCTURE_VIEWER:
    case CMD_CP_SEARCH:
    case CMD_BOND_PATH:
    case CMD_PROPERTY_INTEGRATION:
    case CMD_READ_COVARIANCE:
    case CMD_IMPORT_COVARIANCE:
    case CMD_SAVE_COVARIANCE:
    case CMD_STOP:
        return true;
    default:
        return false;
    }
}

MainWindow::MainWindow()
{
    setObjectName("main_window");
    setWindowTitle("Keldana");
    create_menus();
    create_toolbar();
    create_accelerators();
    text_pane_ = new TextPane(this);
    editor_ = new TextEditorPanel(this);
    connect(editor_->save_button(), &QPushButton::clicked, this, [this] { handle_command(CMD_EDITOR_SAVE_AND_RELOAD); });
    connect(editor_->close_button(), &QPushButton::clicked, this, [this] { handle_command(CMD_EDITOR_CLOSE); });
    central_ = new QStackedWidget(this);
    central_->addWidget(text_pane_);
    central_->addWidget(editor_);
    setCentralWidget(central_);
    job_control().busy_count = 0;
}

void MainWindow::create_menus()
{
    for (const MenuResource& menu_resource : main_menu_resource()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(menu_resource.title));
        for (const MenuItemResource& item : menu_resource.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setEnabled(!item.greyed && command_available(item.id));
            const int id = item.id;
            connect(action, &QAction::triggered, this, [this, id] { handle_command(id); });
            menu_actions_[id] = action;
        }
    }
}

void MainWindow::create_toolbar()
{
    toolbar_ = addToolBar("Toolbar");
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(24, 24));
    for (const ToolbarButtonResource& button : main_toolbar_resource()) {
        if (button.image < 0) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = toolbar_->addAction(toolbar_icon(button.image), QString::fromUtf8(button.tip));
        action->setEnabled(button.enabled && command_available(button.command));
        const int id = button.command;
        connect(action, &QAction::triggered, this, [this, id] { handle_command(id); });
        toolbar_actions_[id] = action;
    }
}

void MainWindow::create_accelerators()
{
    auto about = [this] { handle_command(CMD_ABOUT); };
    for (const char* keys : {"Alt+/", "Alt+?"})
        connect(new QShortcut(QKeySequence(keys), this), &QShortcut::activated, this, about);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            [this] { handle_command(CMD_HELP_CONTENTS); });
}

QAction* MainWindow::menu_action(int id) const
{
    auto it = menu_actions_.find(id);
    return it == menu_actions_.end() ? nullptr : it->second;
}

QAction* MainWindow::toolbar_action(int id) const
{
    auto it = toolbar_actions_.find(id);
    return it == toolbar_actions_.end() ? nullptr : it->second;
}

bool MainWindow::menu_enabled(int id) const
{
    QAction* action = menu_action(id);
    return action && action->isEnabled();
}

bool MainWindow::toolbar_enabled(int id) const
{
    QAction* action = toolbar_action(id);
    return action && action->isEnabled();
}

void MainWindow::set_command_menu_state(bool enable)
{
    for (int id : command_menu_items())
        if (QAction* action = menu_action(id))
            action->setEnabled(enable && command_available(id));
    for (int id : command_toolbar_buttons())
        set_toolbar_button(id, enable);
}

void MainWindow::enable_command(int id, bool enable)
{
    if (QAction* action = menu_action(id))
        action->setEnabled(enable && command_available(id));
    set_toolbar_button(id, enable);
}

void MainWindow::set_toolbar_button(int id, bool enable)
{
    if (QAction* action = toolbar_action(id))
        action->setEnabled(enable && command_available(id));
}

void MainWindow::reset_stop_request(bool enable)
{
    job_control().stop_requested = false;
    set_toolbar_button(CMD_STOP, enable);
}

bool MainWindow::request_exit()
{
    if (job_control().busy_count != 0) {
        ui().message_box("Some applications are activated. Please, close they before exiting!", "Keldana",
                         MessageButtons::ok, MessageIcon::error);
        return false;
    }
    return editor_edits_may_go();
}

// Typed text that is in no file goes only when the user says so.
bool MainWindow::editor_edits_may_go()
{
    if (!editor_open_ || !editor_->edit()->document()->isModified())
        return true;
    return ui().message_box("The text in the editor has changes that are not saved. Discard them?", "Editor",
                            MessageButtons::yes_no, MessageIcon::question) == MessageAnswer::yes;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!request_exit()) {
        event->ignore();
        return;
    }
    shut_down();
    event->accept();
}

void MainWindow::shut_down()
{
    if (shut_down_done_)
        return;
    shut_down_done_ = true;
    close_text_editor();
    write_critical_point_file_at_exit();
    save_working_directory_at_exit();
    close_report_output();
}

void MainWindow::show_help()
{
    const std::string help_file = run_settings().file_dialog.start_directory + "/Keldana.chm";
    ProcessResult result = ui().run_process("hh", {help_file}, std::string(), false);
    if (!result.started)
        ui().message_box("Unable to activate help", "Keldana", MessageButtons::ok, MessageIcon::error);
}

void MainWindow::open_text_editor()
{
    close_text_editor();
    ui().set_command_menu_state(false);
    editor_open_ = true;
    editor_->set_text(QString::fromStdString(text_editor_contents_of_current_model()));
    central_->setCurrentWidget(editor_);
}

void MainWindow::close_text_editor()
{
    if (!editor_open_)
        return;
    editor_open_ = false;
    central_->setCurrentWidget(text_pane_);
    ui().set_command_menu_state(true);
}

// Asks for a model file and loads it with the reader of input_type.
bool MainWindow::open_model_file(const char* description, const char* pattern, const char* input_type)
{
    {
        BusyScope busy;
        close_text_editor();
        run_settings().file_dialog.dialog_mode = "open";
        run_file_dialog(description, pattern);
    }
    if (file_dialog_cancelled())
        return false;
    return load_model_file(input_type);
}

bool MainWindow::load_model_file(const char* input_type)
{
    RunSettings& settings = run_settings();
    settings.output_files.input_file_path = settings.file_dialog.dialog_path;
    settings.output_files.input_type = input_type;
    return load_structure_file();
}

void MainWindow::save_data_file()
{
    {
        BusyScope busy;
        run_settings().file_dialog.dialog_mode = "save";
        run_file_dialog("Keldana input file (*.kdn)", "*.kdn");
    }
    if (file_dialog_cancelled())
        return;
    const std::string& path = run_settings().file_dialog.dialog_path;
    SafeWrite out(path);
    if (!out.is_open() || !write_kdn_input_file(out.stream(), current_model()) || !out.commit()) {
        ui().message_box("Can not write the file " + path, "Error!", MessageButtons::ok, MessageIcon::warning);
        return;
    }
    run_settings().output_files.input_file_path = path;
}

void MainWindow::save_and_reload_editor()
{
    FileDialogState& dialog = run_settings().file_dialog;
    {
        BusyScope busy;
        dialog.dialog_mode = "save";
        dialog.dialog_path = "keldana.kdn";
        run_file_dialog("Keldana input file (*.kdn)", "*.kdn");
    }
    if (file_dialog_cancelled())
        return;
    if (!write_text_editor_lines(editor_->text(), dialog.dialog_path))
        return;
    editor_->edit()->document()->setModified(false);  // the text is in the file now
    // The editor closes only when its text has loaded: a refused text stays
    // for the user to mend, shown at the line the message names.
    if (!load_model_file("kdn")) {
        editor_->show_line(last_kdn_fault_line());
        return;
    }
    close_text_editor();
}

void MainWindow::read_covariance()
{
    {
        BusyScope busy;
        run_settings().file_dialog.dialog_mode = "open";
        run_file_dialog("Keldana covariance matrix(*.cov)", "*.cov");
    }
    if (file_dialog_cancelled())
        return;
    read_covariance_matrix_file(run_settings().file_dialog.dialog_path);
}

void MainWindow::save_covariance()
{
    run_settings().file_dialog.dialog_mode = "save";
    run_file_dialog("cariance-covariance matrix (*.cov)", "*.cov");
    if (file_dialog_cancelled())
        return;
    save_covariance_matrix_as(run_settings().file_dialog.dialog_path);
}

void MainWindow::edit_cluster()
{
    BusyScope busy;
    if (run_symmetry_generation_dialog(current_model(), this))
        build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, current_model());
}

void MainWindow::handle_command(int id)
{
    // Each command is a job: what it wrote reaches the listing when it ends.
    struct FlushAtEnd {
        ~FlushAtEnd() { flush_listing(); }
    } flush_at_end;
    switch (id) {
    case CMD_EDITOR_SAVE_AND_RELOAD:
        save_and_reload_editor();
        break;
    case CMD_EDITOR_CLOSE:
        if (editor_edits_may_go())
            close_text_editor();
        break;
    case CMD_OPEN:
        open_model_file("Keldana input file (*.kdn)", "*.kdn", "kdn");
        break;
    case CMD_SAVE_DATA_FILE:
        save_data_file();
        break;
    case CMD_READ_MOLLY:
        if (open_model_file("MOLLY parameters file (*.par)", "*.par", "mol"))
            open_text_editor();
        break;
    case CMD_READ_XD:
        if (open_model_file("XD input files (*.inp,*.res)", "*.inp;*.res", "xdi"))
            open_text_editor();
        break;
    case CMD_KDN_DATA:
        open_text_editor();
        break;
    case CMD_PSEUDOATOM_PARAMETERS:
        write_pseudoatom_report("PARMS", current_model());
        break;
    case CMD_LIST_POPULATIONS:
        write_pseudoatom_report("POPS ", current_model());
        break;
    case CMD_CLUSTER:
        edit_cluster();
        break;
    case CMD_CP_SEARCH: {
        BusyScope busy;
        run_critical_point_search_dialog(this);
        break;
    }
    case CMD_BOND_PATH:
        run_bond_path_dialog(this);
        break;
    case CMD_STRUCTURE_VIEWER:
        run_structure_viewer(this);
        break;
    case CMD_OPTIONS:
        run_options_command(this);
        break;
    case CMD_MAP_OF_PROPERTY: {
        BusyScope busy;
        run_map_dialog(this);
        break;
    }
    case CMD_PROPERTY_ALONG_LINE:
        open_line_profile_dialog(this);
        break;
    case CMD_MAP_FILE_OPERATIONS: {
        BusyScope busy;
        run_map_file_operations_dialog(this);
        break;
    }
    case CMD_DIPOLE_MOMENT: {
        BusyScope busy;
        compute_molecular_dipole_moment();
        break;
    }
    case CMD_QUADRUPOLE_MOMENT:
        compute_molecular_quadrupole_moment();
        break;
    case CMD_POTENTIAL_CHARGES:
        run_potential_charges_dialog(this);
        break;
    case CMD_CHECK_POPULATIONS:
        check_atomic_populations();
        break;
    case CMD_WAVEFUNCTION_BANK:
        run_change_wavefunction_bank_command(this);
        break;
    case CMD_DEFAULT_PARAMETERS: {
        BusyScope busy;
        run_default_parameters_dialog(this);
        break;
    }
    case CMD_ACTIVATE_PROPERTY: {
        BusyScope busy;
        run_property_selection_dialog(this);
        break;
    }
    case CMD_SUBSET_ATOMS: {
        BusyScope busy;
        run_subset_atoms_dialog(this);
        break;
    }
    case CMD_PROPERTY_INTEGRATION: {
        BusyScope busy;
        run_integration_dialog(this);
        break;
    }
    case CMD_READ_COVARIANCE:
        read_covariance();
        break;
    case CMD_IMPORT_COVARIANCE:
        if (import_covariance_matrix_via_converter())
            enable_command(CMD_SAVE_COVARIANCE, true);
        break;
    case CMD_SAVE_COVARIANCE:
        save_covariance();
        break;
    case CMD_PROMOLECULE_MODEL:
        switch_to_promolecule_model(current_model());
        text_pane_state().scroll_to_end = true;
        text_pane_->lines_changed();
        break;
    case CMD_EXIT:
        if (request_exit())
            close();
        break;
    case CMD_HELP_CONTENTS:
        show_help();
        break;
    case CMD_ABOUT:
        run_about_box(this);
        break;
    case CMD_STOP:
        job_control().stop_requested = true;
        // What the stopped job wrote is on disk at once.
        flush_listing();
        break;
    default:
        break;
    }
}
