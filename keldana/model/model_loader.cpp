#include "keldana/model/model_loader.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/density/local_frames.h"
#include "keldana/density/numeric_helpers.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/density/spherical_harmonics.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/density/spherical_harmonics_rotation.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/element_table.h"
#include "keldana/model/input_checks.h"
#include "keldana/model/kdn_file.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_store.h"
#include "keldana/model/molly_file.h"
#include "keldana/model/xd_files.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cards.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/model/text_fields.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/resources/command_ids.h"
#include "keldana/topology/critical_point_list.h"

#include <cmath>
#include <memory>

namespace {

void listing(std::string_view format, std::initializer_list<FortranValue> values)
{
    for (const std::string& record : format_records(format, values))
        write_listing_line(record);
}

void listing_text(const std::string& text) { write_listing_line(text); }

std::string label_of(const StructureModel& model, int atom)
{
    return std::string(model.atoms.atom_label[atom].data(), 8);
}

void warn(const std::string& text, const std::string& caption)
{
    ui().message_box(text, caption, MessageButtons::ok, MessageIcon::warning);
}

int lattice_type_of(char letter)
{
    switch (letter) {
    case 'P': return 1;
    case 'A': return 2;
    case 'B': return 3;
    case 'C': return 4;
    case 'F': return 5;
    case 'I': return 6;
    case 'R': return 7;
    default: return 0;
    }
}

int axis_code(char letter)
{
    if (letter == 'y' || letter == 'Y') return 2;
    if (letter == 'z' || letter == 'Z') return 3;
    return 1;
}

bool read_model(const std::string& type, StructureModel& model)
{
    const RunSettings& settings = run_settings();
    const std::string& path = settings.output_files.input_file_path;
    const std::string& title = settings.file_dialog.file_title;
    if (type == "kdn")
        return read_kdn_input_file(path, title, model);
    if (type == "xdi")
        return read_xd_input_files(path, title, settings.file_dialog.start_directory, model);
    if (type == "mol")
        return read_mol_input_files(path, title, model);
    warn("Unknown input type " + type + ".", "Error!");
    return false;
}

// The cell, its matrix and the atoms with their elements and Cartesian
// positions.
bool derive_atoms(StructureModel& model)
{
    UnitCell& cell = model.cell;
    listing("(A80)", {model.space_group.input_title});
    listing("(/,'  Unit cell parameters:  ',6F8.3,/)",
            {cell.cell_a, cell.cell_b, cell.cell_c, cell.cell_alpha, cell.cell_beta, cell.cell_gamma});
    if (!build_orthogonalisation_matrix(cell.cell_alpha * DEG_TO_RAD, cell.cell_beta * DEG_TO_RAD,
                                        cell.cell_gamma * DEG_TO_RAD, cell, model.orthogonalisation)) {
        warn("The unit cell parameters do not describe a cell. Please, check the input file.", "Input file error");
        return false;
    }
    const Matrix3& m = model.orthogonalisation.matrix;
    listing("('        Unit cell volume:  ',F8.3,' cubic Angstroms',/)", {cell.cell_volume});
    listing("('     Direct space lattice vectors: ',/)", {});
    listing("('        a  =  ',F8.5,' ',F8.5,' ',F8.5,' Angstroms')", {m(1, 1), m(2, 1), m(3, 1)});
    listing("('        b  =  ',F8.5,' ',F8.5,' ',F8.5,' Angstroms')", {m(1, 2), m(2, 2), m(3, 2)});
    listing("('        c  =  ',F8.5,' ',F8.5,' ',F8.5,' Angstroms',/)", {m(1, 3), m(2, 3), m(3, 3)});

    WorkingAtomSet& atoms = model.atoms;
    atoms.independent_atom_count = atoms.atom_count;
    listing("(/,'           Atoms per molecule:  ',I3)", {atoms.atom_count});
    listing("('        Number of dummy atoms:  ',I3)", {model.dummies.dummy_count});
    listing("(/,16X,'Fractional co-ordinates     Cartesian coordinates',/)", {});
    listing("(4X,' Symop  Z       xf      yf      zf','         x      y      z ')", {});
    for (int i = 1; i <= atoms.atom_count; ++i) {
        model.images.image_list[i][1] = i;
        const FixedText<4> symbol = element_symbol_from_label(atoms.atom_label[i]);
        const int type = find_atom_type(model.atom_types, symbol);
        if (type == 0) {
            warn("No atomic number for atom type " + std::string(symbol.data(), 4) +
                     ". Please, check <atoms.axp> and <wavefun.bnk>",
                 "Error!");
            return false;
        }
        atoms.atomic_number[i] = model.atom_types.type_atomic_number[type];
        atoms.atom_type_index[i] = type;
        convert_fractional_to_cartesian(model.orthogonalisation, atoms.frac_x[i], atoms.frac_y[i], atoms.frac_z[i],
                                        atoms.cart_x[i], atoms.cart_y[i], atoms.cart_z[i]);
        listing("(' ',A8,I4,2X,3F8.4,3X,3F8.4)", {label_of(model, i), atoms.atomic_number[i], atoms.frac_x[i],
                                                  atoms.frac_y[i], atoms.frac_z[i], atoms.cart_x[i], atoms.cart_y[i],
                                                  atoms.cart_z[i]});
    }
    listing_text("");
    return true;
}

// Axis codes of the local frames; exponents from 1/bohr to 1/Angstrom.
bool derive_axis_codes(StructureModel& model)
{
    LocalAxisDefinitions& axes = model.local_axes;
    for (int i = 1; i <= model.atoms.atom_count; ++i) {
        axes.frame_axis_1[i] = axis_code(axes.frame_axis_letter_1[i]);
        axes.frame_axis_2[i] = axis_code(axes.frame_axis_letter_2[i]);
        if (axes.frame_axis_1[i] == axes.frame_axis_2[i]) {
            warn(" ERROR IN SITE SYSTEM ", "Input file error");
            return false;
        }
        for (int l = 0; l <= model.pseudoatoms.l_max[i]; ++l)
            model.pseudoatoms.radial_zeta[i][l] /= BOHR_ANGSTROM;
    }
    return true;
}

void place_dummy_atoms(StructureModel& model)
{
    const DummyAtoms& dummies = model.dummies;
    if (dummies.dummy_count <= 0)
        return;
    WorkingAtomSet& atoms = model.atoms;
    listing("(/,' Dummy atoms used in local coordinate system def:')", {});
    listing("(/,16X,'Fractional co-ordinates     Cartesian coordinates',/)", {});
    listing("(13X,'       xf      yf      zf','          x     y     z ')", {});
    for (int d = 1; d <= dummies.dummy_count; ++d) {
        const int slot = atoms.atom_count + d;
        convert_fractional_to_cartesian(model.orthogonalisation, dummies.dummy_x[d], dummies.dummy_y[d],
                                        dummies.dummy_z[d], atoms.cart_x[slot], atoms.cart_y[slot],
                                        atoms.cart_z[slot]);
        listing("(' ',A8,6X,3F8.4,'   ',3F8.4)",
                {std::string(dummies.dummy_label[d].data(), 8), dummies.dummy_x[d], dummies.dummy_y[d],
                 dummies.dummy_z[d], atoms.cart_x[slot], atoms.cart_y[slot], atoms.cart_z[slot]});
    }
    listing_text("");
}

// Keeps the frame atoms as loaded and re-bases dummy references on the
// current atom count (unchanged at load, where N equals Nind).
void rebase_frame_atoms(StructureModel& model)
{
    LocalAxisDefinitions& axes = model.local_axes;
    const int n = model.atoms.atom_count;
    const int n_ind = model.atoms.independent_atom_count;
    for (int i = 1; i <= n_ind; ++i) {
        axes.loaded_frame_atom_1[i] = axes.frame_atom_1[i];
        axes.loaded_frame_atom_2[i] = axes.frame_atom_2[i];
        axes.loaded_frame_atom_3[i] = axes.frame_atom_3[i];
        const int a1 = axes.loaded_frame_atom_1[i];
        if (std::abs(a1) > n_ind)
            axes.frame_atom_1[i] = (a1 < 0 ? -1 : 1) * (std::abs(a1) + n - n_ind);
        if (axes.loaded_frame_atom_2[i] > n_ind)
            axes.frame_atom_2[i] = n + axes.loaded_frame_atom_2[i] - n_ind;
        if (axes.loaded_frame_atom_3[i] > n_ind)
            axes.frame_atom_3[i] = n + axes.loaded_frame_atom_3[i] - n_ind;
        listing("*", {"New axes=", axes.frame_atom_1[i], axes.frame_atom_2[i], axes.frame_atom_3[i]});
    }
}

// Global-frame populations: each atom's local-frame populations rotated into
// the crystal frame, with left-handed frames made right-handed first.
bool rotate_populations_to_global_frame(StructureModel& model)
{
    listing("*", {""});
    listing("*", {"Left-handed coordinate system will be converted to Right-handed"});
    listing("*", {""});
    listing("*", {"Num   Atom  Symm   Right/Left-handed"});
    const LocalAxisDefinitions& axes = model.local_axes;
    for (int i = 1; i <= model.atoms.atom_count; ++i) {
        model.atoms.site_weight[i] = 1.0;
        const int l_max = model.pseudoatoms.l_max[i];
        char handedness = ' ';
        // A spherical atom keeps its monopole in the global frame too.
        model.global_populations.population[i] = MultipolePopulations{};
        model.global_populations.population[i](0, 0) = model.pseudoatoms.multipole_population[i](0, 0);
        if (l_max > 0) {
            Vector3 x{}, y{}, z{};
            if (!build_atom_local_axes(model, i, x, y, z)) {
                warn(" ERROR IN SITE SYSTEM of atom " + text_field_string(model.atoms.atom_label[i]) +
                         ": its frame atoms do not define axes.",
                     "Input file error");
                return false;
            }
            MultipolePopulations& global = model.global_populations.population[i];
            global = model.pseudoatoms.multipole_population[i];
            handedness = get_axes_handedness(x, y, z);
            if (handedness == 'L') {
                const int third = 6 - axes.frame_axis_1[i] - axes.frame_axis_2[i];
                negate_populations_under_reflection(global, third);
                Vector3& v = third == 1 ? x : third == 2 ? y : z;
                for (double& c : v)
                    c = -c;
            }
            const double p00 = global(0, 0);
            if (!build_harmonic_rotation_matrices(global, x, y, z, l_max)) {
                warn(" ERROR IN SITE SYSTEM of atom " + text_field_string(model.atoms.atom_label[i]) +
                         ": its local axes are not a rotation.",
                     "Input file error");
                return false;
            }
            global(0, 0) = p00;
        }
        listing("(I3,4X,A8,10X,A1)", {i, label_of(model, i), std::string(1, handedness)});
    }
    listing_text("");
    return true;
}

// The surface file name of a model file: its title with the extension "ias".
std::string default_surface_file_name(const std::string& title, const std::string& previous)
{
    const size_t dot = title.rfind('.');
    if (dot == std::string::npos)
        return previous;
    return title.substr(0, dot + 1) + "ias";
}

void reset_density_areas()
{
    PropertySelection& selection = property_selection();
    selection.property_code = 3;
    selection.laplacian_sign = 1;
    selection.potential_energy_sign = 1;
    selection.kinetic_model = 0;
    selection.elambda = 1.0 / 72.0;
    selection.coeff = 1.0 / 6.0;
    PROPERTY_NAMES()[8][0] = ' ';
    PROPERTY_NAMES()[34][0] = ' ';
    fill_harmonic_normalisation(harmonic_normalisation());
}

void reset_topology_areas() { critical_point_list().cp_count = 0; }

}  // namespace

void install_model_services()
{
    ClusterServices& services = cluster_services();
    services.build_atom_local_axes = [](const StructureModel& model, int atom, Vector3& ex, Vector3& ey,
                                        Vector3& ez) { return build_atom_local_axes(model, atom, ex, ey, ez); };
    services.rotate_populations = [](MultipolePopulations& populations, const Vector3& ex, const Vector3& ey,
                                     const Vector3& ez, int l_max) {
        return build_harmonic_rotation_matrices(populations, ex, ey, ez, l_max);
    };
    register_load_time_reset(reset_density_areas);
    register_load_time_reset(reset_topology_areas);
    register_load_time_reset(reset_covariance_for_load);
    register_load_time_reset(reset_spherical_potential_tables);
}

bool load_structure_file()
{
    install_model_services();
    forget_kdn_fault_line();
    RunSettings& settings = run_settings();
    auto model = std::make_unique<StructureModel>();
    reset_model_for_load(*model);
    if (!read_element_table_file(settings.file_dialog.start_directory, model->atom_types))
        return false;
    // The load's report is held back until the load commits: a refused file
    // leaves the listing and the pane of the current model as they are.
    if (!begin_report_output())
        return false;
    struct HeldBackReport {
        ~HeldBackReport() { discard_report_output(); }
    } held_back;
    build_factorial_table(factorial_table(), 20);

    if (!read_model(settings.output_files.input_type, *model))
        return false;
    if (const std::string fault = check_read_model(*model); !fault.empty()) {
        warn(fault + " Please, check the input file.", "Input file error");
        return false;
    }
    SpaceGroupSymmetry& space_group = model->space_group;
    space_group.lattice_type = lattice_type_of(space_group.lattice_letter);

    if (!derive_atoms(*model) || !derive_axis_codes(*model))
        return false;
    if (!parse_symmetry_cards(space_group, model->operators, true))
        return false;
    place_dummy_atoms(*model);
    if (const std::string fault = check_derived_model(*model); !fault.empty()) {
        warn(fault + " Please, check the input file.", "Input file error");
        return false;
    }
    rebase_frame_atoms(*model);
    if (!rotate_populations_to_global_frame(*model))
        return false;
    if (!build_symmetry_cluster(CLUSTER_FROM_DEFAULT_FILE, *model))
        return false;

    auto bank = std::make_unique<WavefunctionBank>();
    if (!read_wavefunction_bank(*bank, *model))
        return false;
    auto tables = std::make_unique<RadialLookupTables>();
    tabulate_radial_functions_by_type(*bank, *model, *tables);

    // Every step succeeded: the new model replaces the old one.
    commit_report_output();
    apply_load_time_defaults();
    commit_model(std::move(model));
    build_bond_list(current_model(), current_model().atoms.atom_count);
    wavefunction_bank() = *bank;
    bank_loaded() = 1;
    radial_lookup_tables() = *tables;
    promolecule_selected() = false;
    note_model_change();

    text_pane_state().scroll_to_end = true;
    FileDialogState& dialog = settings.file_dialog;
    OutputFileNames& names = settings.output_files;
    names.ias_file_name = default_surface_file_name(dialog.file_title, names.ias_file_name);
    ui().set_window_caption("Keldana - [" + dialog.dialog_path + "]");
    ui().text_pane_changed();
    ui().set_command_menu_state(true);
    ui().enable_command(CMD_STRUCTURE_VIEWER, true);
    ui().pump_events();
    return true;
}
