#include "keldana/viewer/viewer_window.h"

#include "common/job_control.h"
#include "common/user_interface.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/viewer_resources.h"
#include "keldana/viewer/bond_list.h"
#include "keldana/viewer/scene_drawing.h"
#include "keldana/viewer/surface_lists.h"
#include "keldana/viewer/viewer_settings.h"
#include "keldana/viewer/viewer_state.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double LABEL_DEPTH_MARGIN = 1e-5;

ViewerMouseKeys keys_of(const QMouseEvent* event)
{
    ViewerMouseKeys keys;
    keys.left = (event->buttons() & Qt::LeftButton) != 0;
    keys.right = (event->buttons() & Qt::RightButton) != 0;
    keys.control = (event->modifiers() & Qt::ControlModifier) != 0;
    keys.shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    return keys;
}

QFont label_font_of(const ViewerLabelFont& font, double pixel_height)
{
    QFont qfont;
    if (!font.face_name.empty())
        qfont.setFamily(QString::fromStdString(font.face_name));
    if (font.weight > 0)
        qfont.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
    qfont.setItalic(font.italic != 0);
    qfont.setUnderline(font.underline != 0);
    qfont.setStrikeOut(font.strike_out != 0);
    qfont.setPixelSize(std::clamp(static_cast<int>(std::lround(pixel_height)), 1, 1000));
    return qfont;
}

// The labels as an image of the framebuffer's size: each text lies in a
// plane facing the eye, so the scene hides those of its pixels where it is
// nearer than the text's depth.
QImage paint_labels(const std::vector<SceneLabel>& labels, const ViewerLabelFont& font, int width, int height)
{
    std::vector<float> scene_depth(static_cast<size_t>(width) * height, 1.0f);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, scene_depth.data());
    QImage overlay(width, height, QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    for (const SceneLabel& label : labels) {
        const QFont qfont = label_font_of(font, label.pixel_height);
        const QString words = QString::fromStdString(label.text);
        const QPoint start(static_cast<int>(std::lround(label.x)), static_cast<int>(std::lround(height - label.y)));
        const QRect drawn =
            QFontMetrics(qfont).boundingRect(words).translated(start).adjusted(-2, -2, 2, 2).intersected(overlay.rect());
        if (drawn.isEmpty())
            continue;
        QImage text(drawn.size(), QImage::Format_ARGB32_Premultiplied);
        text.fill(Qt::transparent);
        {
            QPainter painter(&text);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setFont(qfont);
            painter.setPen(QColor::fromRgbF(label.red, label.green, label.blue));
            painter.drawText(start - drawn.topLeft(), words);
        }
        for (int row = 0; row < drawn.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(text.scanLine(row));
            const float* scene_row =
                scene_depth.data() + static_cast<size_t>(height - 1 - (drawn.top() + row)) * width + drawn.left();
            for (int column = 0; column < drawn.width(); ++column)
                if (scene_row[column] < label.depth - LABEL_DEPTH_MARGIN)
                    line[column] = 0;
        }
        QPainter(&overlay).drawImage(drawn.topLeft(), text);
    }
    return overlay;
}

}  // namespace

QSurfaceFormat viewer_surface_format()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setDepthBufferSize(24);
    return format;
}

bool viewer_opengl_available()
{
    // These platforms make GL contexts (given a display) but their windows
    // have no GL surface: a GL widget on them ends the program.
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal")
        return false;
    QOpenGLContext context;
    context.setFormat(viewer_surface_format());
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return false;
    context.doneCurrent();
    return true;
}

void run_structure_viewer(QWidget* owner)
{
    if (StructureViewer* open = viewer_window_state().viewer) {
        if (open->isMinimized())
            open->showNormal();
        open->raise();
        open->activateWindow();
        return;
    }
    // Showing a GL view without a context ends the program: say so instead.
    if (!viewer_opengl_available()) {
        ui().message_box("OpenGL is not available on this display: the structure viewer cannot be shown.", "Error",
                         MessageButtons::ok, MessageIcon::error);
        return;
    }
    auto* viewer = new StructureViewer(owner);
    viewer->show();
}

void redraw_open_viewer()
{
    if (StructureViewer* viewer = viewer_window_state().viewer)
        viewer->redraw();
}

ViewerScene::ViewerScene(StructureViewer* viewer) : QOpenGLWidget(viewer), viewer_(viewer)
{
    setFormat(viewer_surface_format());
    setMinimumSize(100, 100);
}

ViewerScene::~ViewerScene()
{
    if (context()) {
        makeCurrent();
        delete_surface_display_lists();
        doneCurrent();
    } else {
        forget_surface_display_lists();
    }
}

void ViewerScene::initializeGL()
{
    // Lists of an earlier context are gone with it.
    forget_surface_display_lists();
    const ViewerSceneState& state = viewer_scene_state();
    if (state.ias_shown)
        build_surface_display_lists(state);
}

void ViewerScene::paintGL()
{
    const double ratio = devicePixelRatioF();
    const int width_pixels = static_cast<int>(std::lround(width() * ratio));
    const int height_pixels = static_cast<int>(std::lround(height() * ratio));
    // The label painter resets the GL state after each frame, so the
    // lighting is set up again at every paint, under the eye's frame.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    set_up_viewer_lighting();
    set_viewer_projection(width_pixels, height_pixels);
    viewer_->fit_view_if_needed(width_pixels, height_pixels);
    const ViewerSceneState& state = viewer_scene_state();
    const std::vector<SceneLabel> labels = draw_structure_scene(state);
    if (!labels.empty()) {
        QImage overlay = paint_labels(labels, state.label_font, width_pixels, height_pixels);
        overlay.setDevicePixelRatio(ratio);
        QPainter(this).drawImage(QPointF(0, 0), overlay);
    }
    viewer_->update_read_ias_state();
}

void ViewerScene::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return;
    const QPoint position = event->position().toPoint();
    press_viewer_mouse(viewer_scene_state(), event->button() == Qt::LeftButton, keys_of(event), position.x(),
                       position.y());
}

void ViewerScene::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        release_viewer_mouse(viewer_scene_state());
}

void ViewerScene::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (move_viewer_mouse(viewer_scene_state(), keys_of(event), position.x(), position.y()))
        update();
}

StructureViewer::StructureViewer(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("structure_viewer");
    setWindowTitle("Structure Viewer");
    setWindowIcon(viewer_window_icon());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    menu_bar_ = new QMenuBar(this);
    layout->setMenuBar(menu_bar_);
    create_menu();
    create_toolbar();
    layout->addWidget(toolbar_);
    scene_ = new ViewerScene(this);
    layout->addWidget(scene_, 1);
    // Wide enough for the whole toolbar: no button hidden behind its overflow.
    resize(std::max(560, toolbar_->sizeHint().width()), 560);
    viewer_window_state().viewer = this;
    set_initial_state();
}

StructureViewer::~StructureViewer()
{
    if (viewer_window_state().viewer == this)
        viewer_window_state().viewer = nullptr;
}

void StructureViewer::create_menu()
{
    for (const MenuResource& menu_resource : viewer_menu_resource()) {
        QMenu* menu = menu_bar_->addMenu(QString::fromUtf8(menu_resource.title));
        for (const MenuItemResource& item : menu_resource.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            action->setEnabled(!item.greyed);
            const int id = item.id;
            connect(action, &QAction::triggered, this, [this, id] { handle_command(id); });
            menu_actions_[id] = action;
        }
    }
    // Every item but the plain commands carries a check mark.
    for (int id : {CMD_VIEWER_AXIS, CMD_VIEWER_BONDS, CMD_VIEWER_ATOMS, CMD_VIEWER_ATOM_NUMBERS,
                   CMD_VIEWER_ATOM_LABELS, CMD_VIEWER_PLANE, CMD_VIEWER_CPS, CMD_VIEWER_CP_LABELS, CMD_VIEWER_IAS,
                   CMD_VIEWER_IAS_POINTS, CMD_VIEWER_IAS_SURFACE, CMD_VIEWER_BALL, CMD_VIEWER_COVALENT,
                   CMD_VIEWER_VAN_DER_WAALS})
        menu_actions_.at(id)->setCheckable(true);
}

void StructureViewer::create_toolbar()
{
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName("viewer_toolbar");
    toolbar_->setIconSize(QSize(VIEWER_TOOLBAR_IMAGE_SIZE, VIEWER_TOOLBAR_IMAGE_SIZE));
    for (const ViewerToolbarButton& button : viewer_toolbar_resource()) {
        if (button.style == ViewerButtonStyle::separator) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = toolbar_->addAction(viewer_toolbar_icon(button.image), QString::fromUtf8(button.tip));
        action->setCheckable(button.style != ViewerButtonStyle::button);
        const int id = button.command;
        connect(action, &QAction::triggered, this, [this, id] { handle_command(id); });
        toolbar_actions_[id] = action;
    }
}

QAction* StructureViewer::menu_action(int id) const
{
    auto it = menu_actions_.find(id);
    return it == menu_actions_.end() ? nullptr : it->second;
}

QAction* StructureViewer::toolbar_action(int id) const
{
    auto it = toolbar_actions_.find(id);
    return it == toolbar_actions_.end() ? nullptr : it->second;
}

void StructureViewer::set_checked(int id, bool checked)
{
    if (QAction* action = menu_action(id))
        action->setChecked(checked);
    if (QAction* action = toolbar_action(id))
        action->setChecked(checked);
}

void StructureViewer::set_initial_state()
{
    ViewerSceneState& state = viewer_scene_state();
    read_viewer_settings(state);
    state.mouse_x = state.mouse_y = state.mouse_z = 0;
    state.drag_mode = DRAG_NONE;
    state.axis_shown = state.atoms_shown = state.bonds_shown = state.plane_shown = false;
    state.atom_labels_shown = state.atom_numbers_shown = state.cps_shown = state.cp_type_labels_shown = false;
    state.ias_shown = state.ias_as_points = false;
    state.ias_as_surface = true;
    set_checked(CMD_VIEWER_IAS_POINTS, false);
    set_checked(CMD_VIEWER_IAS_SURFACE, true);

    const WorkingAtomSet& atoms = current_model().atoms;
    const int bond_count = bond_list().bond_count;
    if (atoms.atom_count > 0 || bond_count > 0) {
        set_atom_style(ATOM_STYLE_BALL);
        if (bond_count >= 1) {
            state.bonds_shown = true;
            set_checked(CMD_VIEWER_BONDS, true);
        } else if (atoms.atom_count > 0) {
            state.atoms_shown = true;
            set_checked(CMD_VIEWER_ATOMS, true);
        }
    }
    fit_pending_ = true;
}

namespace {

// What tells one structure from another: its atoms, labels and positions.
std::size_t structure_fingerprint(const WorkingAtomSet& atoms)
{
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    std::string bytes = std::to_string(n);
    for (int i = 1; i <= n; ++i) {
        bytes.append(atoms.atom_label[i].data(), atoms.atom_label[i].size());
        for (double v : {atoms.cart_x[i], atoms.cart_y[i], atoms.cart_z[i]})
            bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    return std::hash<std::string>{}(bytes);
}

// How far each atom reaches in the view: its sphere, and its label (atom
// label and number, beside the atom, upright).
std::vector<AtomReach> atom_reaches(const StructureModel& model, const ViewerSceneState& state)
{
    const WorkingAtomSet& atoms = model.atoms;
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    constexpr double MEASURE_PIXELS = 100.0;
    const QFontMetricsF metrics(label_font_of(state.label_font, MEASURE_PIXELS));
    std::vector<AtomReach> reach(static_cast<size_t>(n) + 1);
    const int style = state.atom_style == 0 ? ATOM_STYLE_BALL : state.atom_style;
    for (int i = 1; i <= n; ++i) {
        AtomReach& a = reach[static_cast<size_t>(i)];
        a.radius = viewer_atom_radius(model, i, style);
        std::string text(atoms.atom_label[i].data(), 6);
        text.erase(text.find_last_not_of(' ') + 1);
        text += std::to_string(i);
        const double width =
            VIEWER_TEXT_SCALE * metrics.horizontalAdvance(QString::fromStdString(text)) / MEASURE_PIXELS;
        // Beside the sphere, or 0.2 off the centre when the atoms are hidden.
        a.label_right = std::max(a.radius + 0.05, 0.2) + width;
        a.label_top = VIEWER_TEXT_SCALE;
    }
    return reach;
}

}  // namespace

void StructureViewer::fit_view_if_needed(int width, int height)
{
    const StructureModel& model = current_model();
    const std::size_t fingerprint = structure_fingerprint(model.atoms);
    if (!fit_pending_ && fingerprint == fitted_structure_)
        return;
    ViewerSceneState& state = viewer_scene_state();
    fit_viewer_scene(state, model.atoms, atom_reaches(model, state), width, height);
    fit_pending_ = false;
    fitted_structure_ = fingerprint;
}

void StructureViewer::redraw() { scene_->update(); }

QImage StructureViewer::grab_scene() { return scene_->grabFramebuffer(); }

void StructureViewer::update_read_ias_state()
{
    if (QAction* action = menu_action(CMD_VIEWER_READ_IAS))
        action->setEnabled(!job_control().progress_open);
}

void StructureViewer::closeEvent(QCloseEvent* event)
{
    if (viewer_window_state().viewer == this)
        viewer_window_state().viewer = nullptr;
    ui().enable_command(CMD_STRUCTURE_VIEWER, true);
    event->accept();
}
