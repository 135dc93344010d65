#include "keldana/shell/main_window.h"

#include "common/job_control.h"
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

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>

bool command_available(int id)
{
    switch (id) {
    case CMD_EXIT:
    case CMD_HELP_CONTENTS:
    case CMD_ABOUT:
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
    setCentralWidget(text_pane_);
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
    return true;
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

void MainWindow::handle_command(int id)
{
    switch (id) {
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
        break;
    default:
        break;
    }
}
