#include "keldana/shell/bank_dialog.h"

#include "common/file_units.h"
#include "common/job_control.h"
#include "common/qt/dialog.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/model_store.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/resources/settings_dialogs.h"

#include <filesystem>
#include <memory>
#include <string>

std::string current_bank_path()
{
    if (bank_loaded() != 0 && !wavefunction_bank().file_path.empty())
        return wavefunction_bank().file_path;
    const RunSettings& settings = run_settings();
    const std::string configured = trimmed(settings.paths.wavefun_bank_path);
    if (!configured.empty())
        return configured;
    return (std::filesystem::path(settings.file_dialog.start_directory) / DEFAULT_BANK_FILE_NAME).string();
}

std::string bank_path_refusal(const std::string& text, const std::string& shown)
{
    const std::string path = trimmed(text);
    if (path.empty() || path == trimmed(shown))
        return {};
    if (const std::string refusal = input_file_refusal(path); !refusal.empty())
        return refusal;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return "The wavefunctions bank file " + path + " does not exist. Please, check the path.";
    return {};
}

std::string bank_path_from_box(const std::string& text, const std::string& shown)
{
    if (trimmed(text) == trimmed(shown))
        return run_settings().paths.wavefun_bank_path;
    return trimmed(text);
}

void on_browse_wavefunction_bank(Dialog& dialog)
{
    FileDialogState& state = run_settings().file_dialog;
    const std::string kept = state.working_directory;
    state.working_directory = state.start_directory;
    state.dialog_mode = "open";
    run_file_dialog("Wavefunctions bank (*.bnk)", "*.bnk");
    state.working_directory = kept;
    if (!file_dialog_cancelled())
        dialog.set_text(IDC_BANK_FILE, state.dialog_path);
}

bool run_wavefunction_bank_dialog(QWidget* owner)
{
    Dialog dialog(wavefunction_bank_dialog_resource(), owner);
    const std::string shown = current_bank_path();
    dialog.set_text(IDC_BANK_FILE, shown);
    dialog.set_callback(IDC_BANK_BROWSE, [](Dialog& d, int, ControlEvent) { on_browse_wavefunction_bank(d); });
    dialog.set_callback(IDC_SETTINGS_OK, [&shown](Dialog& d, int, ControlEvent) {
        if (const std::string refusal = bank_path_refusal(d.get_text(IDC_BANK_FILE), shown); !refusal.empty()) {
            report_unreadable_box(d, IDC_BANK_FILE, refusal);
            return;
        }
        d.end(IDC_SETTINGS_OK);
    });
    const bool ok = dialog.run_modal() == IDC_SETTINGS_OK;
    if (ok)
        run_settings().paths.wavefun_bank_path = bank_path_from_box(dialog.get_text(IDC_BANK_FILE), shown);
    dialog.release();
    return ok;
}

bool reload_wavefunction_bank()
{
    const bool potentials_built = spherical_esp_tables().esp_tables_ready != 0;
    // Read into fresh areas: a bank that is refused leaves the working one.
    auto bank = std::make_unique<WavefunctionBank>();
    if (!read_wavefunction_bank(*bank, current_model()))
        return false;
    auto tables = std::make_unique<RadialLookupTables>();
    tabulate_radial_functions_by_type(*bank, current_model(), *tables);
    wavefunction_bank() = *bank;
    radial_lookup_tables() = *tables;
    note_model_change();
    // Potentials of the old bank would no longer match the density.
    if (potentials_built)
        build_spherical_potential_tables();
    return true;
}

void run_change_wavefunction_bank_command(QWidget* owner)
{
    bool changed = false;
    const std::string working_path = run_settings().paths.wavefun_bank_path;
    {
        BusyScope busy;
        changed = run_wavefunction_bank_dialog(owner);
    }
    // The path of a bank that does not read is not kept: later reads would
    // refuse it again.
    if (changed && !reload_wavefunction_bank())
        run_settings().paths.wavefun_bank_path = working_path;
}
