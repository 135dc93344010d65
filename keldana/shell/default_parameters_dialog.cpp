#include "keldana/shell/default_parameters_dialog.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/resources/settings_dialogs.h"

#include <cmath>
#include <limits>

namespace {

constexpr int NPOT = 16, SIG_RHO = 17, SIG_LAPL = 18;

bool read_int_box(const Dialog& dialog, int id, const std::string& shown_text, int shown_value, int lowest,
                  int highest, int& value)
{
    int read = shown_value;
    if (dialog.get_text(id) != shown_text && !dialog.get_number(id, read))
        return false;
    if (read < lowest || read > highest)
        return false;
    value = read;
    return true;
}

}  // namespace

bool read_real_box(const Dialog& dialog, int id, const std::string& shown_text, double shown_value, double lowest,
                   bool above, double& value)
{
    double read = shown_value;
    if (dialog.get_text(id) != shown_text && !dialog.get_number(id, read))
        return false;
    if (!std::isfinite(read) || read < lowest || (above && read == lowest))
        return false;
    value = read;
    return true;
}

void fill_calculation_boxes(Dialog& dialog, const CalculationSettings& s, const CalculationBoxFormats& f)
{
    dialog.set_text(IDC_SETTING_EPS, format_line(f.eps, {s.eps}));
    dialog.set_text(IDC_SETTING_NSTEP, format_line(f.nStep, {s.nStep}));
    dialog.set_text(IDC_SETTING_SCALE, format_line(f.Scale, {s.Scale}));
    dialog.set_text(IDC_SETTING_DS, format_line(f.ds, {s.ds}));
    dialog.set_text(IDC_SETTING_DR, format_line(f.dr, {s.dr}));
    dialog.set_text(IDC_SETTING_RCUT, format_line(f.rCut, {s.rCut}));
    dialog.set_text(IDC_SETTING_LPOLE, format_line(f.lPole, {s.lPole}));
}

bool read_calculation_boxes(const Dialog& dialog, const CalculationSettings& shown, const CalculationBoxFormats& f,
                            CalculationSettings& settings, int& failed_id)
{
    CalculationSettings read = settings;
    auto real = [&](int id, const char* format, double shown_value, double& value) {
        if (read_real_box(dialog, id, format_line(format, {shown_value}), shown_value, 0.0, true, value))
            return true;
        failed_id = id;
        return false;
    };
    auto whole = [&](int id, const char* format, int shown_value, int lowest, int highest, int& value) {
        if (read_int_box(dialog, id, format_line(format, {shown_value}), shown_value, lowest, highest, value))
            return true;
        failed_id = id;
        return false;
    };
    // In the order of the boxes on the screen, so that the first bad one is named.
    const bool ok = real(IDC_SETTING_EPS, f.eps, shown.eps, read.eps) &&
                    whole(IDC_SETTING_NSTEP, f.nStep, shown.nStep, 1, std::numeric_limits<int>::max(), read.nStep) &&
                    real(IDC_SETTING_SCALE, f.Scale, shown.Scale, read.Scale) &&
                    real(IDC_SETTING_DS, f.ds, shown.ds, read.ds) && real(IDC_SETTING_DR, f.dr, shown.dr, read.dr) &&
                    real(IDC_SETTING_RCUT, f.rCut, shown.rCut, read.rCut) &&
                    whole(IDC_SETTING_LPOLE, f.lPole, shown.lPole, 0, MAX_L, read.lPole);
    if (ok)
        settings = read;
    return ok;
}

void on_default_parameters_radio(Dialog& dialog, int control_id)
{
    const int code = property_selection().property_code;
    switch (control_id) {
    case IDC_LOCAL_FRAME:
        // NPOT is evaluated in the global frame only.
        if (code == NPOT)
            dialog.set_checked(IDC_GLOBAL_FRAME, true);
        break;
    case IDC_ANALYTIC: {
        // The standard deviations need numerical derivatives.
        const bool numerical_only = code == SIG_RHO || code == SIG_LAPL;
        dialog.set_checked(IDC_ANALYTIC, !numerical_only);
        dialog.set_checked(IDC_NUMERICAL, numerical_only);
        break;
    }
    case IDC_NUMERICAL:
        dialog.set_checked(IDC_NUMERICAL, true);
        dialog.set_checked(IDC_ANALYTIC, false);
        break;
    default:
        break;
    }
}

void run_default_parameters_dialog(QWidget* owner)
{
    CalculationSettings& settings = run_settings().calculation;
    const CalculationSettings shown = settings;
    Dialog dialog(default_parameters_dialog_resource(), owner);
    fill_calculation_boxes(dialog, shown, DEFAULT_PARAMETER_FORMATS);
    dialog.set_checked(shown.global_frame == 0 ? IDC_LOCAL_FRAME : IDC_GLOBAL_FRAME, true);
    dialog.set_checked(IDC_ANALYTIC, shown.numerical_derivatives == 0);
    dialog.set_checked(IDC_NUMERICAL, shown.numerical_derivatives != 0);
    for (int id : {IDC_LOCAL_FRAME, IDC_ANALYTIC, IDC_NUMERICAL})
        dialog.set_callback(id, [](Dialog& d, int control, ControlEvent) { on_default_parameters_radio(d, control); });
    dialog.set_callback(IDC_SETTINGS_OK, [&settings, &shown](Dialog& d, int, ControlEvent) {
        CalculationSettings read = settings;
        int failed_id = 0;
        if (!read_calculation_boxes(d, shown, DEFAULT_PARAMETER_FORMATS, read, failed_id)) {
            report_unreadable_box(d, failed_id);
            return;
        }
        read.global_frame = d.get_checked(IDC_LOCAL_FRAME) ? 0 : 1;
        read.numerical_derivatives = d.get_checked(IDC_ANALYTIC) ? 0 : 1;
        settings = read;
        note_model_change();
        d.end(IDC_SETTINGS_OK);
    });
    dialog.run_modal();
    dialog.release();
}
