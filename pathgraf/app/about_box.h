// Help > About: the dialog "AboutDlg" with the entries of the program's
// version block named by its static texts.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>
#include <string>

class Dialog;
class QWidget;

// The program's version block: the value of an entry, nothing for a name it
// does not hold.
std::optional<std::string> plot_version_entry(const std::string& name);

// Replaces the texts of items 1001..1005 that name an entry of the block by
// the entry's value (in the 14-pixel font); other items keep their text.
void fill_plot_about_box(Dialog& dialog,
                         const std::function<std::optional<std::string>(const std::string&)>& version_block);

// Top-left corner that centres a window of size `window` on `owner`, kept
// on a screen of size `screen`.
QPoint centre_about_box_on_owner(QSize window, const QRect& owner, QSize screen);

void run_plot_about_box(QWidget* owner);
