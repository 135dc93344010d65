// List boxes, combo boxes, progress bars, up-downs and tab controls of a Dialog.
#include "common/qt/dialog_internal.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>

#include <algorithm>

bool Dialog::clear_items(int id)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    CodeChange change(*state_);
    if (auto* list = qobject_cast<QListWidget*>(c->widget.data()))
        list->clear();
    else if (auto* combo = qobject_cast<QComboBox*>(c->widget.data()))
        combo->clear();
    else
        return false;
    return true;
}

bool Dialog::add_item(int id, const std::string& text)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    CodeChange change(*state_);
    if (auto* list = qobject_cast<QListWidget*>(c->widget.data())) {
        list->addItem(to_qt(text));
    } else if (auto* combo = qobject_cast<QComboBox*>(c->widget.data())) {
        // Adding an entry selects nothing (Qt would select the first one).
        const int index = combo->currentIndex();
        const QString shown = combo->currentText();
        combo->addItem(to_qt(text));
        combo->setCurrentIndex(index);
        if (combo->isEditable())
            combo->setEditText(shown);
    } else {
        return false;
    }
    return true;
}

int Dialog::get_item_count(int id) const
{
    const ControlState* c = find_control(*state_, id);
    if (!c)
        return 0;
    if (auto* list = qobject_cast<QListWidget*>(c->widget.data()))
        return list->count();
    if (auto* combo = qobject_cast<QComboBox*>(c->widget.data()))
        return combo->count();
    return 0;
}

std::string Dialog::get_item_text(int id, int index) const
{
    const ControlState* c = find_control(*state_, id);
    if (!c || index < 0 || index >= get_item_count(id))
        return {};
    if (auto* list = qobject_cast<QListWidget*>(c->widget.data()))
        return from_qt(list->item(index)->text());
    return from_qt(static_cast<QComboBox*>(c->widget.data())->itemText(index));
}

bool Dialog::set_item_text(int id, int index, const std::string& text)
{
    ControlState* c = find_control(*state_, id);
    if (!c || index < 0 || index >= get_item_count(id))
        return false;
    CodeChange change(*state_);
    if (auto* list = qobject_cast<QListWidget*>(c->widget.data()))
        list->item(index)->setText(to_qt(text));
    else
        static_cast<QComboBox*>(c->widget.data())->setItemText(index, to_qt(text));
    return true;
}

int Dialog::get_selected_index(int id) const
{
    const ControlState* c = find_control(*state_, id);
    if (!c)
        return -1;
    if (auto* list = qobject_cast<QListWidget*>(c->widget.data())) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected())
                return i;
        return -1;
    }
    if (auto* combo = qobject_cast<QComboBox*>(c->widget.data()))
        return combo->currentIndex();
    return -1;
}

bool Dialog::set_selected_index(int id, int index)
{
    ControlState* c = find_control(*state_, id);
    if (!c || index < -1 || index >= get_item_count(id))
        return false;
    CodeChange change(*state_);
    if (auto* list = qobject_cast<QListWidget*>(c->widget.data())) {
        list->clearSelection();
        if (index >= 0) {
            list->setCurrentRow(index, QItemSelectionModel::NoUpdate);
            list->item(index)->setSelected(true);
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(c->widget.data())) {
        combo->setCurrentIndex(index);
    } else {
        return false;
    }
    return true;
}

bool Dialog::is_item_selected(int id, int index) const
{
    const ControlState* c = find_control(*state_, id);
    auto* list = c ? qobject_cast<QListWidget*>(c->widget.data()) : nullptr;
    return list && index >= 0 && index < list->count() && list->item(index)->isSelected();
}

bool Dialog::set_item_selected(int id, int index, bool selected)
{
    ControlState* c = find_control(*state_, id);
    auto* list = c ? qobject_cast<QListWidget*>(c->widget.data()) : nullptr;
    if (!list || index < 0 || index >= list->count())
        return false;
    CodeChange change(*state_);
    if (selected && !(c->flags & CONTROL_MULTI_SELECT))
        list->clearSelection();
    list->item(index)->setSelected(selected);
    return true;
}

bool Dialog::set_range(int id, int low, int high)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    CodeChange change(*state_);
    if (auto* bar = qobject_cast<QProgressBar*>(c->widget.data())) {
        bar->setRange(std::min(low, high), std::max(low, high));
        return true;
    }
    if (c->kind == ControlKind::up_down) {
        c->low = low;
        c->high = high;
        c->position = std::clamp(c->position, std::min(low, high), std::max(low, high));
        return true;
    }
    return false;
}

bool Dialog::set_position(int id, int position)
{
    ControlState* c = find_control(*state_, id);
    if (!c)
        return false;
    CodeChange change(*state_);
    if (auto* bar = qobject_cast<QProgressBar*>(c->widget.data())) {
        bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
        return true;
    }
    if (c->kind == ControlKind::up_down) {
        c->position = std::clamp(position, std::min(c->low, c->high), std::max(c->low, c->high));
        update_up_down_buddy(*state_, *c);
        return true;
    }
    return false;
}

int Dialog::get_position(int id) const
{
    const ControlState* c = find_control(*state_, id);
    if (!c)
        return 0;
    if (auto* bar = qobject_cast<QProgressBar*>(c->widget.data()))
        return bar->value();
    return c->kind == ControlKind::up_down ? c->position : 0;
}

bool Dialog::add_tab_page(int tab_id, const std::string& label, Dialog& page)
{
    ControlState* c = find_control(*state_, tab_id);
    if (!c || c->kind != ControlKind::tab_control || &page == this || !page.is_initialised() ||
        page.state_->host || page.state_->open)
        return false;
    CodeChange change(*state_);
    auto* tab = static_cast<QTabWidget*>(c->widget.data());
    tab->addTab(page.window(), to_qt(label));
    c->pages.push_back(&page);
    page.state_->host = this;
    return true;
}

bool Dialog::select_tab(int tab_id, int index)
{
    ControlState* c = find_control(*state_, tab_id);
    if (!c || c->kind != ControlKind::tab_control || index < 0 || index >= static_cast<int>(c->pages.size()))
        return false;
    CodeChange change(*state_);
    static_cast<QTabWidget*>(c->widget.data())->setCurrentIndex(index);
    return true;
}

int Dialog::get_selected_tab(int tab_id) const
{
    const ControlState* c = find_control(*state_, tab_id);
    if (!c || c->kind != ControlKind::tab_control)
        return -1;
    return static_cast<QTabWidget*>(c->widget.data())->currentIndex();
}

Dialog* Dialog::get_tab_page(int tab_id, int index) const
{
    const ControlState* c = find_control(*state_, tab_id);
    if (!c || index < 0 || index >= static_cast<int>(c->pages.size()))
        return nullptr;
    return c->pages[static_cast<std::size_t>(index)];
}

Dialog* Dialog::get_page(int resource_id) const
{
    for (const ControlState& control : state_->controls) {
        for (Dialog* page : control.pages) {
            if (page->get_resource_id() == resource_id)
                return page;
            if (Dialog* inner = page->get_page(resource_id))
                return inner;
        }
    }
    return nullptr;
}

