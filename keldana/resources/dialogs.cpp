#include "keldana/resources/dialogs.h"

const DialogResource& about_dialog_resource()
{
    static const DialogResource resource = {
        IDD_ABOUT, "About Keldana", 250, 112,
        {
            // The texts show in a 14-pixel font: the description has room
            // for a second line.
            {CONTROL_STATIC_ID, ControlKind::icon, "AKELDANA", 10, 10, 20, 20},
            {1001, ControlKind::static_text, "ProductName", 40, 10, 200, 14},
            {1002, ControlKind::static_text, "FileDescription", 40, 28, 200, 26},
            {1003, ControlKind::static_text, "ProductVersion", 40, 58, 200, 14},
            {501, ControlKind::etched_line, "", 10, 78, 230, 2},
            {1, ControlKind::default_button, "OK", 100, 90, 50, 14},
        },
        "MS Sans Serif", 8};
    return resource;
}
