// Pathgraf's dialogs as tables.
#pragma once

#include "common/qt/dialog_resource.h"

const DialogResource& plot_about_dialog_resource();      // "AboutDlg"
const DialogResource& lines_colors_dialog_resource();    // 102 "Lines and Colors"
const DialogResource& bmp_parameters_dialog_resource();  // 113 "BMP Parameters"
const DialogResource& axis_ticks_dialog_resource();      // 119 "Axis Ticks"
const DialogResource& postscript_dialog_resource();      // 121 "PostScript"
const DialogResource& post_symbol_dialog_resource();     // 126 "Post Symbol"
const DialogResource& fonts_dialog_resource();           // 129 "Fonts"
const DialogResource& text_entry_dialog_resource();      // 130, caption-less
