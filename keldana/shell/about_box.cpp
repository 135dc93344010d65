#include "keldana/shell/about_box.h"

#include "common/qt/dialog.h"
#include "keldana/resources/dialogs.h"
#include "keldana/shell/version.h"

#include <QDialog>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstring>

const char* program_version_string(const char* name)
{
    if (std::strcmp(name, "ProductName") == 0)
        return "Keldana";
    if (std::strcmp(name, "FileDescription") == 0)
        return "Charge-density analysis of pseudoatom models";
    if (std::strcmp(name, "ProductVersion") == 0)
        return KELDANA_VERSION;
    return "";
}

void fill_about_box(Dialog& dialog)
{
    QFont font = dialog.window()->font();
    font.setPixelSize(14);
    font.setStyleHint(QFont::SansSerif);
    // Each static names the version string it shows; unknown names and
    // missing controls are left alone.
    for (int id = 1001; id <= 1005; ++id) {
        if (!dialog.has_control(id))
            continue;
        const std::string name = dialog.get_text(id);
        const char* value = program_version_string(name.c_str());
        if (*value == '\0')
            continue;
        dialog.set_text(id, value);
        dialog.get_control_widget(id)->setFont(font);
    }
}

namespace {

void centre_window_on_owner(QWidget* window, QWidget* owner)
{
    if (!owner)
        return;
    window->adjustSize();
    const QRect owner_rect = owner->frameGeometry();
    const QRect screen = owner->screen() ? owner->screen()->availableGeometry() : QRect(0, 0, 1920, 1080);
    int left = owner_rect.left() + (owner_rect.width() - window->width()) / 2;
    int top = owner_rect.top() + (owner_rect.height() - window->height()) / 2;
    left = std::clamp(left, 0, std::max(0, screen.width() - window->width()));
    top = std::clamp(top, 0, std::max(0, screen.height() - window->height()));
    window->move(left, top);
}

}  // namespace

void run_about_box(QWidget* owner)
{
    Dialog dialog(about_dialog_resource(), owner);
    dialog.set_init_callback([owner](Dialog& d) {
        fill_about_box(d);
        centre_window_on_owner(d.window(), owner);
    });
    dialog.run_modal();
}
