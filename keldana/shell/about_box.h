// The About box: product name, description and version of this build.
#pragma once

class QWidget;
class Dialog;

// The version strings the About box shows, by the name its statics carry.
// Empty for a name the program does not know.
const char* program_version_string(const char* name);

void run_about_box(QWidget* owner);

// Fills an initialised About dialog (used by run_about_box and the tests).
void fill_about_box(Dialog& dialog);
