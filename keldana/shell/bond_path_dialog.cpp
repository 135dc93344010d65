#include "keldana/shell/bond_path_dialog.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "keldana/resources/topology_dialogs.h"
#include "keldana/topology/bond_path.h"
#include "keldana/topology/critical_point_list.h"

#include <string>

namespace {

void on_calculate(Dialog& dialog)
{
    // The whole box: a number of four digits (up to 1000 points) is read whole.
    int c = 0;
    if (!dialog.get_number(IDC_BOND_PATH_CP, c))
        c = 0;  // not a number: no such point
    switch (check_bond_path_point(c)) {
    case BondPathCheck::no_such_point:
        dialog.set_text(IDC_BOND_PATH_RESULT, "No CP with this number! See the total number of CP!");
        break;
    case BondPathCheck::not_a_bond_point:
        dialog.set_text(IDC_BOND_PATH_RESULT, " This is not a (3,-1) CP in Rho! ");
        break;
    case BondPathCheck::no_atom_pair:
        dialog.set_text(IDC_BOND_PATH_RESULT, " This CP is not recorded between two atoms! ");
        break;
    case BondPathCheck::ok:
        trace_bond_path(c);
        dialog.set_text(IDC_BOND_PATH_RESULT,
                        format_line("('Path for a (3,-1) CP number',I3,' calculated')", {c}));
        break;
    }
}

}  // namespace

void run_bond_path_dialog(QWidget* owner)
{
    Dialog dialog(bond_path_dialog_resource(), owner);
    dialog.set_text(IDC_BOND_PATH_COUNT,
                    format_line("('Total number of CP = ',I3)", {critical_point_list().cp_count}));
    dialog.set_callback(IDC_BOND_PATH_CALCULATE, [](Dialog& d, int, ControlEvent) { on_calculate(d); });
    dialog.run_modal();
}
