#include "keldana/shell/potential_charges_dialog.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "common/qt/qt_user_interface.h"
#include "common/user_interface.h"
#include "keldana/model/model_store.h"
#include "keldana/properties/potential_charges.h"
#include "keldana/resources/charges_dialog_resource.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

namespace {

constexpr std::array<int, 3> SETTING_BOXES = {IDC_CHARGES_GRID_POINTS, IDC_CHARGES_GRID_EDGE, IDC_CHARGES_ENVELOPE};

int atom_count() { return std::clamp(current_model().atoms.atom_count, 0, MAX_WORKING_ATOMS); }

// The boxes and the list as a fit reads them; false after the message.
bool read_fit_request(Dialog& dialog, PotentialFitSettings& settings, ChargeClassArray& array)
{
    int bad_box = 0;
    if (!read_potential_fit_settings(dialog.get_text(IDC_CHARGES_GRID_POINTS), dialog.get_text(IDC_CHARGES_GRID_EDGE),
                                     dialog.get_text(IDC_CHARGES_ENVELOPE), settings, bad_box)) {
        report_unreadable_box(dialog, SETTING_BOXES[bad_box]);
        return false;
    }
    array = ChargeClassArray{};
    for (int k = 1; k <= atom_count(); ++k)
        if (!read_charge_class_item(dialog.get_item_text(IDC_CHARGES_ARRAY_LIST, k - 1), array.class_value[k])) {
            report_unreadable_box(dialog, IDC_CHARGES_ARRAY_LIST);
            return false;
        }
    return true;
}

void run_fit(Dialog& dialog)
{
    PotentialFitSettings settings;
    auto array = std::make_unique<ChargeClassArray>();
    if (!read_fit_request(dialog, settings, *array))
        return;
    charge_class_array() = *array;
    ScopedWaitCursor wait;  // the fit can take a while
    fit_potential_derived_charges(charge_class_array(), settings);
}

void on_entry_selected(Dialog& dialog)
{
    const int index = dialog.get_selected_index(IDC_CHARGES_ARRAY_LIST);
    if (index < 0)
        return;
    dialog.set_text(IDC_CHARGES_ATOM_NUMBER, dialog.get_item_text(IDC_CHARGES_ARRAY_LIST, index).substr(0, 3));
    dialog.set_text(IDC_CHARGES_ARRAY_VALUE, "");
}

// A value typed for the atom in "Num." replaces its entry, and the next
// atom's entry is selected so that values can be typed in a row.  Text that
// is not yet a number (or no atom chosen) changes nothing.
void on_value_typed(Dialog& dialog)
{
    const std::string text = dialog.get_text(IDC_CHARGES_ARRAY_VALUE);
    if ((text + "   ").substr(0, 3).find_first_not_of(' ') == std::string::npos)
        return;
    // Both boxes are read whole: a number that does not fit the list's three
    // places changes nothing, rather than being cut to its first digits.
    int atom = 0;
    int value = 0;
    if (!dialog.get_number(IDC_CHARGES_ATOM_NUMBER, atom) || atom < 1 || atom > atom_count())
        return;
    if (!dialog.get_number(IDC_CHARGES_ARRAY_VALUE, value) || value < -99 || value > 999)
        return;
    dialog.set_item_text(IDC_CHARGES_ARRAY_LIST, atom - 1, format_charge_class_item(atom, value));
    if (atom < atom_count())
        dialog.set_selected_index(IDC_CHARGES_ARRAY_LIST, atom);
}

QWidget* owner_or_active_window(QWidget* owner) { return owner ? owner : QApplication::activeWindow(); }

}  // namespace

void prepare_potential_charges_dialog(Dialog& dialog)
{
    fill_default_charge_class_array(current_model(), charge_class_array());
    const PotentialFitSettings defaults;
    dialog.set_text(IDC_CHARGES_GRID_POINTS, format_line("(I3)", {defaults.points_per_edge}));
    dialog.set_text(IDC_CHARGES_GRID_EDGE, format_line("(F8.4)", {defaults.edge_length}));
    dialog.set_text(IDC_CHARGES_ENVELOPE, format_line("(F8.4)", {defaults.envelope_width}));
    dialog.clear_items(IDC_CHARGES_ARRAY_LIST);
    for (int k = 1; k <= atom_count(); ++k)
        dialog.add_item(IDC_CHARGES_ARRAY_LIST, format_charge_class_item(k, charge_class_array().class_value[k]));
    dialog.set_callback(IDC_CHARGES_ARRAY_LIST, [](Dialog& d, int, ControlEvent event) {
        if (event == ControlEvent::selection_changed)
            on_entry_selected(d);
    });
    dialog.set_callback(IDC_CHARGES_ARRAY_VALUE, [](Dialog& d, int, ControlEvent event) {
        if (event == ControlEvent::text_changed)
            on_value_typed(d);
    });
    dialog.set_callback(IDC_CHARGES_GENERATE, [](Dialog& d, int, ControlEvent) { run_fit(d); });
}

void run_potential_charges_dialog(QWidget* owner)
{
    Dialog dialog(potential_charges_dialog_resource(), owner_or_active_window(owner));
    prepare_potential_charges_dialog(dialog);
    if (dialog.run_modal() == IDC_CHARGES_OK)
        run_fit(dialog);
    dialog.release();
    ui().text_pane_changed();
}
