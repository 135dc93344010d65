// The "Generate potential-derived charges" dialog (command 30029): the grid,
// the envelope of fitting points and the fit-constraint array that puts the
// atoms into charge classes; "Generate" fits and reports the charges and the
// dialog stays open.
#pragma once

class Dialog;
class QWidget;

// Runs the dialog modally for the current model.
void run_potential_charges_dialog(QWidget* owner = nullptr);

// Fills the dialog as it opens: the default boxes, one list entry per atom
// with its default class value (its own number, or its parent's for an
// image), and the callbacks.
void prepare_potential_charges_dialog(Dialog& dialog);
