// Every dialog of Pathgraf built offscreen at the default font shows all of
// its text: nothing wider or taller than its control, no control outside its
// dialog or its group box.  KD_DIALOG_PICTURES=folder saves a picture of each.
#include "common/qt/dialog.h"
#include "pathgraf/app/about_box.h"
#include "pathgraf/resources/plot_dialogs.h"
#include "support/dialog_fit.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

struct DialogCase {
    const char* name;
    const DialogResource& (*resource)();
    std::function<void(Dialog& dialog)> fill;
};

TEST(PlotDialogFitTest, EveryDialogShowsAllOfItsText)
{
    const std::vector<DialogCase> cases = {
        {"about", plot_about_dialog_resource, [](Dialog& d) { fill_plot_about_box(d, plot_version_entry); }},
        {"lines and colors", lines_colors_dialog_resource, nullptr},
        {"bmp parameters", bmp_parameters_dialog_resource, nullptr},
        {"axis ticks", axis_ticks_dialog_resource, nullptr},
        {"postscript", postscript_dialog_resource, nullptr},
        {"post symbol", post_symbol_dialog_resource, nullptr},
        {"fonts", fonts_dialog_resource, nullptr},
        {"text entry", text_entry_dialog_resource, nullptr},
    };
    const char* pictures = std::getenv("KD_DIALOG_PICTURES");
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog dialog(c.resource());
        if (c.fill)
            c.fill(dialog);
        dialog.window()->show();
        QApplication::processEvents();
        for (const std::string& problem : dialog_fit::problems_of(dialog))
            ADD_FAILURE() << problem;
        if (pictures)
            dialog.window()->grab().save(QString("%1/pathgraf %2.png").arg(pictures, c.name));
        dialog.window()->hide();
    }
}

}  // namespace
