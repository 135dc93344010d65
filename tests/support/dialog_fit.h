// Whether a dialog built from its resource shows all of its text: every
// label, button, check box, group title and combo entry measured with its
// own font against the rectangle of its control, and every control inside
// the dialog (or the tab page showing it) and inside the group box it
// overlaps.  The dialog must be shown so that tab controls lay out their
// pages.
#pragma once

#include "common/qt/dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>

#include <climits>
#include <string>
#include <vector>

namespace dialog_fit {

// Text as shown: "&&" is an ampersand, a single "&" marks the mnemonic.
inline QString shown_text(const QString& text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

inline std::vector<QWidget*> controls_of(QWidget* window)
{
    std::vector<QWidget*> controls;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->property("control_id").isValid())
            controls.push_back(child);
    return controls;
}

inline std::string describe(QWidget* window, QWidget* control, const QString& text)
{
    return window->objectName().toStdString() + " control " + control->property("control_id").toString().toStdString() +
           " \"" + text.toStdString() + "\"";
}

inline std::string size_text(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// The text of one control against its own rectangle.
inline void check_text(QWidget* window, QWidget* control, std::vector<std::string>& problems)
{
    const QFontMetrics metrics(control->font());
    const QRect box = control->rect();
    if (auto* label = qobject_cast<QLabel*>(control)) {
        const QString text = label->text();
        if (text.trimmed().isEmpty())
            return;
        const int flags = Qt::AlignLeft | Qt::AlignTop | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = metrics.boundingRect(QRect(0, 0, box.width(), INT_MAX / 2), flags, text);
        if (needed.width() > box.width() || needed.height() > box.height())
            problems.push_back(describe(window, control, text) + " needs " +
                               size_text(needed.width(), needed.height()) + ", has " +
                               size_text(box.width(), box.height()));
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        const QString title = group->title();
        const int needed = metrics.horizontalAdvance(shown_text(title)) + 2 * metrics.averageCharWidth();
        if (!title.trimmed().isEmpty() && needed > box.width())
            problems.push_back(describe(window, control, title) + " title needs " + std::to_string(needed) +
                               ", has " + std::to_string(box.width()));
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        const QString text = shown_text(button->text());
        if (text.isEmpty())
            return;
        // Check boxes and radio buttons add their mark and its spacing to
        // the text; a push button its frame and margins.
        int needed = 0;
        if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control)) {
            needed = button->sizeHint().width();
        } else {
            const QStyle* style = control->style();
            needed = metrics.horizontalAdvance(text) + style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, control) +
                     2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, control);
        }
        if (needed > box.width() || metrics.height() > box.height())
            problems.push_back(describe(window, control, text) + " needs " +
                               size_text(needed, metrics.height()) + ", has " +
                               size_text(box.width(), box.height()));
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        const QRect field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        for (int i = 0; i < combo->count(); ++i) {
            const QString item = combo->itemText(i);
            if (metrics.horizontalAdvance(item) > field.width() || metrics.height() > field.height())
                problems.push_back(describe(window, control, item) + " needs " +
                                   size_text(metrics.horizontalAdvance(item), metrics.height()) + ", field " +
                                   size_text(field.width(), field.height()));
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        if (metrics.height() > box.height() - 2)
            problems.push_back(describe(window, control, edit->text()) + " is " + std::to_string(box.height()) +
                               " high for a line of " + std::to_string(metrics.height()));
    }
}

// Controls against the area that shows them and against the group boxes
// they overlap.
inline void check_places(QWidget* window, const QRect& area, std::vector<std::string>& problems)
{
    const std::vector<QWidget*> controls = controls_of(window);
    for (QWidget* control : controls) {
        const QRect place = control->geometry();
        if (!area.contains(place))
            problems.push_back(describe(window, control, "") + " at " + size_text(place.right(), place.bottom()) +
                               " lies outside " + size_text(area.width(), area.height()));
        if (!qobject_cast<QGroupBox*>(control))
            continue;
        for (QWidget* other : controls) {
            if (other == control)
                continue;
            const QRect overlap = place.intersected(other->geometry());
            if (!overlap.isEmpty() && !place.contains(other->geometry()) && !other->geometry().contains(place))
                problems.push_back(describe(window, other, "") + " crosses the frame of group \"" +
                                   qobject_cast<QGroupBox*>(control)->title().toStdString() + "\"");
        }
    }
}

// Every problem of a shown dialog and of the pages of its tab controls.
inline std::vector<std::string> problems_of(Dialog& dialog)
{
    std::vector<std::string> problems;
    QDialog* window = dialog.window();
    for (QWidget* control : controls_of(window)) {
        check_text(window, control, problems);
        auto* tab = qobject_cast<QTabWidget*>(control);
        if (!tab)
            continue;
        // A page shows what fits the tab's page area.
        const QRect page_area(QPoint(0, 0), tab->findChild<QStackedWidget*>()->size());
        for (int i = 0; i < tab->count(); ++i) {
            QWidget* page = tab->widget(i);
            for (QWidget* page_control : controls_of(page))
                check_text(page, page_control, problems);
            check_places(page, page_area, problems);
        }
    }
    check_places(window, window->rect(), problems);
    return problems;
}

}  // namespace dialog_fit
