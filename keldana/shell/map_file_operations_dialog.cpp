#include "keldana/shell/map_file_operations_dialog.h"

#include "common/qt/dialog.h"
#include "keldana/model/file_dialog.h"
#include "keldana/model/run_settings.h"
#include "keldana/properties/map_file_operations.h"
#include "keldana/resources/map_dialogs.h"

#include <QApplication>
#include <QGuiApplication>

namespace {

// The names of the last run (the edits start empty all the same).
MapFileOperationRequest last_request;

void on_operation_choice(Dialog& dialog)
{
    const bool cut_off = dialog.get_checked(IDC_MAP_CUT_OFF);
    dialog.set_enabled(IDC_MAP_CUT_OFF_VALUE, cut_off);
    dialog.set_enabled(IDC_SOURCE_FILE_2, !cut_off);
}

void on_browse(Dialog& dialog, int edit, const char* mode)
{
    FileDialogState& state = run_settings().file_dialog;
    state.dialog_mode = mode;
    run_file_dialog("formatted data file (*.dat)", "*.dat");
    if (!file_dialog_cancelled())
        dialog.set_text(edit, state.dialog_path);
}

MapFileOperationRequest read_request(const Dialog& dialog)
{
    MapFileOperationRequest request;
    request.operation = dialog.get_checked(IDC_MAP_ADDITION)      ? MapFileOperation::addition
                        : dialog.get_checked(IDC_MAP_SUBTRACTION) ? MapFileOperation::subtraction
                                                                  : MapFileOperation::cut_off;
    request.invert_sign = dialog.get_checked(IDC_MAP_INVERT);
    request.source_1 = dialog.get_text(IDC_SOURCE_FILE_1);
    request.source_2 = dialog.get_text(IDC_SOURCE_FILE_2);
    request.target = dialog.get_text(IDC_TARGET_FILE);
    request.cut_off_text = dialog.get_text(IDC_MAP_CUT_OFF_VALUE);
    return request;
}

}  // namespace

void run_map_file_operations_dialog(QWidget* owner)
{
    Dialog dialog(map_file_operations_dialog_resource(), owner ? owner : QApplication::activeWindow());
    for (int id : {IDC_MAP_ADDITION, IDC_MAP_SUBTRACTION, IDC_MAP_CUT_OFF})
        dialog.set_callback(id, [](Dialog& d, int, ControlEvent) { on_operation_choice(d); });
    dialog.set_callback(IDC_SOURCE_1_BROWSE,
                        [](Dialog& d, int, ControlEvent) { on_browse(d, IDC_SOURCE_FILE_1, "open"); });
    dialog.set_callback(IDC_SOURCE_2_BROWSE,
                        [](Dialog& d, int, ControlEvent) { on_browse(d, IDC_SOURCE_FILE_2, "open"); });
    dialog.set_callback(IDC_TARGET_BROWSE, [](Dialog& d, int, ControlEvent) { on_browse(d, IDC_TARGET_FILE, "save"); });
    const int end = dialog.run_modal();
    if (end == 1) {
        last_request = read_request(dialog);
        dialog.release();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        run_map_file_operation(last_request);
        QGuiApplication::restoreOverrideCursor();
        return;
    }
    dialog.release();
}
