#include "keldana/shell/subset_dialog.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "keldana/model/model_store.h"
#include "keldana/resources/settings_dialogs.h"

#include <algorithm>
#include <vector>

namespace {

// The masks of the list, atom i at index i - 1; the lines show them.
struct SubsetState {
    std::vector<int> masks;
};

void set_mask(Dialog& dialog, SubsetState& state, int index, int mask)
{
    state.masks[index] = mask;
    dialog.set_item_text(IDC_SUBSET_LIST, index, subset_list_line(index + 1, mask));
}

// Changing a mask makes 1 into 0 and anything else into 1.
int changed_mask(int mask) { return mask == 1 ? 0 : 1; }

void on_subset_atoms_command(Dialog& dialog, SubsetState& state, int control_id)
{
    for (int index = 0; index < static_cast<int>(state.masks.size()); ++index) {
        switch (control_id) {
        case IDC_CHANGE_MASK:
            if (dialog.is_item_selected(IDC_SUBSET_LIST, index))
                set_mask(dialog, state, index, changed_mask(state.masks[index]));
            break;
        case IDC_INVERT_ALL_MASKS:
            set_mask(dialog, state, index, changed_mask(state.masks[index]));
            break;
        case IDC_SUBSET_ALL_ATOMS:
            set_mask(dialog, state, index, 1);
            break;
        default:
            break;
        }
    }
}

}  // namespace

std::string subset_list_line(int atom, int mask)
{
    const WorkingAtomSet& atoms = current_model().atoms;
    return format_line("(I3,2X,A8,2X,I2,2X,3F8.4)",
                       {atom, atoms.atom_label[atom], mask, atoms.frac_x[atom], atoms.frac_y[atom],
                        atoms.frac_z[atom]});
}

void run_subset_atoms_dialog(QWidget* owner)
{
    WorkingAtomSet& atoms = current_model().atoms;
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    SubsetState state;
    state.masks.assign(atoms.subset_mask.begin() + 1, atoms.subset_mask.begin() + 1 + n);

    Dialog dialog(subset_atoms_dialog_resource(), owner);
    for (int i = 1; i <= n; ++i)
        dialog.add_item(IDC_SUBSET_LIST, subset_list_line(i, state.masks[i - 1]));
    for (int id : {IDC_CHANGE_MASK, IDC_INVERT_ALL_MASKS, IDC_SUBSET_ALL_ATOMS})
        dialog.set_callback(id, [&state](Dialog& d, int control, ControlEvent) {
            on_subset_atoms_command(d, state, control);
        });
    if (dialog.run_modal() == IDC_SETTINGS_OK) {
        std::copy(state.masks.begin(), state.masks.end(), atoms.subset_mask.begin() + 1);
        note_model_change();
    }
    dialog.release();
}
