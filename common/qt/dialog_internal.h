// Internals of Dialog shared by its source files.
#pragma once

#include "common/qt/dialog.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class QKeyEvent;

struct ControlState {
    int id = 0;
    ControlKind kind = ControlKind::static_text;
    unsigned flags = 0;
    QPointer<QWidget> widget;
    QButtonGroup* group = nullptr;  // radio buttons: their exclusive group
    int buddy = -1;                 // up-down: index of its edit in the control list
    int low = 0, high = 100, position = 0;  // up-down
    std::vector<Dialog*> pages;     // tab control: page of each tab
    ControlCallback callback;
};

// The dialog window: Escape and the close box ask the owner (they act as
// Cancel); a page inside a tab passes its keys on to the dialog around it.
class DialogWindow : public QDialog {
public:
    DialogWindow(Dialog* owner, QWidget* parent) : QDialog(parent), owner_(owner) {}
    Dialog* owner() const { return owner_; }
    void detach_owner() { owner_ = nullptr; }  // the window outlives a released Dialog
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Dialog* owner_;
};

struct DialogState {
    int resource_id = 0;
    QPointer<DialogWindow> window;
    std::vector<ControlState> controls;
    InitCallback init_callback;
    int end_code = 0;
    bool end_requested = false;
    bool open = false;
    int code_depth = 0;      // > 0 while code sets controls: signals are not the user's
    int dispatch_depth = 0;  // > 0 while a callback of this dialog runs
    long open_sequence = 0;
    Dialog* host = nullptr;  // the dialog whose tab control shows this page
    std::shared_ptr<int> alive = std::make_shared<int>(0);
};

// Raises code_depth while code changes controls.
class CodeChange {
public:
    explicit CodeChange(DialogState& state) : state_(state) { ++state_.code_depth; }
    ~CodeChange() { --state_.code_depth; }
    CodeChange(const CodeChange&) = delete;
    CodeChange& operator=(const CodeChange&) = delete;

private:
    DialogState& state_;
};

// The control of id, or nullptr when unknown or the window is gone.
ControlState* find_control(DialogState& state, int id);
const ControlState* find_control(const DialogState& state, int id);

inline QString to_qt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string from_qt(const QString& text) { return text.toStdString(); }

// Builds the controls of resource inside state.window, wiring their signals
// to the window's owner.
void create_dialog_controls(DialogState& state, const DialogResource& resource);
// Writes an up-down's position into its buddy edit (as code, no callback).
void update_up_down_buddy(DialogState& state, ControlState& control);
