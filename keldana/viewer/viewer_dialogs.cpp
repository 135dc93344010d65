#include "keldana/viewer/viewer_dialogs.h"

#include "common/qt/dialog.h"
#include "common/user_interface.h"
#include "keldana/model/model_store.h"
#include "keldana/model/text_fields.h"
#include "keldana/resources/viewer_resources.h"
#include "keldana/viewer/bond_list.h"
#include "keldana/viewer/viewer_settings.h"

#include <QFont>
#include <QFontInfo>

#include <charconv>

namespace {

void on_ok(Dialog& dialog)
{
    const std::string text = trimmed(dialog.get_text(IDC_BOND_DELTA));
    std::string number = text;
    double value = 0;
    // A blank box keeps the delta; anything else must hold a number that
    // fits the stored text whole.
    if (!text.empty() && (text.size() > MAX_BOND_DELTA_TEXT || !parse_real_ignoring_letters(number, value))) {
        report_unreadable_box(dialog, IDC_BOND_DELTA);
        return;
    }
    write_bond_delta_text(text);
    build_bond_list(current_model().atoms.atom_count);
    dialog.end(1);
}

}  // namespace

bool run_bond_parameter_dialog(QWidget* owner)
{
    Dialog dialog(bond_parameter_dialog_resource(), owner);
    dialog.set_text(IDC_BOND_DELTA, shown_bond_delta_text(read_bond_delta_text(), bond_list().bond_delta));
    dialog.set_callback(1, [](Dialog& d, int, ControlEvent) { on_ok(d); });
    return dialog.run_modal() == 1;
}

int choose_colour(int colour)
{
    unsigned chosen = static_cast<unsigned>(colour) & 0xFFFFFF;
    if (!ui().choose_colour(chosen))
        return -1;
    return static_cast<int>(chosen & 0xFFFFFF);
}

std::string shown_bond_delta_text(const std::string& stored, double delta)
{
    if (!trimmed(stored).empty())
        return stored;
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, delta);
    return error == std::errc() ? std::string(text, end) : std::string();
}

bool choose_viewer_font(ViewerLabelFont& font, unsigned& colour)
{
    FontChoice choice;
    // The picker opens at the face the labels are drawn with: the stored
    // face as the font system resolves it, or the default one.
    QFont in_use;
    if (!font.face_name.empty())
        in_use.setFamily(QString::fromStdString(font.face_name));
    choice.face_name = QFontInfo(in_use).family().toStdString();
    choice.height = font.height;
    choice.width = font.width;
    choice.weight = font.weight == 0 ? 400 : font.weight;
    choice.italic = font.italic != 0;
    choice.underline = font.underline != 0;
    choice.strike_out = font.strike_out != 0;
    choice.colour = colour;
    if (!ui().choose_font(choice))
        return false;
    font.face_name = choice.face_name.substr(0, MAX_FACE_NAME_LENGTH);
    font.height = choice.height;
    font.width = choice.width;
    font.weight = choice.weight;
    font.italic = choice.italic ? 1 : 0;
    font.underline = choice.underline ? 1 : 0;
    font.strike_out = choice.strike_out ? 1 : 0;
    colour = choice.colour & 0xFFFFFF;
    return true;
}
