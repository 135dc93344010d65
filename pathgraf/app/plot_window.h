// Pathgraf's main window: the menu, the toolbar and the view, and the
// command table through which every command enters.
#pragma once

#include <QMainWindow>

#include <map>
#include <string>

class QAction;
class QToolBar;
class PlotView;

class PlotMainWindow : public QMainWindow {
public:
    PlotMainWindow();
    ~PlotMainWindow() override;

    // Runs one command of the menu, toolbar or accelerators.
    void handle_command(int id);

    QAction* menu_action(int id) const;
    QAction* toolbar_action(int id) const;
    bool menu_enabled(int id) const;
    bool menu_checked(int id) const;
    bool toolbar_enabled(int id) const;  // false also for an indeterminate button
    bool toolbar_checked(int id) const;
    void set_menu_enabled(int id, bool enable);
    void set_menu_checked(int id, bool checked);
    void set_toolbar_enabled(int id, bool enable);
    void set_toolbar_checked(int id, bool checked);
    PlotView* view() const { return view_; }
    QToolBar* toolbar() const { return toolbar_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void create_menus();
    void create_toolbar();
    void create_accelerators();
    void save_plot_as();
    void undo_lines();
    void show_help();
    void toggle_axis_ticks();

    std::map<int, QAction*> menu_actions_;
    std::map<int, QAction*> toolbar_actions_;
    QToolBar* toolbar_ = nullptr;
    PlotView* view_ = nullptr;
};

// Greys (enable false) or enables the commands that follow the plot's
// state, all but except_id; "Lables" is enabled only while a post file is
// loaded.  Exit, About and Contens are never greyed.
int set_commands_enabled(int except_id, bool enable);
// View > Atom positions, Atom lables, CP positions, CP lables: they act on a
// post file's data, so they stay grey until one is loaded.
bool is_post_view_item(int id);

// The Open or Save dialog by mode of PlotFileDialogState ("DATA", "POST",
// "SAVE"); true with chosen_name and file_title set when a file was chosen.
bool choose_plot_file();

// Draws the plot again at full size, scales it into the view and repaints.
void redraw_plot();
// Repaints the view.
void invalidate_view();

// The extension of a Save as name: up to three characters after the last
// "." of the name (empty when it has none).
std::string save_extension(const std::string& name);

// The trimmed length of a directory text (0 when blank).
int get_trimmed_directory_length(const std::string& text);
