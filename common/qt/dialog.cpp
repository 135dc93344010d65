// Dialog objects: life cycle, values by control id, tabs, running and the
// registry of live dialogs the end-to-end driver searches.
#include "common/qt/dialog_internal.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabWidget>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <type_traits>

namespace {

std::vector<Dialog*> live_dialog_list;
long open_counter = 0;

void register_dialog(Dialog* dialog)
{
    if (std::find(live_dialog_list.begin(), live_dialog_list.end(), dialog) == live_dialog_list.end())
        live_dialog_list.push_back(dialog);
}

void unregister_dialog(Dialog* dialog)
{
    live_dialog_list.erase(std::remove(live_dialog_list.begin(), live_dialog_list.end(), dialog),
                           live_dialog_list.end());
}

bool is_button_kind(ControlKind kind)
{
    return kind == ControlKind::button || kind == ControlKind::default_button || kind == ControlKind::check_box ||
           kind == ControlKind::radio_button;
}

bool is_push_button(ControlKind kind) { return kind == ControlKind::button || kind == ControlKind::default_button; }

// Integer text as the dialogs type it: blanks around an optional sign and digits.
bool parse_int_text(const std::string& text, int& value)
{
    auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    auto last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') {
        ++begin;
        if (begin == end || *begin < '0' || *begin > '9')
            return false;  // a sign after the sign
    }
    int parsed = 0;
    auto [ptr, ec] = std::from_chars(begin, end, parsed);
    if (ec != std::errc() || ptr != end)
        return false;
    value = parsed;
    return true;
}

template <typename T>
bool read_number_text(const std::string& text, T& value)
{
    if (text.find_first_not_of(" \t") == std::string::npos)
        return false;
    T number{};
    if (!read_list(text, {&number}))
        return false;
    if constexpr (std::is_floating_point_v<T>)
        if (!std::isfinite(number))
            return false;
    value = number;
    return true;
}

}  // namespace

Dialog::Dialog() : state_(std::make_unique<DialogState>()) {}

Dialog::Dialog(const DialogResource& resource, QWidget* parent) : Dialog() { init(resource, parent); }

Dialog::~Dialog() { release(); }

bool Dialog::init(const DialogResource& resource, QWidget* parent)
{
    release();
    state_->resource_id = resource.id;
    state_->window = new DialogWindow(this, parent);
    create_dialog_controls(*state_, resource);
    register_dialog(this);
    return true;
}

void Dialog::release()
{
    DialogState& s = *state_;
    unregister_dialog(this);
    CodeChange change(s);
    // Pages outlive the dialog around them: take their windows back.
    for (ControlState& control : s.controls) {
        for (Dialog* page : control.pages) {
            page->state_->host = nullptr;
            if (QDialog* page_window = page->window()) {
                if (auto* tab = qobject_cast<QTabWidget*>(control.widget.data()))
                    tab->removeTab(tab->indexOf(page_window));
                page_window->hide();
                page_window->setParent(nullptr);
            }
        }
        control.pages.clear();
    }
    if (s.host) {
        DialogState& host = *s.host->state_;
        CodeChange host_change(host);
        for (ControlState& control : host.controls) {
            auto& pages = control.pages;
            auto it = std::find(pages.begin(), pages.end(), this);
            if (it == pages.end())
                continue;
            pages.erase(it);
            if (auto* tab = qobject_cast<QTabWidget*>(control.widget.data()))
                tab->removeTab(tab->indexOf(s.window));
        }
        s.host = nullptr;
    }
    if (DialogWindow* window = s.window) {
        // Modeless dialogs opened over this one keep living without it.
        for (Dialog* other : live_dialog_list) {
            QDialog* w = other->window();
            if (w && w->parentWidget() == window && w->isWindow())
                w->setParent(nullptr, w->windowFlags());
        }
        if (s.open && window->isVisible())
            window->done(s.end_code);
        window->hide();
        window->detach_owner();
        if (s.dispatch_depth > 0)
            window->deleteLater();  // a callback of this dialog is still on the stack
        else
            delete window;
    }
    s.window = nullptr;
    s.controls.clear();
    s.open = false;
    s.init_callback = nullptr;
}

bool Dialog::is_initialised() const { return state_->window != nullptr; }
int Dialog::get_resource_id() const { return state_->resource_id; }
QDialog* Dialog::window() const { return state_->window; }

ControlState* find_control(DialogState& state, int id)
{
    if (!state.window)
        return nullptr;
    for (ControlState& control : state.controls)
        if (control.id == id && control.widget)
            return &control;
    return nullptr;
}

const ControlState* find_control(const DialogState& state, int id)
{
    return find_control(const_cast<DialogState&>(state), id);
}

QWidget* Dialog::get_control_widget(int id) const
{
    const ControlState* c = find_control(*state_, id);
    return c ? c->widget.data() : nullptr;
}

bool Dialog::has_control(int id) const { return find_control(*state_, id) != nullptr; }

bool Dialog::set_text(int id, const std::string& text)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    CodeChange change(*state_);
    QWidget* w = c->widget;
    const QString qt_text = to_qt(text);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(qt_text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(qt_text);
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(w)) {
        QString lines = qt_text;
        multi->setPlainText(lines.replace("\r\n", "\n"));  // Windows line ends
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(qt_text);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(qt_text);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable()) {
            combo->setEditText(qt_text);
        } else {
            int index = combo->findText(qt_text, Qt::MatchExactly);
            if (index < 0)
                return false;
            combo->setCurrentIndex(index);
        }
    } else {
        return false;
    }
    return true;
}

std::string Dialog::get_text(int id) const
{
    const ControlState* c = find_control(*state_, id);
    if (!c)
        return {};
    QWidget* w = c->widget;
    if (auto* label = qobject_cast<QLabel*>(w))
        return from_qt(label->text());
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return from_qt(edit->text());
    if (auto* multi = qobject_cast<QPlainTextEdit*>(w))
        return from_qt(multi->toPlainText());
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return from_qt(button->text());
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return from_qt(group->title());
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return from_qt(combo->currentText());
    if (c->kind == ControlKind::list_box) {
        int index = get_selected_index(id);
        return index >= 0 ? get_item_text(id, index) : std::string();
    }
    return {};
}

bool Dialog::set_int(int id, int value) { return set_text(id, std::to_string(value)); }

bool Dialog::get_int(int id, int& value) const
{
    if (!has_control(id))
        return false;
    return parse_int_text(get_text(id), value);
}

// The first `width` characters of a box; nothing when more is typed after
// them, so that a number that does not fit its field is refused, never cut.
static std::optional<std::string> box_field(const std::string& text, size_t width)
{
    if (width < text.size() && text.find_first_not_of(" \t", width) != std::string::npos)
        return std::nullopt;
    return text.substr(0, width);
}

bool Dialog::get_number(int id, double& value, size_t width) const
{
    if (!has_control(id))
        return false;
    const auto field = box_field(get_text(id), width);
    return field && read_number_text(*field, value);
}

bool Dialog::get_number(int id, int& value, size_t width) const
{
    if (!has_control(id))
        return false;
    const auto field = box_field(get_text(id), width);
    return field && read_number_text(*field, value);
}

bool Dialog::set_checked(int id, bool checked)
{
    ControlState* c = find_control(*state_, id);
    if (!c || (c->kind != ControlKind::check_box && c->kind != ControlKind::radio_button))
        return false;
    CodeChange change(*state_);
    auto* button = static_cast<QAbstractButton*>(c->widget.data());
    // An exclusive group refuses to switch its checked radio off.
    if (!checked && c->group && c->group->exclusive()) {
        c->group->setExclusive(false);
        button->setChecked(false);
        c->group->setExclusive(true);
    } else {
        button->setChecked(checked);
    }
    return true;
}

bool Dialog::get_checked(int id) const
{
    const ControlState* c = find_control(*state_, id);
    if (!c || (c->kind != ControlKind::check_box && c->kind != ControlKind::radio_button))
        return false;
    return static_cast<QAbstractButton*>(c->widget.data())->isChecked();
}

bool Dialog::set_enabled(int id, bool enabled)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    c->widget->setEnabled(enabled);
    return true;
}

bool Dialog::is_enabled(int id) const
{
    const ControlState* c = find_control(*state_, id);
    return c && c->widget->isEnabledTo(state_->window);
}

bool Dialog::set_focus(int id)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    c->widget->setFocus(Qt::OtherFocusReason);
    return true;
}

int Dialog::get_focus() const
{
    if (!state_->window)
        return 0;
    for (QWidget* w = state_->window->focusWidget(); w && w != state_->window; w = w->parentWidget())
        for (const ControlState& control : state_->controls)
            if (control.widget == w)
                return control.id;
    return 0;
}

bool Dialog::set_callback(int id, ControlCallback callback)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    c->callback = std::move(callback);
    return true;
}

void Dialog::set_init_callback(InitCallback callback) { state_->init_callback = std::move(callback); }

// Runs the init callback of an opening dialog; false when it ended the dialog
// or destroyed it.
static bool run_init_callback(Dialog& dialog, DialogState& state)
{
    state.end_requested = false;
    state.end_code = 0;
    state.open = true;
    state.open_sequence = ++open_counter;
    if (!state.init_callback)
        return true;
    InitCallback callback = state.init_callback;
    std::weak_ptr<int> alive = state.alive;
    ++state.dispatch_depth;
    callback(dialog);
    if (alive.expired())
        return false;
    --state.dispatch_depth;
    return !state.end_requested && state.window;
}

int Dialog::run_modal()
{
    DialogState& s = *state_;
    if (!s.window || s.host || s.open)
        return -1;
    std::weak_ptr<int> alive = s.alive;
    if (!run_init_callback(*this, s)) {
        if (alive.expired())
            return -1;
        s.open = false;
        return s.end_code;
    }
    QPointer<DialogWindow> window = s.window;
    window->setWindowModality(window->parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    window->exec();
    if (alive.expired())
        return -1;
    s.open = false;
    return s.end_code;
}

void Dialog::show_modeless()
{
    DialogState& s = *state_;
    if (!s.window || s.host || s.open)
        return;
    // A window opened while a modal dialog runs must stay usable: Qt blocks
    // every window that is not the modal dialog's own.
    QWidget* modal = QApplication::activeModalWidget();
    if (!s.window->parentWidget() && modal && modal != s.window)
        s.window->setParent(modal, s.window->windowFlags());
    std::weak_ptr<int> alive = s.alive;
    if (!run_init_callback(*this, s)) {
        if (!alive.expired())
            s.open = false;
        return;
    }
    s.window->setWindowModality(Qt::NonModal);
    s.window->show();
}

void Dialog::end(int code)
{
    DialogState& s = *state_;
    s.end_code = code;
    s.end_requested = true;
    if (!s.open || s.host)
        return;
    s.open = false;
    if (s.window && s.window->isVisible())
        s.window->done(code);
}

bool Dialog::is_open() const { return state_->open && state_->window; }
int Dialog::get_end_code() const { return state_->end_code; }

void Dialog::handle_user_event(int id, ControlEvent event)
{
    DialogState& s = *state_;
    if (s.code_depth > 0)
        return;
    ControlState* c = find_control(s, id);
    if (!c)
        return;
    if (!c->callback) {
        if (event == ControlEvent::clicked && is_push_button(c->kind) && (id == 1 || id == 2))
            end(id);
        return;
    }
    ControlCallback callback = c->callback;
    std::weak_ptr<int> alive = s.alive;
    ++s.dispatch_depth;
    callback(*this, id, event);
    if (!alive.expired())
        --s.dispatch_depth;
}

void Dialog::handle_cancel_request()
{
    ControlState* cancel = find_control(*state_, 2);
    if (!cancel) {
        end(2);
        return;
    }
    if (!cancel->widget->isEnabled())
        return;  // a disabled Cancel also refuses the close box
    handle_user_event(2, ControlEvent::clicked);
}

// A control the user can reach: shown and enabled.
static ControlState* usable_control(DialogState& state, int id)
{
    ControlState* c = find_control(state, id);
    if (!c || !c->widget->isVisible() || !c->widget->isEnabled())
        return nullptr;
    return c;
}

bool Dialog::user_set_text(int id, const std::string& text)
{
    ControlState* c = usable_control(*state_, id);
    if (!c)
        return false;
    if (c->kind == ControlKind::edit || c->kind == ControlKind::multiline_edit ||
        (c->kind == ControlKind::combo_box && (c->flags & CONTROL_EDITABLE))) {
        set_text(id, text);
        handle_user_event(id, ControlEvent::text_changed);
        return true;
    }
    if (c->kind == ControlKind::combo_box) {
        if (!set_text(id, text))
            return false;
        handle_user_event(id, ControlEvent::selection_changed);
        return true;
    }
    return false;
}

bool Dialog::user_click(int id)
{
    ControlState* c = usable_control(*state_, id);
    if (!c || !is_button_kind(c->kind))
        return false;
    static_cast<QAbstractButton*>(c->widget.data())->click();
    return true;
}

bool Dialog::user_set_checked(int id, bool checked)
{
    ControlState* c = usable_control(*state_, id);
    if (!c || (c->kind != ControlKind::check_box && c->kind != ControlKind::radio_button))
        return false;
    if (get_checked(id) == checked)
        return true;
    if (c->kind == ControlKind::radio_button && !checked)
        return false;  // a radio goes off only when another one is chosen
    return user_click(id);
}

bool Dialog::user_select(int id, int index)
{
    ControlState* c = usable_control(*state_, id);
    if (!c)
        return false;
    switch (c->kind) {
    case ControlKind::list_box: {
        auto* list = static_cast<QListWidget*>(c->widget.data());
        if (index < 0 || index >= list->count())
            return false;
        if (c->flags & CONTROL_MULTI_SELECT)
            set_item_selected(id, index, true);
        else
            set_selected_index(id, index);
        break;
    }
    case ControlKind::combo_box:
        if (index < 0 || !set_selected_index(id, index))
            return false;
        break;
    case ControlKind::tab_control:
        if (!select_tab(id, index))
            return false;
        break;
    default:
        return false;
    }
    handle_user_event(id, ControlEvent::selection_changed);
    return true;
}

bool Dialog::user_step(int id, int delta)
{
    ControlState* c = usable_control(*state_, id);
    if (!c || c->kind != ControlKind::up_down)
        return false;
    // Arrows count towards high, whichever end of the range that is.
    int direction = c->high >= c->low ? 1 : -1;
    set_position(id, c->position + direction * delta);
    handle_user_event(id, ControlEvent::position_changed);
    return true;
}

std::vector<Dialog*> live_dialogs() { return live_dialog_list; }

Dialog* topmost_dialog()
{
    Dialog* best = nullptr;
    long best_sequence = -1;
    for (Dialog* dialog : live_dialog_list) {
        const DialogState& s = *dialog->state_;
        if (s.open && !s.host && s.window && s.window->isVisible() && s.open_sequence > best_sequence) {
            best = dialog;
            best_sequence = s.open_sequence;
        }
    }
    return best;
}

Dialog* find_live_dialog(int resource_id)
{
    for (auto it = live_dialog_list.rbegin(); it != live_dialog_list.rend(); ++it)
        if ((*it)->get_resource_id() == resource_id)
            return *it;
    return nullptr;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void report_unreadable_box(Dialog& dialog, int id, const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::warning);
    if (id != 0)
        dialog.set_focus(id);
}

bool hold_box_to_limits(Dialog& dialog, int id, int low, int high, int& value)
{
    int read = 0;
    if (!dialog.get_int(id, read))
        return false;
    value = std::clamp(read, low, high);
    if (value != read)
        dialog.set_int(id, value);
    return true;
}

bool hold_box_to_limits(Dialog& dialog, int id, double low, double high, double& value)
{
    double read = 0;
    if (!dialog.get_number(id, read))
        return false;
    value = std::clamp(read, low, high);
    if (value != read) {
        char text[32];
        auto [end, error] = std::to_chars(text, text + sizeof text, value);
        dialog.set_text(id, error == std::errc() ? std::string(text, end) : std::to_string(value));
    }
    return true;
}
