#include "keldana/resources/dialogs.h"

const DialogResource& about_dialog_resource()
{
    static const DialogResource resource = {
        IDD_ABOUT, "About Keldana", 200, 110,
        {
            {CONTROL_STATIC_ID, ControlKind::icon, "AKELDANA", 10, 10, 20, 20},
            {1001, ControlKind::static_text, "ProductName", 40, 10, 150, 12},
            {1002, ControlKind::static_text, "FileDescription", 40, 26, 150, 12},
            {1003, ControlKind::static_text, "ProductVersion", 40, 42, 150, 12},
            {501, ControlKind::etched_line, "", 10, 64, 180, 2},
            {1, ControlKind::default_button, "OK", 75, 80, 50, 14},
        },
        "MS Sans Serif", 8};
    return resource;
}
