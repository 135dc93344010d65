#include "keldana/shell/options_dialog.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/resources/settings_dialogs.h"
#include "keldana/shell/bank_dialog.h"
#include "keldana/shell/default_parameters_dialog.h"
#include "keldana/shell/settings.h"

#include <string>
#include <tuple>

namespace {

constexpr CalculationBoxFormats OPTIONS_FORMATS = {"(F10.7)", "(I4)",    "(F10.7)", "(F7.4)",
                                                   "(F10.7)", "(F10.7)", "(I4)"};
constexpr const char* COEFFICIENT_FORMAT = "(F10.7)";
constexpr const char* DEFAULT_COEFFICIENT_FORMAT = "(F9.6)";

struct OptionsState {
    Dialog& host;
    Dialog& parameters;   // page 148
    Dialog& accessories;  // page 147
    CalculationSettings shown;
    double shown_lambda = 0;
    double shown_k = 0;
    FontChoice font;  // the pane font, stored by "Set as defaults"
    std::string shown_bank;  // what "Current bank" showed at opening
};

// Browses with the working directory left as it was.
bool browse_for_file(const char* description, const char* pattern, const std::string& folder,
                     bool executables_only = false)
{
    FileDialogState& state = run_settings().file_dialog;
    const std::string kept = state.working_directory;
    if (!folder.empty())
        state.working_directory = folder;
    state.dialog_mode = "open";
    run_file_dialog(description, pattern, executables_only);
    state.working_directory = kept;
    return !file_dialog_cancelled();
}

void fill_options(OptionsState& state)
{
    const RunSettings& settings = run_settings();
    const PropertySelection& selection = property_selection();
    Dialog& page = state.parameters;
    fill_calculation_boxes(page, state.shown, OPTIONS_FORMATS);
    page.set_text(IDC_SETTING_LAMBDA, format_line(COEFFICIENT_FORMAT, {selection.elambda}));
    page.set_text(IDC_SETTING_K, format_line(COEFFICIENT_FORMAT, {selection.coeff}));

    Dialog& other = state.accessories;
    other.set_text(IDC_WORK_DIR, settings.paths.work_dir_setting);
    other.set_checked(IDC_USE_LAST_DIRECTORY, settings.paths.lwdir != 0);
    other.set_enabled(IDC_WORK_DIR, settings.paths.lwdir == 0);
    state.shown_bank = current_bank_path();
    other.set_text(IDC_CURRENT_BANK, state.shown_bank);
    other.clear_items(IDC_FONT_FAMILY);
    other.add_item(IDC_FONT_FAMILY, state.font.face_name);
    other.set_text(IDC_CONVERTER_PATH, settings.paths.converter_path);
}

void load_program_defaults(Dialog& page)
{
    CalculationSettings defaults;
    defaults.eps = DEFAULT_EPS;
    defaults.nStep = DEFAULT_NSTEP;
    defaults.Scale = DEFAULT_SCALE;
    defaults.ds = DEFAULT_DS;
    defaults.dr = DEFAULT_DR;
    defaults.rCut = DEFAULT_RCUT;
    defaults.lPole = DEFAULT_LPOLE;
    fill_calculation_boxes(page, defaults, DEFAULT_PARAMETER_FORMATS);
    page.set_text(IDC_SETTING_LAMBDA, format_line(DEFAULT_COEFFICIENT_FORMAT, {DEFAULT_ELAMBDA}));
    page.set_text(IDC_SETTING_K, format_line(DEFAULT_COEFFICIENT_FORMAT, {DEFAULT_COEFF}));
}

void choose_text_font(OptionsState& state)
{
    FontChoice font = state.font;
    if (!ui().choose_font(font))
        return;
    state.font = font;
    state.accessories.clear_items(IDC_FONT_FAMILY);
    state.accessories.add_item(IDC_FONT_FAMILY, font.face_name);
}

void report_bad_box(OptionsState& state, int id)
{
    state.host.select_tab(IDC_OPTIONS_TABS, 0);
    report_unreadable_box(state.parameters, id);
}

void set_as_defaults(OptionsState& state)
{
    Dialog& page = state.parameters;
    CalculationSettings read = state.shown;
    int failed_id = 0;
    if (!read_calculation_boxes(page, state.shown, OPTIONS_FORMATS, read, failed_id)) {
        report_bad_box(state, failed_id);
        return;
    }
    double lambda = state.shown_lambda, k = state.shown_k;
    for (auto [id, shown, value] : {std::tuple{IDC_SETTING_LAMBDA, state.shown_lambda, &lambda},
                                    std::tuple{IDC_SETTING_K, state.shown_k, &k}})
        if (!read_real_box(page, id, format_line(COEFFICIENT_FORMAT, {shown}), shown, 0.0, false, *value)) {
            report_bad_box(state, id);
            return;
        }

    Dialog& other = state.accessories;
    if (const std::string refusal = bank_path_refusal(other.get_text(IDC_CURRENT_BANK), state.shown_bank); !refusal.empty()) {
        state.host.select_tab(IDC_OPTIONS_TABS, 1);
        report_unreadable_box(other, IDC_CURRENT_BANK, refusal);
        return;
    }
    StoredOptions options;
    options.eps = stored_number_text(page.get_text(IDC_SETTING_EPS), read.eps);
    options.Scale = stored_number_text(page.get_text(IDC_SETTING_SCALE), read.Scale);
    options.rCut = stored_number_text(page.get_text(IDC_SETTING_RCUT), read.rCut);
    options.ds = stored_number_text(page.get_text(IDC_SETTING_DS), read.ds);
    options.dr = stored_number_text(page.get_text(IDC_SETTING_DR), read.dr);
    options.elambda = stored_number_text(page.get_text(IDC_SETTING_LAMBDA), lambda);
    options.coeff = stored_number_text(page.get_text(IDC_SETTING_K), k);
    options.nStep = read.nStep;
    options.lPole = read.lPole;
    options.lwdir = other.get_checked(IDC_USE_LAST_DIRECTORY) ? 1 : 0;
    options.converter_path = other.get_text(IDC_CONVERTER_PATH);
    options.wavefun_bank_path = bank_path_from_box(other.get_text(IDC_CURRENT_BANK), state.shown_bank);
    options.work_dir = other.get_text(IDC_WORK_DIR);
    save_options_to_registry(options);
    save_text_pane_font_to_registry(state.font);

    property_selection().elambda = lambda;
    property_selection().coeff = k;
    load_settings_from_registry();
    state.host.end(IDC_SET_AS_DEFAULTS);
}

void bind_options_callbacks(OptionsState& state)
{
    state.parameters.set_callback(IDC_LOAD_PROGRAM_DEFAULTS,
                                  [](Dialog& page, int, ControlEvent) { load_program_defaults(page); });
    state.accessories.set_callback(IDC_USE_LAST_DIRECTORY, [](Dialog& page, int, ControlEvent) {
        page.set_enabled(IDC_WORK_DIR, !page.get_checked(IDC_USE_LAST_DIRECTORY));
    });
    state.accessories.set_callback(IDC_BROWSE_BANK, [](Dialog& page, int, ControlEvent) {
        if (browse_for_file("Wavefunctions Bank(*.bnk)", "*.bnk", run_settings().file_dialog.start_directory))
            page.set_text(IDC_CURRENT_BANK, run_settings().file_dialog.dialog_path);
    });
    // Programs have no ".exe" here: the first filter lists the files that may run.
    state.accessories.set_callback(IDC_BROWSE_CONVERTER, [](Dialog& page, int, ControlEvent) {
        if (browse_for_file("Programs (executable files)", "*", std::string(), true))
            page.set_text(IDC_CONVERTER_PATH, run_settings().file_dialog.dialog_path);
    });
    state.accessories.set_callback(IDC_CHOOSE_FONT,
                                   [&state](Dialog&, int, ControlEvent) { choose_text_font(state); });
    state.host.set_callback(IDC_SET_AS_DEFAULTS, [&state](Dialog&, int, ControlEvent) { set_as_defaults(state); });
}

// File dialogs leave the working directory alone while the dialog runs.
class KeepWorkingDirectory {
public:
    KeepWorkingDirectory() { run_settings().paths.follow_dialog_directory = false; }
    ~KeepWorkingDirectory() { run_settings().paths.follow_dialog_directory = true; }
    KeepWorkingDirectory(const KeepWorkingDirectory&) = delete;
    KeepWorkingDirectory& operator=(const KeepWorkingDirectory&) = delete;
};

}  // namespace

void run_options_dialog(QWidget* owner)
{
    KeepWorkingDirectory keep;
    Dialog parameters(options_parameters_page_resource());
    Dialog accessories(options_accessories_page_resource());
    Dialog host(options_dialog_resource(), owner);
    host.add_tab_page(IDC_OPTIONS_TABS, "Default parameters", parameters);
    host.add_tab_page(IDC_OPTIONS_TABS, "Accessories", accessories);
    host.select_tab(IDC_OPTIONS_TABS, 0);

    OptionsState state{host,
                       parameters,
                       accessories,
                       run_settings().calculation,
                       property_selection().elambda,
                       property_selection().coeff,
                       text_pane_font(),
                       {}};
    fill_options(state);
    bind_options_callbacks(state);
    host.run_modal();
    host.release();
}

void run_options_command(QWidget* owner)
{
    {
        BusyScope busy;
        run_options_dialog(owner);
    }
    if (bank_loaded() != 0)
        reload_wavefunction_bank();
}
