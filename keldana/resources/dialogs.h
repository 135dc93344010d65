// Dialog templates of Keldana's shell.
#pragma once

#include "common/qt/dialog_resource.h"

constexpr int IDD_ABOUT = 100;  // "AboutDlg"
const DialogResource& about_dialog_resource();
