// "Default parameter values" (command 30032): the calculation settings of the
// run, without touching the stored settings.  Also the reading of the number
// boxes that it shares with the Options dialog.
#pragma once

#include <string>

class Dialog;
class QWidget;
struct CalculationSettings;

// Runs the dialog modally.  OK takes the seven numbers, the frame of the
// populations and the kind of derivatives; a box that does not read keeps the
// dialog open after the message; Cancel changes nothing.
void run_default_parameters_dialog(QWidget* owner = nullptr);

// The radios and check boxes of the frame and the derivatives: NPOT keeps the
// global frame, SigRHO and SigLAPL keep numerical derivatives.
void on_default_parameters_radio(Dialog& dialog, int control_id);

// The formats the seven numbers are shown with.
struct CalculationBoxFormats {
    const char* eps;
    const char* nStep;
    const char* Scale;
    const char* ds;
    const char* dr;
    const char* rCut;
    const char* lPole;
};
inline constexpr CalculationBoxFormats DEFAULT_PARAMETER_FORMATS = {"(F9.6)", "(I4)",   "(F9.6)", "(F7.4)",
                                                                    "(F9.6)", "(F9.6)", "(I4)"};

void fill_calculation_boxes(Dialog& dialog, const CalculationSettings& settings, const CalculationBoxFormats& formats);

// Reads the seven boxes into settings.  A box still holding the text its
// shown value was written with keeps that value exactly (the text may have
// rounded it); any other text must read as one number in free form, eps,
// Scale, rCut, ds and dr above 0, nStep at least 1, lPole 0..4.  On a box that
// fails: false, failed_id := its id, settings unchanged.
bool read_calculation_boxes(const Dialog& dialog, const CalculationSettings& shown,
                            const CalculationBoxFormats& formats, CalculationSettings& settings, int& failed_id);

// One number box by the same rule, with the lowest value it may hold
// (exclusive when `above`).
bool read_real_box(const Dialog& dialog, int id, const std::string& shown_text, double shown_value, double lowest,
                   bool above, double& value);
