#include "keldana/resources/settings_dialogs.h"

namespace {

constexpr ControlKind label = ControlKind::static_text;
constexpr ControlKind edit = ControlKind::edit;
constexpr ControlKind radio = ControlKind::radio_button;
constexpr ControlKind check = ControlKind::check_box;
constexpr ControlKind group = ControlKind::group_box;
constexpr ControlKind button = ControlKind::button;
constexpr int NONE = CONTROL_STATIC_ID;

}  // namespace

const DialogResource& options_dialog_resource()
{
    static const DialogResource resource = {
        IDD_OPTIONS, "Options", 290, 222,
        {
            {IDC_OPTIONS_TABS, ControlKind::tab_control, "", 6, 6, 278, 188},
            {IDC_SET_AS_DEFAULTS, ControlKind::default_button, "Set as defaults", 80, 200, 70, 14},
            {IDC_SETTINGS_CANCEL, button, "Cancel", 160, 200, 50, 14},
        }};
    return resource;
}

const DialogResource& options_parameters_page_resource()
{
    static const DialogResource resource = {
        IDD_OPTIONS_PARAMETERS, nullptr, 270, 166,
        {
            {NONE, label, "Cut-off  | Grad (f) | value for CPSearch", 6, 8, 180, 10},
            {IDC_SETTING_EPS, edit, "", 190, 6, 64, 12},
            {NONE, label, "Max number of steps for CPSearch", 6, 22, 180, 10},
            {IDC_SETTING_NSTEP, edit, "", 190, 20, 64, 12},
            {NONE, label, "Scaling of steps for CPSearch", 6, 36, 180, 10},
            {IDC_SETTING_SCALE, edit, "", 190, 34, 64, 12},
            {NONE, label, "Step-length for Bond Path integral", 6, 50, 180, 10},
            {IDC_SETTING_DS, edit, "", 190, 48, 64, 12},
            {NONE, label, "Step-length for numerical derivatives", 6, 64, 180, 10},
            {IDC_SETTING_DR, edit, "", 190, 62, 64, 12},
            {NONE, label, "Cut-off radius for pseudoatoms", 6, 78, 180, 10},
            {IDC_SETTING_RCUT, edit, "", 190, 76, 64, 12},
            {NONE, label, "Global l-max value for multipoles", 6, 92, 180, 10},
            {IDC_SETTING_LPOLE, edit, "", 190, 90, 64, 12},
            {NONE, group, "Kinetic energy approximation coeffcients", 6, 106, 258, 30},
            {NONE, label, "lambda", 14, 120, 30, 10},
            {IDC_SETTING_LAMBDA, edit, "", 46, 118, 64, 12},
            {NONE, label, "k", 134, 120, 12, 10},
            {IDC_SETTING_K, edit, "", 150, 118, 64, 12},
            {IDC_LOAD_PROGRAM_DEFAULTS, button, "Load program default parameters", 6, 144, 140, 14},
        }};
    return resource;
}

const DialogResource& options_accessories_page_resource()
{
    static const DialogResource resource = {
        IDD_OPTIONS_ACCESSORIES, nullptr, 270, 166,
        {
            {NONE, group, " Working directory ", 6, 4, 258, 40},
            {IDC_WORK_DIR, edit, "", 14, 15, 244, 12},
            {IDC_USE_LAST_DIRECTORY, check, "Use last directory", 14, 30, 100, 10},
            {NONE, group, " Wavefunction Bank ", 6, 48, 258, 32},
            {NONE, label, "Current bank", 14, 62, 50, 10},
            {IDC_CURRENT_BANK, edit, "", 66, 60, 170, 12},
            {IDC_BROWSE_BANK, button, "...", 240, 60, 18, 12},
            {NONE, group, " Screen Font ", 6, 84, 258, 34},
            {NONE, label, "Font Family", 14, 98, 50, 10},
            {IDC_FONT_FAMILY, ControlKind::list_box, "", 66, 96, 170, 14},
            {IDC_CHOOSE_FONT, button, "...", 240, 97, 18, 12},
            {NONE, group, " External program ", 6, 122, 258, 32},
            {NONE, label, "Matrix Convertor", 14, 136, 60, 10},
            {IDC_CONVERTER_PATH, edit, "", 76, 134, 160, 12},
            {IDC_BROWSE_CONVERTER, button, "...", 240, 134, 18, 12},
        }};
    return resource;
}

const DialogResource& wavefunction_bank_dialog_resource()
{
    static const DialogResource resource = {
        IDD_WAVEFUNCTION_BANK, "Wavefunctions Bank", 230, 70,
        {
            {NONE, label, "Set current wavefunctions bank file", 7, 7, 200, 10},
            {IDC_BANK_FILE, edit, "", 7, 20, 190, 12},
            {IDC_BANK_BROWSE, button, "...", 201, 20, 20, 12},
            {IDC_SETTINGS_OK, ControlKind::default_button, "Ok", 55, 46, 50, 14},
            {IDC_SETTINGS_CANCEL, button, "Cancel", 125, 46, 50, 14},
        }};
    return resource;
}

const DialogResource& default_parameters_dialog_resource()
{
    static const DialogResource resource = {
        IDD_DEFAULT_PARAMETERS, "Default parameter values", 260, 196,
        {
            {NONE, label, "Cut-off  | Grad (f) | value for CP search", 7, 9, 170, 10},
            {IDC_SETTING_EPS, edit, "", 180, 7, 70, 12},
            {NONE, label, "Max number of steps for CP search", 7, 24, 170, 10},
            {IDC_SETTING_NSTEP, edit, "", 180, 22, 70, 12},
            {NONE, label, "Scaling of steps for CP search", 7, 39, 170, 10},
            {IDC_SETTING_SCALE, edit, "", 180, 37, 70, 12},
            {NONE, label, "Step-length for Bond Path integral", 7, 54, 170, 10},
            {IDC_SETTING_DS, edit, "", 180, 52, 70, 12},
            {NONE, label, "Step-length for numerical derivatives", 7, 69, 170, 10},
            {IDC_SETTING_DR, edit, "", 180, 67, 70, 12},
            {NONE, label, "Cut-off radius for pseudoatoms", 7, 84, 170, 10},
            {IDC_SETTING_RCUT, edit, "", 180, 82, 70, 12},
            {NONE, label, "Global L-max value for multipoles", 7, 99, 170, 10},
            {IDC_SETTING_LPOLE, edit, "", 180, 97, 70, 12},
            {NONE, group, "Use pseudoatom populations in the...", 7, 116, 156, 46},
            {IDC_LOCAL_FRAME, radio, "local frame", 15, 130, 100, 10, CONTROL_GROUP},
            {IDC_GLOBAL_FRAME, radio, "global frame", 15, 145, 100, 10},
            {NONE, group, "Derivatives", 169, 116, 84, 46, CONTROL_GROUP},
            {IDC_ANALYTIC, check, "analytic", 177, 130, 70, 10},
            {IDC_NUMERICAL, check, "numerical", 177, 145, 70, 10},
            {IDC_SETTINGS_OK, ControlKind::default_button, "OK", 70, 174, 50, 14},
            {IDC_SETTINGS_CANCEL, button, "Cancel", 140, 174, 50, 14},
        }};
    return resource;
}

const DialogResource& properties_dialog_resource()
{
    constexpr int left = 7, right = 217, width = 205, step = 13;
    auto row = [](int k) { return 7 + k * step; };
    static const DialogResource resource = {
        IDD_PROPERTIES, "Properties ", 430, 226,
        {
            {IDC_PROP_RHO, radio, "Total electron density   [RHO]", left, row(0), width, 10, CONTROL_GROUP},
            {IDC_PROP_CORE, radio, "Core electron density  (CORE)", left, row(1), width, 10},
            {IDC_PROP_VALENCE, radio, "Valence electron density  (VALENCE)", left, row(2), width, 10},
            {IDC_PROP_DD, radio, "Deformation density   [DD]", left, row(3), width, 10},
            {IDC_PROP_LAPLACIAN, radio, "Laplacian of RHO  (d2RHO)", left, row(4), 150, 10},
            {IDC_LAPLACIAN_NEGATIVE, check, "negative", left + 155, row(4), 45, 10},
            {IDC_PROP_GRADIENT, radio, "Gradient of RHO   ( |GradRHO| )", left, row(5), width, 10},
            {IDC_PROP_SIGRHO, radio, "E.s.d.in total density   (SigRHO)", left, row(6), width, 10, CONTROL_DISABLED},
            {IDC_PROP_SIGLAPL, radio, "E.s.d. in Laplacian of RHO  (SigLAPL)", left, row(7), width, 10,
             CONTROL_DISABLED},
            {IDC_PROP_NPOT, radio, "Nuclear electrostatic potential  [NPOT]", left, row(8), width, 10},
            {IDC_PROP_EPOT, radio, "Total electrostatic potential  [EPOT]", left, row(9), width, 10},
            {IDC_PROP_ESFED, radio, "Density of the electrostatic field energy (ESFED)", left, row(10), width, 10},
            {IDC_PROP_FERMI, radio, "Fermi momentum  (FERMI)", left, row(11), width, 10},
            {IDC_PROP_EXCHANGE, radio, "Dirac-Slater exchange potential  (EXCHANGE)", right, row(0), width, 10},
            {IDC_PROP_OEP, radio, "One-electron potential (OEP)", right, row(1), width, 10},
            {IDC_PROP_DIRAC, radio, "Dirac-Slater local exchange energy   (DIRAC) ", right, row(2), width, 10},
            {IDC_PROP_LEE_ZHOU, radio, "Local MP-exchange energy   (LEE-ZHOU)", right, row(3), width, 10},
            {IDC_PROP_BECKE, radio, "Becke (1988) local exchange energy  (BECKE)", right, row(4), width, 10},
            {IDC_PROP_KINET, radio, "Kinetic energy density  (KINET)", right, row(5), width, 10},
            {IDC_PROP_SHROE, radio, "Shroedinger kinetic energy density (SHROE)", right, row(6), width, 10},
            {IDC_PROP_ELECTRON, radio, "Electronic energy density  (ELECTRON)", right, row(7), width, 10},
            {IDC_PROP_POTEN, radio, "Potential energy density   (PotEn)", right, row(8), 150, 10},
            {IDC_POTEN_NEGATIVE, check, "negative", right + 155, row(8), 45, 10},
            {IDC_PROP_ELF, radio, "Electron localization function  (ELF)", right, row(9), width, 10},
            {IDC_PROP_LOL, radio, "Localized-orbital locator  (LOL)", right, row(10), width, 10},
            {IDC_CHOOSE_KINETIC, button, "Choose kinetic energy approximation", left, 176, 150, 14,
             CONTROL_GROUP},
            {IDC_APPROXIMATION_TEXT, label, "", 165, 179, 255, 10},
            {IDC_SETTINGS_OK, ControlKind::default_button, "OK", 140, 204, 50, 14},
            {IDC_SETTINGS_CANCEL, button, "Cancel", 240, 204, 50, 14},
        }};
    return resource;
}

const DialogResource& kinetic_energy_dialog_resource()
{
    constexpr ControlKind combo = ControlKind::combo_box;
    static const DialogResource resource = {
        IDD_KINETIC_ENERGY, "Kinetic energy", 260, 138,
        {
            {IDC_KINETIC_APPROXIMATION, radio, "Kinetic energy approximation", 7, 7, 150, 10, CONTROL_GROUP},
            {NONE, label, "lambda", 20, 22, 30, 10},
            {IDC_KINETIC_LAMBDA, combo, "", 52, 20, 70, 60, CONTROL_EDITABLE},
            {NONE, label, "k", 132, 22, 10, 10},
            {IDC_KINETIC_K, combo, "", 144, 20, 70, 60, CONTROL_EDITABLE},
            {NONE, label, "lambda = 1/72,  k = 1/6    (Kirzhnits, 1957)", 20, 38, 230, 10},
            {NONE, label, "lambda = 1/72,  k = 1/12   (Yang, 1986)", 20, 50, 230, 10},
            {NONE, label, "lambda = 1/8,   k = 0      (Weizsacker, 1935)", 20, 62, 230, 10},
            {IDC_KINETIC_BECKE, radio, "Local exchange energy (Becke,1988)", 7, 80, 200, 10},
            {IDC_KINETIC_LEE_ZHOU, radio, "Local MP-exchange energy (Lee and Zhou,1991)", 7, 94, 200, 10},
            {IDC_SETTINGS_OK, ControlKind::default_button, "OK", 60, 116, 50, 14, CONTROL_GROUP},
            {IDC_SETTINGS_CANCEL, button, "Cancel", 140, 116, 50, 14},
        }};
    return resource;
}

const DialogResource& subset_atoms_dialog_resource()
{
    static const DialogResource resource = {
        IDD_SUBSET_ATOMS, "Subset atoms", 280, 220,
        {
            {NONE, label, " No  atom     mask     xf     yf     zf", 7, 7, 190, 10},
            {IDC_SUBSET_LIST, ControlKind::list_box, "", 7, 18, 190, 180, CONTROL_MULTI_SELECT},
            {NONE, label, "( atom is subset if mask = 1 )", 7, 202, 190, 10},
            {IDC_CHANGE_MASK, button, "Change mask", 202, 18, 72, 14},
            {IDC_INVERT_ALL_MASKS, button, "Invert all masks", 202, 36, 72, 14},
            {IDC_SUBSET_ALL_ATOMS, button, "Subset all atoms", 202, 54, 72, 14},
            {IDC_SETTINGS_OK, ControlKind::default_button, "OK", 202, 166, 72, 14},
            {IDC_SETTINGS_CANCEL, button, "Cancel", 202, 184, 72, 14},
        },
        "Courier New", 8};
    return resource;
}
