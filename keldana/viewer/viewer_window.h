// The structure viewer window "Structure Viewer": its own menu and toolbar
// over an OpenGL view of the scene, opened by the main window's command
// "Structure" and kept apart from it, so the main window stays usable.
#pragma once

#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <QWidget>

#include <cstddef>
#include <map>

class QAction;
class QImage;
class QMenuBar;
class QToolBar;
class StructureViewer;

// The OpenGL view: fixed-function drawing needs a compatibility context.
QSurfaceFormat viewer_surface_format();

// Whether an OpenGL context can be made on this display: tried before the
// viewer shows a GL view, which cannot run without one.
bool viewer_opengl_available();

// Command "Structure" (30093): brings an open viewer to the front, or opens
// one; a display without OpenGL is reported and nothing opens.
void run_structure_viewer(QWidget* owner);

// Redraws the open viewer, if any (after a search, a cluster rebuild or an
// integration changed what it shows).
void redraw_open_viewer();

class ViewerScene : public QOpenGLWidget {
public:
    explicit ViewerScene(StructureViewer* viewer);
    ~ViewerScene() override;

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    StructureViewer* viewer_;
};

class StructureViewer : public QWidget {
public:
    explicit StructureViewer(QWidget* owner);
    ~StructureViewer() override;

    // Runs one command of the viewer's menu or toolbar.
    void handle_command(int id);

    QAction* menu_action(int id) const;
    QAction* toolbar_action(int id) const;
    QMenuBar* menu_bar() const { return menu_bar_; }
    QToolBar* toolbar() const { return toolbar_; }
    ViewerScene* scene() const { return scene_; }

    void redraw();
    // The picture of the scene, as "Save BitMap" writes it.
    QImage grab_scene();
    // Run at every paint: "Read IAS..." is greyed while a progress dialog is open.
    void update_read_ias_state();
    // Run at every paint: at the first one after opening, and whenever the
    // structure changed (another model, a new cluster), the view is fitted
    // to the structure with its labels.
    void fit_view_if_needed(int width, int height);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void create_menu();
    void create_toolbar();
    void set_checked(int id, bool checked);
    void toggle(bool& shown, int id);
    void set_atom_style(int style);
    void rebuild_surfaces();
    void read_surfaces();
    void save_bitmap();
    void choose_background();
    void choose_font();
    void set_initial_state();

    QMenuBar* menu_bar_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    ViewerScene* scene_ = nullptr;
    std::map<int, QAction*> menu_actions_;
    std::map<int, QAction*> toolbar_actions_;
    bool fit_pending_ = true;
    std::size_t fitted_structure_ = 0;  // fingerprint of the structure last fitted
};
