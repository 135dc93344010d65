// The one Open/Save file dialog of Keldana.  The caller sets dialog_mode of
// FileDialogState to "open" or "save"; afterwards dialog_path and file_title
// hold the choice, or dialog_mode reads "no  " after Cancel.  On a choice the
// current directory moves to the chosen file's folder, and the working
// directory follows it unless the Options dialog switched that off.
#pragma once

#include <string>

// The name proposed is the last chosen path when it is of the dialog's type
// (an extension of the pattern); in save mode another name is proposed with
// the pattern's extension, in open mode none.  executables_only lists only
// files that may run under the first filter (programs have no extension).
void run_file_dialog(const std::string& description, const std::string& pattern, bool executables_only = false);

// True when the file name of path has one of the extensions of pattern
// ("*.inp;*.res"), compared without regard to case; a pattern of no
// extension ("*", "*.*") takes every name.
bool is_name_of_pattern(const std::string& path, const std::string& pattern);

// True when the last dialog was cancelled.
bool file_dialog_cancelled();
