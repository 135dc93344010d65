#include "pathgraf/app/about_box.h"

#include "common/qt/dialog.h"
#include "pathgraf/resources/plot_dialogs.h"

#include <QDialog>
#include <QFont>
#include <QScreen>
#include <QWidget>

#ifndef PATHGRAF_VERSION
#define PATHGRAF_VERSION "0"
#endif

std::optional<std::string> plot_version_entry(const std::string& name)
{
    if (name == "CompanyName")
        return "Orvo";
    if (name == "FileDescription")
        return "Pathgraf: plots of gradient trajectories";
    if (name == "ProductVersion")
        return PATHGRAF_VERSION;
    return std::nullopt;
}

void fill_plot_about_box(Dialog& dialog,
                         const std::function<std::optional<std::string>(const std::string&)>& version_block)
{
    QFont font = dialog.window()->font();
    font.setPixelSize(14);
    font.setStyleHint(QFont::SansSerif);
    for (int id = 1001; id <= 1005; ++id) {
        if (!dialog.has_control(id))
            continue;
        const std::optional<std::string> value = version_block(dialog.get_text(id));
        if (!value)
            continue;
        dialog.set_text(id, *value);
        dialog.get_control_widget(id)->setFont(font);
    }
}

QPoint centre_about_box_on_owner(QSize window, const QRect& owner, QSize screen)
{
    int x = owner.left() + (owner.width() - window.width()) / 2;
    int y = owner.top() + (owner.height() - window.height()) / 2;
    if (x < 0)
        x = 0;
    else if (x + window.width() > screen.width())
        x = screen.width() - window.width();
    if (y < 0)
        y = 0;
    else if (y + window.height() > screen.height())
        y = screen.height() - window.height();
    return {x, y};
}

void run_plot_about_box(QWidget* owner)
{
    Dialog dialog(plot_about_dialog_resource(), owner);
    dialog.set_init_callback([owner](Dialog& d) {
        fill_plot_about_box(d, plot_version_entry);
        if (!owner)
            return;
        QWidget* window = d.window();
        const QSize screen = owner->screen() ? owner->screen()->size() : QSize(1920, 1080);
        window->move(centre_about_box_on_owner(window->size(), owner->frameGeometry(), screen));
    });
    dialog.run_modal();
}
