#include "keldana/shell/properties_dialog.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/property_names.h"
#include "keldana/density/property_selection.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/covariance_matrix.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/properties/centre_of_mass.h"
#include "keldana/resources/settings_dialogs.h"

#include <QDialog>

#include <array>
#include <charconv>
#include <utility>

namespace {

constexpr int LAPLACIAN = 8, NPOT = 16, SIG_RHO = 17, SIG_LAPL = 18, ESFED = 22, EPOT = 23, POTEN = 34;
// A property evaluated over the unit cell besides ESFED and EPOT: it keeps
// the unit-cell cluster when it is active.
constexpr int UNIT_CELL_PROPERTY = 26;

constexpr std::array<std::pair<int, int>, 23> PROPERTY_RADIOS = {{
    {IDC_PROP_RHO, 3},       {IDC_PROP_CORE, 1},       {IDC_PROP_VALENCE, 2},   {IDC_PROP_DD, 4},
    {IDC_PROP_LAPLACIAN, 8}, {IDC_PROP_GRADIENT, 24},  {IDC_PROP_SIGRHO, 17},   {IDC_PROP_SIGLAPL, 18},
    {IDC_PROP_NPOT, 16},     {IDC_PROP_EPOT, 23},      {IDC_PROP_EXCHANGE, 37}, {IDC_PROP_OEP, 40},
    {IDC_PROP_DIRAC, 35},    {IDC_PROP_LEE_ZHOU, 39},  {IDC_PROP_BECKE, 36},    {IDC_PROP_KINET, 31},
    {IDC_PROP_SHROE, 32},    {IDC_PROP_ELECTRON, 33},  {IDC_PROP_POTEN, 34},    {IDC_PROP_ELF, 30},
    {IDC_PROP_LOL, 41},      {IDC_PROP_ESFED, 22},     {IDC_PROP_FERMI, 38},
}};

const std::array<const char*, 3> LAMBDA_ITEMS = {"0.0138889", "0.125", "0"};
const std::array<const char*, 3> K_ITEMS = {"0.1666667", "0.0833333", "0"};
constexpr std::size_t COMBO_TEXT_LENGTH = 10;

bool between(double value, double low, double high) { return low < value && value < high; }

// The shortest text that reads back as the number.
std::string number_text(double value)
{
    std::array<char, 64> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string();
}

std::string lambda_text(double lambda)
{
    if (between(lambda, 0.0138, 0.0139))
        return LAMBDA_ITEMS[0];
    if (lambda == 0.125)
        return LAMBDA_ITEMS[1];
    return number_text(lambda);
}

std::string k_text(double k)
{
    if (between(k, 0.1666, 0.1667))
        return K_ITEMS[0];
    if (between(k, 0.0833, 0.0834))
        return K_ITEMS[1];
    return number_text(k);
}

void on_kinetic_energy_ok(Dialog& dialog, PropertySelection& selection)
{
    PropertySelection chosen = selection;
    if (dialog.get_checked(IDC_KINETIC_APPROXIMATION)) {
        chosen.kinetic_model = 0;
        for (auto [id, value] : {std::pair{IDC_KINETIC_LAMBDA, &chosen.elambda}, std::pair{IDC_KINETIC_K, &chosen.coeff}})
            if (!dialog.get_number(id, *value, COMBO_TEXT_LENGTH)) {
                report_unreadable_box(dialog, id);
                return;
            }
    } else if (dialog.get_checked(IDC_KINETIC_BECKE)) {
        chosen.kinetic_model = 1;
    } else if (dialog.get_checked(IDC_KINETIC_LEE_ZHOU)) {
        chosen.kinetic_model = 2;
    }
    selection = chosen;
    dialog.end(IDC_SETTINGS_OK);
}

int checked_property_code(const Dialog& dialog, int current)
{
    for (const auto& [id, code] : PROPERTY_RADIOS)
        if (dialog.get_checked(id))
            return code;
    return current;
}

// Makes the unit-cell cluster that EPOT sums, on a copy of the model: the
// working atoms keep their own cluster and weights.  The default file (or
// the generation dialog) gives the list, which the cell keeps to follow
// later edits.  False, with nothing changed, when the builder refused.
bool build_potential_cell()
{
    auto cell = std::make_unique<StructureModel>(current_model());
    cell->translations.unit_cell_mode = 1;
    return build_symmetry_cluster(CLUSTER_FROM_DEFAULT_FILE, *cell) && set_potential_cell(cell->applications);
}

void set_sign_label(int code, int sign) { PROPERTY_NAMES()[code][0] = sign < 0 ? '-' : ' '; }

// OK of the Properties dialog: what the property needs first, then the
// property itself.  False when something it needs could not be made.
bool activate_checked_property(const Dialog& dialog, const PropertySelection& kinetic)
{
    PropertySelection& selection = property_selection();
    const int code = checked_property_code(dialog, selection.property_code);

    // The tables hold the independent atoms only, so they do not depend on
    // the cluster; made first, a refused cluster leaves nothing half done.
    const bool needs_potentials = code == ESFED || code == EPOT || kinetic.kinetic_model != 0;
    if (needs_potentials && spherical_esp_tables().esp_tables_ready == 0) {
        if (!build_spherical_potential_tables())
            return false;
        if (kinetic.kinetic_model != 0)
            compute_centre_of_mass();
    }
    if (code == ESFED || code == EPOT) {
        if (!has_potential_cell() && !build_potential_cell())
            return false;
    } else if (code != UNIT_CELL_PROPERTY) {
        clear_potential_cell();
    }

    selection.property_code = code;
    selection.kinetic_model = kinetic.kinetic_model;
    selection.elambda = kinetic.elambda;
    selection.coeff = kinetic.coeff;
    selection.laplacian_sign = code == LAPLACIAN && dialog.get_checked(IDC_LAPLACIAN_NEGATIVE) ? -1 : 1;
    selection.potential_energy_sign = code == POTEN && dialog.get_checked(IDC_POTEN_NEGATIVE) ? -1 : 1;
    set_sign_label(LAPLACIAN, selection.laplacian_sign);
    set_sign_label(POTEN, selection.potential_energy_sign);
    CalculationSettings& settings = run_settings().calculation;
    if (code == NPOT)
        settings.global_frame = 1;
    if (code == SIG_RHO || code == SIG_LAPL)
        settings.numerical_derivatives = 1;
    note_model_change();

    for (const std::string& record : format_records("(/,' The active property is f = ',A9)", {property_label(code)}))
        write_listing_line(record);
    return true;
}

void prepare_properties_dialog(Dialog& dialog, PropertySelection& kinetic)
{
    const PropertySelection& selection = property_selection();
    if (covariance_matrix().esd_available == 1) {
        dialog.set_enabled(IDC_PROP_SIGRHO, true);
        dialog.set_enabled(IDC_PROP_SIGLAPL, true);
    }
    dialog.set_text(IDC_APPROXIMATION_TEXT, kinetic_approximation_text(kinetic));
    dialog.set_checked(IDC_LAPLACIAN_NEGATIVE, false);
    dialog.set_checked(IDC_POTEN_NEGATIVE, false);
    for (const auto& [id, code] : PROPERTY_RADIOS)
        if (code == selection.property_code)
            dialog.set_checked(id, true);
    if (selection.property_code == LAPLACIAN && selection.laplacian_sign == -1)
        dialog.set_checked(IDC_LAPLACIAN_NEGATIVE, true);
    if (selection.property_code == POTEN && selection.potential_energy_sign == -1)
        dialog.set_checked(IDC_POTEN_NEGATIVE, true);

    dialog.set_callback(IDC_CHOOSE_KINETIC, [&kinetic](Dialog& d, int, ControlEvent) {
        if (run_kinetic_energy_dialog(kinetic, d.window()))
            d.set_text(IDC_APPROXIMATION_TEXT, kinetic_approximation_text(kinetic));
    });
    dialog.set_callback(IDC_SETTINGS_OK, [&kinetic](Dialog& d, int, ControlEvent) {
        if (activate_checked_property(d, kinetic))
            d.end(IDC_SETTINGS_OK);
    });
}

}  // namespace

std::string kinetic_approximation_text(const PropertySelection& selection)
{
    switch (selection.kinetic_model) {
    case 0:
        if (between(selection.elambda, 0.0138, 0.0139) && between(selection.coeff, 0.1666, 0.1667))
            return "Kinetic gradient energy  (Kirzhnits,1957)";
        if (between(selection.elambda, 0.0138, 0.0139) && between(selection.coeff, 0.0833, 0.0834))
            return "Kinetic mean-path energy  (Yang,1986)";
        if (selection.elambda == 0.125 && selection.coeff == 0)
            return "Kinetic energy (Weizsacker,1935)";
        return "User defined approximation";
    case 1:
        return "DFT with local exchange energy";
    case 2:
        return "DFT with local MP-exchange energy";
    default:
        return std::string();
    }
}

void on_kinetic_energy_radio(Dialog& dialog, int control_id)
{
    const bool coefficients = control_id == IDC_KINETIC_APPROXIMATION;
    dialog.set_enabled(IDC_KINETIC_LAMBDA, coefficients);
    dialog.set_enabled(IDC_KINETIC_K, coefficients);
}

bool run_kinetic_energy_dialog(PropertySelection& selection, QWidget* owner)
{
    Dialog dialog(kinetic_energy_dialog_resource(), owner);
    for (const char* item : LAMBDA_ITEMS)
        dialog.add_item(IDC_KINETIC_LAMBDA, item);
    for (const char* item : K_ITEMS)
        dialog.add_item(IDC_KINETIC_K, item);
    dialog.set_text(IDC_KINETIC_LAMBDA, lambda_text(selection.elambda));
    dialog.set_text(IDC_KINETIC_K, k_text(selection.coeff));
    const int radio = selection.kinetic_model == 1   ? IDC_KINETIC_BECKE
                      : selection.kinetic_model == 2 ? IDC_KINETIC_LEE_ZHOU
                                                     : IDC_KINETIC_APPROXIMATION;
    dialog.set_checked(radio, true);
    on_kinetic_energy_radio(dialog, radio);
    for (int id : {IDC_KINETIC_APPROXIMATION, IDC_KINETIC_BECKE, IDC_KINETIC_LEE_ZHOU})
        dialog.set_callback(id, [](Dialog& d, int control, ControlEvent) { on_kinetic_energy_radio(d, control); });
    dialog.set_callback(IDC_SETTINGS_OK,
                        [&selection](Dialog& d, int, ControlEvent) { on_kinetic_energy_ok(d, selection); });
    const bool ok = dialog.run_modal() == IDC_SETTINGS_OK;
    dialog.release();
    return ok;
}

void run_property_selection_dialog(QWidget* owner)
{
    // The kinetic-energy choice waits for OK with the property.
    PropertySelection kinetic = property_selection();
    Dialog dialog(properties_dialog_resource(), owner);
    prepare_properties_dialog(dialog, kinetic);
    dialog.run_modal();
    dialog.release();
}
