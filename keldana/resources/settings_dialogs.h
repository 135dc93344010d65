// Dialog templates of the settings and model dialogs: "Options" with its two
// tab pages, "Wavefunctions Bank", "Default parameter values", "Properties ",
// "Kinetic energy" and "Subset atoms".
#pragma once

#include "common/qt/dialog_resource.h"

constexpr int IDD_DEFAULT_PARAMETERS = 101;
constexpr int IDD_PROPERTIES = 108;
constexpr int IDD_OPTIONS = 144;
constexpr int IDD_SUBSET_ATOMS = 145;
constexpr int IDD_OPTIONS_ACCESSORIES = 147;  // tab page "Accessories"
constexpr int IDD_OPTIONS_PARAMETERS = 148;   // tab page "Default parameters"
constexpr int IDD_KINETIC_ENERGY = 155;
constexpr int IDD_WAVEFUNCTION_BANK = 193;

constexpr int IDC_SETTINGS_OK = 1;
constexpr int IDC_SETTINGS_CANCEL = 2;

// The calculation settings: page "Default parameters" of "Options" and the
// "Default parameter values" dialog share these ids.
constexpr int IDC_SETTING_NSTEP = 1007;
constexpr int IDC_SETTING_DS = 1008;
constexpr int IDC_SETTING_SCALE = 1009;
constexpr int IDC_SETTING_DR = 1010;
constexpr int IDC_SETTING_EPS = 1011;
constexpr int IDC_SETTING_RCUT = 1012;
constexpr int IDC_SETTING_LPOLE = 1013;
constexpr int IDC_SETTING_LAMBDA = 1369;  // page "Default parameters" only
constexpr int IDC_SETTING_K = 1361;       // page "Default parameters" only
constexpr int IDC_LOAD_PROGRAM_DEFAULTS = 1352;

// "Options" and its page "Accessories".
constexpr int IDC_OPTIONS_TABS = 1339;
constexpr int IDC_SET_AS_DEFAULTS = 1353;
constexpr int IDC_WORK_DIR = 1341;
constexpr int IDC_USE_LAST_DIRECTORY = 1343;
constexpr int IDC_CURRENT_BANK = 1370;
constexpr int IDC_BROWSE_BANK = 1381;
constexpr int IDC_FONT_FAMILY = 1347;
constexpr int IDC_CHOOSE_FONT = 1345;
constexpr int IDC_CONVERTER_PATH = 1369;
constexpr int IDC_BROWSE_CONVERTER = 1380;

// "Wavefunctions Bank".
constexpr int IDC_BANK_FILE = 1370;
constexpr int IDC_BANK_BROWSE = 1342;

// "Default parameter values".
constexpr int IDC_LOCAL_FRAME = 1404;
constexpr int IDC_GLOBAL_FRAME = 1405;
constexpr int IDC_ANALYTIC = 1406;
constexpr int IDC_NUMERICAL = 1407;

// "Properties ": the radios of the property codes.
constexpr int IDC_PROP_RHO = 1029;
constexpr int IDC_PROP_CORE = 1031;
constexpr int IDC_PROP_VALENCE = 1030;
constexpr int IDC_PROP_DD = 1032;
constexpr int IDC_PROP_LAPLACIAN = 1033;
constexpr int IDC_PROP_GRADIENT = 1410;
constexpr int IDC_PROP_SIGRHO = 1038;
constexpr int IDC_PROP_SIGLAPL = 1047;
constexpr int IDC_PROP_NPOT = 1035;
constexpr int IDC_PROP_EPOT = 1037;
constexpr int IDC_PROP_EXCHANGE = 1045;
constexpr int IDC_PROP_OEP = 1443;
constexpr int IDC_PROP_DIRAC = 1043;
constexpr int IDC_PROP_LEE_ZHOU = 1378;
constexpr int IDC_PROP_BECKE = 1044;
constexpr int IDC_PROP_KINET = 1039;
constexpr int IDC_PROP_SHROE = 1040;
constexpr int IDC_PROP_ELECTRON = 1041;
constexpr int IDC_PROP_POTEN = 1042;
constexpr int IDC_PROP_ELF = 1357;
constexpr int IDC_PROP_LOL = 1358;
constexpr int IDC_PROP_ESFED = 1036;
constexpr int IDC_PROP_FERMI = 1046;
constexpr int IDC_LAPLACIAN_NEGATIVE = 1426;
constexpr int IDC_POTEN_NEGATIVE = 1427;
constexpr int IDC_CHOOSE_KINETIC = 1368;
constexpr int IDC_APPROXIMATION_TEXT = 1370;

// "Kinetic energy".
constexpr int IDC_KINETIC_APPROXIMATION = 1048;
constexpr int IDC_KINETIC_LAMBDA = 1369;
constexpr int IDC_KINETIC_K = 1361;
constexpr int IDC_KINETIC_BECKE = 1377;
constexpr int IDC_KINETIC_LEE_ZHOU = 1378;

// "Subset atoms".
constexpr int IDC_SUBSET_LIST = 1014;
constexpr int IDC_CHANGE_MASK = 1027;
constexpr int IDC_INVERT_ALL_MASKS = 1028;
constexpr int IDC_SUBSET_ALL_ATOMS = 1271;

const DialogResource& options_dialog_resource();
const DialogResource& options_parameters_page_resource();
const DialogResource& options_accessories_page_resource();
const DialogResource& wavefunction_bank_dialog_resource();
const DialogResource& default_parameters_dialog_resource();
const DialogResource& properties_dialog_resource();
const DialogResource& kinetic_energy_dialog_resource();
const DialogResource& subset_atoms_dialog_resource();
