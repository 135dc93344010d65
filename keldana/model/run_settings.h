// Settings and file names of a Keldana run that the shell keeps and the
// calculations read: calculation parameters, paths, the file dialog's state
// and the names of the output files.
#pragma once

#include <string>

struct CalculationSettings {
    double dr = 0;     // central-difference step, Angstrom
    double ds = 0;     // bond-path step, Angstrom
    double eps = 0;    // gradient tolerance of the Newton locator
    double Scale = 0;  // step cap of the Newton locator
    double rCut = 0;   // cut-off of the pseudoatom terms, Angstrom
    int lPole = 0;     // highest multipole order summed
    int nStep = 0;     // Newton iteration limit
    int numerical_derivatives = 1;
    int global_frame = 1;
};

// The program's own defaults: used by "Load program default parameters" and
// wherever a stored setting is missing or zero, so a fresh install never
// divides by zero.
constexpr double DEFAULT_EPS = 1.0e-5;
constexpr double DEFAULT_SCALE = 0.05;
constexpr double DEFAULT_RCUT = 10.0;
constexpr double DEFAULT_DS = 0.01;
constexpr double DEFAULT_DR = 0.001;
constexpr int DEFAULT_NSTEP = 50;
constexpr int DEFAULT_LPOLE = 4;
constexpr double DEFAULT_ELAMBDA = 0.0138889;
constexpr double DEFAULT_COEFF = 0.1666667;

// Replaces every missing (zero or negative) number by its default.
void apply_default_calculation_settings(CalculationSettings& settings);

struct PathSettings {
    std::string wavefun_bank_path;  // blank: "wavefCR.bnk" in the start-up directory
    std::string work_dir_setting;
    std::string converter_path;
    int lwdir = 0;
    bool follow_dialog_directory = true;
};

struct FileDialogState {
    std::string dialog_mode = "open";  // "open", "save", "no  " after Cancel
    std::string dialog_path;           // last chosen full path
    std::string file_title;            // its name without the folder
    std::string working_directory;     // initial folder of the dialog
    std::string start_directory;       // where the data files are looked for
};

struct OutputFileNames {
    std::string input_type = "kdn";    // "kdn", "mol", "xdi"
    std::string input_file_path;
    std::string map_file_name = "map.dat";
    std::string post_file_name = "map.pos";
    std::string ias_file_name;
    std::string ias_path;
};

struct RunSettings {
    CalculationSettings calculation;
    PathSettings paths;
    FileDialogState file_dialog;
    OutputFileNames output_files;
};

RunSettings& run_settings();
