#include "keldana/shell/line_profile_dialog.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/model_store.h"
#include "keldana/properties/line_profile.h"
#include "keldana/resources/command_ids.h"
#include "keldana/resources/map_dialogs.h"

#include <QDialog>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <string>

namespace {

constexpr int ESFED = 22;
constexpr int EPOT = 23;
constexpr size_t COORDINATE_BOX = 15;
constexpr int DEFAULT_POINT_COUNT = 50;
const QColor ZERO_LINE_COLOUR(255, 85, 255);

class ProfilePlot : public QWidget {
public:
    explicit ProfilePlot(QWidget* parent) : QWidget(parent) { setObjectName("line_profile_plot"); }

protected:
    void paintEvent(QPaintEvent*) override;
};

// Keeps the plot beside the controls and the property's name up to date.
class DialogWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The one dialog and its state.  The Dialog lives on the heap and is released
// only outside its own callbacks and never at program exit.
struct LineProfileDialogState {
    Dialog* dialog = nullptr;
    QPointer<ProfilePlot> plot;
    int plot_first = 0, plot_last = 0;  // the index range drawn; 0 draws nothing
    bool profile_idle = true;           // no profile is being computed
    bool computing = false;             // the loop of "Start" is on the stack
};

LineProfileDialogState state;
std::function<void(QWidget*)> property_dialog;

int property_code() { return property_selection().property_code; }

std::string left_adjusted(const std::string& text)
{
    const size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

std::string value_text(double value) { return left_adjusted(format_line("(F15.3)", {value})); }

void draw_line_profile_plot(QPainter& painter, const QRect& rect, int first, int last)
{
    painter.fillRect(rect, Qt::white);
    const LineProfilePlot plot = layout_line_profile_plot(first, last, rect.width(), rect.height());
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot.left, plot.top, plot.width, plot.height);
    if (!plot.has_curve)
        return;
    if (plot.zero_row >= 0) {
        painter.setPen(QPen(ZERO_LINE_COLOUR, 1, Qt::DotLine));
        painter.drawLine(plot.left, plot.zero_row, plot.left + plot.width, plot.zero_row);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, plot.zero_row - 8, 2 * 13, 16), Qt::AlignCenter, "0.0");
    }
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.setBrush(QColor(255, 0, 0));
    // Values beyond the Y range lie off the area: the curve stops at the frame.
    painter.save();
    painter.setClipRect(plot.left, plot.top, plot.width + 1, plot.height + 1);
    for (size_t k = 1; k < plot.points.size(); ++k)
        painter.drawLine(plot.points[k - 1][0], plot.points[k - 1][1], plot.points[k][0], plot.points[k][1]);
    for (const auto& p : plot.points)
        painter.drawEllipse(QRect(p[0] - 2, p[1] - 2, 4, 4));
    painter.restore();
    const int bottom = plot.top + plot.height;
    for (int j = 0; j < 5; ++j) {
        painter.drawLine(plot.label_x[j], bottom, plot.label_x[j], bottom + 5);
        painter.drawText(QPoint(plot.label_x[j], bottom + 5 + painter.fontMetrics().ascent()),
                         QString::fromStdString(plot.labels[j]));
    }
}

void ProfilePlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw_line_profile_plot(painter, rect(), state.plot_first, state.plot_last);
}

// The plot fills the corner left free by the controls on the right and below.
void place_plot(Dialog& dialog)
{
    QWidget* right = dialog.get_control_widget(IDC_PROFILE_REFRESH);
    QWidget* below = dialog.get_control_widget(IDC_PROFILE_POINT_1);
    if (!state.plot || !right || !below)
        return;
    state.plot->setGeometry(5, 5, std::max(right->x() - 20, 50), std::max(below->y() - 35, 50));
}

// What the repaint of the dialog shows besides the plot.
void show_property_state(Dialog& dialog)
{
    dialog.set_text(IDC_PROFILE_PROPERTY_NAME, property_label(property_code()));
    const bool lattice = property_code() == ESFED || property_code() == EPOT;
    for (int id : {IDC_PROFILE_CLUSTER_K, IDC_PROFILE_CLUSTER_L, IDC_PROFILE_CLUSTER_M})
        dialog.set_enabled(id, lattice);
}

bool DialogWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (state.dialog && watched == state.dialog->window()) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            place_plot(*state.dialog);
        if (event->type() == QEvent::Paint || event->type() == QEvent::WindowActivate)
            show_property_state(*state.dialog);
    }
    return QObject::eventFilter(watched, event);
}

void redraw(Dialog& dialog)
{
    if (state.plot)
        state.plot->update();
    show_property_state(dialog);
}

int atom_of_item(const std::string& item)
{
    int atom = 0;
    if (!read_record(item.substr(0, std::min<size_t>(3, item.size())), "(I3)", {&atom}))
        return 0;
    return atom >= 1 && atom <= current_model().atoms.atom_count ? atom : 0;
}

void show_atom_of_item(Dialog& dialog, int list, int first_edit)
{
    const int atom = atom_of_item(dialog.get_text(list));
    if (atom == 0)
        return;
    const WorkingAtomSet& atoms = current_model().atoms;
    const double xyz[3] = {atoms.cart_x[atom], atoms.cart_y[atom], atoms.cart_z[atom]};
    for (int k = 0; k < 3; ++k)
        dialog.set_text(first_edit + k, format_line("(F10.5)", {xyz[k]}));
}

void release_closed_dialog()
{
    if (!state.dialog || state.dialog->is_open() || state.computing)
        return;
    Dialog* dialog = state.dialog;
    state.dialog = nullptr;
    delete dialog;
}

void on_close(Dialog& dialog)
{
    state.profile_idle = true;
    dialog.end(IDC_PROFILE_CLOSE);
    ui().enable_command(CMD_PROPERTY_ALONG_LINE, true);
    // Released once this callback (and a running profile) has returned.
    QTimer::singleShot(0, [] { release_closed_dialog(); });
}

bool read_point(Dialog& dialog, int first_edit, Vector3& p)
{
    for (int k = 0; k < 3; ++k)
        if (!dialog.get_number(first_edit + k, p[k], COORDINATE_BOX))
            return false;
    return true;
}

// False, after the message, when a box does not read.
bool read_cluster_translations(Dialog& dialog)
{
    ClusterTranslations t = current_model().translations;
    int* targets[3] = {&t.cluster_k, &t.cluster_l, &t.cluster_m};
    const int ids[3] = {IDC_PROFILE_CLUSTER_K, IDC_PROFILE_CLUSTER_L, IDC_PROFILE_CLUSTER_M};
    for (int k = 0; k < 3; ++k)
        if (!dialog.get_int(ids[k], *targets[k]) || *targets[k] < 0) {
            report_unreadable_box(dialog, ids[k]);
            return false;
        }
    set_lattice_translations(t);
    return true;
}

void run_profile(Dialog& dialog)
{
    dialog.set_text(IDC_PROFILE_START, "STOP");
    state.profile_idle = false;
    Vector3 p1{}, p2{};
    int count = 1;
    if (!hold_box_to_limits(dialog, IDC_PROFILE_COUNT, 1, MAX_PROFILE_POINTS, count)
        || !read_point(dialog, IDC_PROFILE_X1, p1) || (count > 1 && !read_point(dialog, IDC_PROFILE_X1 + 3, p2))) {
        report_unreadable_box(dialog, 0);
        return;  // "STOP" resets the button
    }
    const int code = property_code();
    if (count > 1 && (code == ESFED || code == EPOT) && !read_cluster_translations(dialog))
        return;  // "STOP" resets the button

    LineProfileRun run = start_line_profile(p1, p2, count, code);
    state.plot_first = 1;
    state.plot_last = 0;
    if (count > 1) {
        dialog.set_position(IDC_PROFILE_FIRST_UPDOWN, 1);
        dialog.set_position(IDC_PROFILE_LAST_UPDOWN, count);
    }
    ui().pump_events();
    state.computing = true;
    while (!state.profile_idle && compute_next_line_profile_point(run, code)) {
        const LineProfile& profile = line_profile();
        if (state.dialog == &dialog) {
            dialog.set_text(IDC_PROFILE_Y_MIN, value_text(profile.profile_min));
            dialog.set_text(IDC_PROFILE_Y_MAX, value_text(profile.profile_max));
            state.plot_last = run.next - 1;
            redraw(dialog);
        }
        ui().pump_events();
    }
    state.computing = false;
    if (dialog.is_open()) {
        state.profile_idle = true;
        dialog.set_text(IDC_PROFILE_START, "Start");
    } else {
        QTimer::singleShot(0, [] { release_closed_dialog(); });  // closed while it ran
    }
}

void on_start(Dialog& dialog)
{
    if (!state.profile_idle) {  // the button reads "STOP"
        dialog.set_text(IDC_PROFILE_START, "Start");
        state.profile_idle = true;
        redraw(dialog);
        return;
    }
    run_profile(dialog);
}

void on_refresh(Dialog& dialog)
{
    int first = 0, last = 0;
    for (auto [id, value] : {std::pair{IDC_PROFILE_FIRST, &first}, std::pair{IDC_PROFILE_LAST, &last}})
        if (!dialog.get_int(id, *value) || *value < 0 || *value > MAX_PROFILE_POINTS) {
            report_unreadable_box(dialog, id);
            return;
        }
    state.plot_first = first;
    state.plot_last = last;
    double y_min = 0, y_max = 0;
    for (auto [id, value] : {std::pair{IDC_PROFILE_Y_MIN, &y_min}, std::pair{IDC_PROFILE_Y_MAX, &y_max}})
        if (!dialog.get_number(id, *value, COORDINATE_BOX)) {
            report_unreadable_box(dialog, id);
            redraw(dialog);
            return;
        }
    if (apply_line_profile_ranges(first, last, y_min, y_max)) {
        dialog.set_text(IDC_PROFILE_Y_MIN, value_text(line_profile().profile_min));
        dialog.set_text(IDC_PROFILE_Y_MAX, value_text(line_profile().profile_max));
    }
    redraw(dialog);
}

void on_property(Dialog& dialog)
{
    if (property_dialog)
        property_dialog(dialog.window());
    redraw(dialog);
}

void fill_dialog(Dialog& dialog)
{
    state.plot_first = 0;
    state.plot_last = 0;
    dialog.set_range(IDC_PROFILE_COUNT_UPDOWN, 1, MAX_PROFILE_POINTS);
    dialog.set_position(IDC_PROFILE_COUNT_UPDOWN, DEFAULT_POINT_COUNT);
    for (int id : {IDC_PROFILE_FIRST_UPDOWN, IDC_PROFILE_LAST_UPDOWN}) {
        dialog.set_range(id, 1, MAX_PROFILE_POINTS);
        dialog.set_position(id, 0);
    }
    const WorkingAtomSet& atoms = current_model().atoms;
    for (int list : {IDC_PROFILE_POINT_1, IDC_PROFILE_POINT_2}) {
        dialog.clear_items(list);
        for (int n = 1; n <= std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); ++n)
            if (atoms.subset_mask[n] != 0)
                dialog.add_item(list, format_line("(I3,3X,A8,3X,I3)", {n, atoms.atom_label[n], atoms.subset_mask[n]}));
    }
    const int items = dialog.get_item_count(IDC_PROFILE_POINT_1);
    if (items > 0)
        dialog.set_selected_index(IDC_PROFILE_POINT_1, 0);
    if (items > 1)
        dialog.set_selected_index(IDC_PROFILE_POINT_2, 1);
    show_atom_of_item(dialog, IDC_PROFILE_POINT_1, IDC_PROFILE_X1);
    show_atom_of_item(dialog, IDC_PROFILE_POINT_2, IDC_PROFILE_X1 + 3);
    const ClusterTranslations& t = current_model().translations;
    dialog.set_int(IDC_PROFILE_CLUSTER_K, t.cluster_k);
    dialog.set_int(IDC_PROFILE_CLUSTER_L, t.cluster_l);
    dialog.set_int(IDC_PROFILE_CLUSTER_M, t.cluster_m);
    state.profile_idle = true;
    show_property_state(dialog);

    dialog.set_callback(IDC_PROFILE_POINT_1, [](Dialog& d, int, ControlEvent) {
        show_atom_of_item(d, IDC_PROFILE_POINT_1, IDC_PROFILE_X1);
    });
    dialog.set_callback(IDC_PROFILE_POINT_2, [](Dialog& d, int, ControlEvent) {
        show_atom_of_item(d, IDC_PROFILE_POINT_2, IDC_PROFILE_X1 + 3);
    });
    dialog.set_callback(IDC_PROFILE_START, [](Dialog& d, int, ControlEvent) { on_start(d); });
    dialog.set_callback(IDC_PROFILE_REFRESH, [](Dialog& d, int, ControlEvent) { on_refresh(d); });
    dialog.set_callback(IDC_PROFILE_PROPERTY, [](Dialog& d, int, ControlEvent) { on_property(d); });
    dialog.set_callback(IDC_PROFILE_CLOSE, [](Dialog& d, int, ControlEvent) { on_close(d); });
}

}  // namespace

void set_line_profile_property_dialog(std::function<void(QWidget* owner)> run) { property_dialog = std::move(run); }

Dialog* line_profile_dialog() { return state.dialog && state.dialog->is_open() ? state.dialog : nullptr; }

void open_line_profile_dialog(QWidget*)
{
    if (Dialog* open = line_profile_dialog()) {
        open->window()->raise();
        open->window()->activateWindow();
        return;
    }
    release_closed_dialog();
    if (state.dialog)
        return;  // a closed dialog whose profile loop is still unwinding
    // Without owner, as the main window keeps working beside it.
    state.dialog = new Dialog(line_profile_dialog_resource());
    Dialog& dialog = *state.dialog;
    ui().enable_command(CMD_PROPERTY_ALONG_LINE, false);
    state.plot = new ProfilePlot(dialog.window());
    dialog.window()->installEventFilter(new DialogWatcher(state.plot));
    fill_dialog(dialog);
    dialog.show_modeless();
    place_plot(dialog);
    state.plot->show();
}
