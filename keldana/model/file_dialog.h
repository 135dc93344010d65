// The one Open/Save file dialog of Keldana.  The caller sets dialog_mode of
// FileDialogState to "open" or "save"; afterwards dialog_path and file_title
// hold the choice, or dialog_mode reads "no  " after Cancel.  On a choice the
// current directory moves to the chosen file's folder, and the working
// directory follows it unless the Options dialog switched that off.
#pragma once

#include <string>

void run_file_dialog(const std::string& description, const std::string& pattern);

// True when the last dialog was cancelled.
bool file_dialog_cancelled();
