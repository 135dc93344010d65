// Every dialog of Keldana built offscreen at the default font shows all of
// its text: nothing wider or taller than its control, no control outside its
// dialog, its tab page or its group box.  Texts filled in at run time are put
// in at their longest.  KD_DIALOG_PICTURES=folder saves a picture of each.
#include "common/qt/dialog.h"
#include "common/qt/qt_user_interface.h"
#include "keldana/resources/charges_dialog_resource.h"
#include "keldana/resources/cluster_dialog_resource.h"
#include "keldana/resources/dialogs.h"
#include "keldana/resources/integration_dialog_resource.h"
#include "keldana/resources/map_dialogs.h"
#include "keldana/resources/settings_dialogs.h"
#include "keldana/resources/topology_dialogs.h"
#include "keldana/resources/viewer_resources.h"
#include "keldana/shell/about_box.h"
#include "support/dialog_fit.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Page {
    const DialogResource& (*resource)();
    const char* label;
};

struct DialogCase {
    const char* name;
    const DialogResource& (*resource)();
    int tab_id = 0;
    std::vector<Page> pages = {};
    std::function<void(Dialog& dialog)> fill = {};
};

void fill_progress(Dialog& dialog)
{
    dialog.set_text(PROGRESS_TITLE_ID, " RHO     ");
    dialog.set_text(PROGRESS_PERCENT_ID, "100");
    // The longest lines of the trajectory, surface and integration jobs.
    dialog.set_text(PROGRESS_FIRST_LINE_ID, "  Phi =  6.2832");
    dialog.set_text(PROGRESS_FIRST_LINE_ID + 1, "a.s. path 12");
    dialog.set_text(PROGRESS_FIRST_LINE_ID + 2, "Prop =-123.45678");
}

void fill_cluster(Dialog& dialog)
{
    // One atom as "(I3,4X,A8,3F8.4)" writes it.
    dialog.add_item(IDC_ATOM_LIST, "999    MMMMMMMM-10.0000-10.0000-10.0000");
    dialog.set_selected_index(IDC_ATOM_LIST, 0);
}

const std::vector<DialogCase>& keldana_dialogs()
{
    static const std::vector<DialogCase> cases = {
        {"about", about_dialog_resource, 0, {}, fill_about_box},
        {"progress", progress_dialog_resource, 0, {}, fill_progress},
        {"potential charges", potential_charges_dialog_resource},
        {"symmetry generation", symmetry_generation_dialog_resource, 0, {}, fill_cluster},
        {"lattice", lattice_dialog_resource},
        {"integration", integration_dialog_resource},
        {"map",
         map_dialog_resource,
         IDC_MAP_TABS,
         {{map_atoms_page_resource, "ATOMS"},
          {map_vectors_page_resource, "BASIS VECTORS"},
          {map_centre_page_resource, "MAP TYPE AND CENTRE"},
          {map_grid_page_resource, "GRID"},
          {map_trajectory_page_resource, "TRAJECTORY"}}},
        {"line profile", line_profile_dialog_resource},
        {"map file operations", map_file_operations_dialog_resource},
        {"options",
         options_dialog_resource,
         IDC_OPTIONS_TABS,
         {{options_parameters_page_resource, "Default parameters"}, {options_accessories_page_resource, "Accessories"}}},
        {"wavefunction bank", wavefunction_bank_dialog_resource},
        {"default parameters", default_parameters_dialog_resource},
        {"properties", properties_dialog_resource},
        {"kinetic energy", kinetic_energy_dialog_resource},
        {"subset atoms", subset_atoms_dialog_resource},
        {"critical point search",
         cp_search_dialog_resource,
         IDC_CP_TABS,
         {{cp_atoms_page_resource, "Atom-atom"},
          {cp_point_page_resource, "Point"},
          {cp_ring_page_resource, "Ring/Cage"},
          {cp_shell_page_resource, "Shell"}}},
        {"bond path", bond_path_dialog_resource},
        {"bond parameter", bond_parameter_dialog_resource},
    };
    return cases;
}

TEST(DialogFitTest, EveryDialogShowsAllOfItsText)
{
    const char* pictures = std::getenv("KD_DIALOG_PICTURES");
    for (const DialogCase& c : keldana_dialogs()) {
        SCOPED_TRACE(c.name);
        Dialog dialog(c.resource());
        std::vector<std::unique_ptr<Dialog>> pages;
        for (const Page& page : c.pages) {
            pages.push_back(std::make_unique<Dialog>(page.resource()));
            ASSERT_TRUE(dialog.add_tab_page(c.tab_id, page.label, *pages.back()));
        }
        if (c.fill)
            c.fill(dialog);
        dialog.window()->show();
        QApplication::processEvents();
        for (const std::string& problem : dialog_fit::problems_of(dialog))
            ADD_FAILURE() << problem;
        if (pictures) {
            for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
                dialog.select_tab(c.tab_id, i);
                QApplication::processEvents();
                dialog.window()->grab().save(QString("%1/%2 %3.png").arg(pictures, c.name).arg(i));
            }
            if (pages.empty())
                dialog.window()->grab().save(QString("%1/%2.png").arg(pictures, c.name));
        }
        dialog.window()->hide();
    }
}

}  // namespace
