// Keldana's main window: the menu, the toolbar, the text pane and the command
// table through which every command enters.
#pragma once

#include <QMainWindow>

#include <map>
#include <set>

class QAction;
class QToolBar;
class QStackedWidget;
class TextEditorPanel;
class TextPane;

class MainWindow : public QMainWindow {
public:
    MainWindow();

    // Runs one command of the menu, toolbar or accelerators.
    void handle_command(int id);

    // Greys or enables the command menus and their toolbar buttons around a
    // job; commands that are not available in this build stay greyed.
    void set_command_menu_state(bool enable);
    void enable_command(int id, bool enable);  // menu item and toolbar button
    void set_toolbar_button(int id, bool enable);
    void reset_stop_request(bool enable);

    bool menu_enabled(int id) const;
    bool toolbar_enabled(int id) const;
    QAction* menu_action(int id) const;
    QAction* toolbar_action(int id) const;
    TextPane* text_pane() const { return text_pane_; }
    TextEditorPanel* text_editor() const { return editor_; }
    bool text_editor_open() const { return editor_open_; }

    void open_text_editor();
    void close_text_editor();

    // The shutdown work: "cps.dat", the working directory, the listing file.
    void shut_down();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void create_menus();
    void create_toolbar();
    void create_accelerators();
    bool request_exit();
    bool editor_edits_may_go();
    void show_help();
    bool open_model_file(const char* description, const char* pattern, const char* input_type);
    bool load_model_file(const char* input_type);
    void save_data_file();
    void save_and_reload_editor();
    void edit_cluster();
    void read_covariance();
    void save_covariance();

    std::map<int, QAction*> menu_actions_;
    std::map<int, QAction*> toolbar_actions_;
    QToolBar* toolbar_ = nullptr;
    TextPane* text_pane_ = nullptr;
    TextEditorPanel* editor_ = nullptr;
    QStackedWidget* central_ = nullptr;
    bool editor_open_ = false;
    bool shut_down_done_ = false;
};

// Commands whose work this build carries; the others stay greyed.
bool command_available(int id);
