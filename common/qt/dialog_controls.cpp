// Building the controls of a dialog from its resource table.
#include "common/qt/dialog_internal.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>

void DialogWindow::reject()
{
    // Escape and the close box act as Cancel.
    if (owner_)
        owner_->handle_cancel_request();
}

void DialogWindow::keyPressEvent(QKeyEvent* event)
{
    if (!isWindow()) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

namespace {

// Two small arrow buttons; Qt has no stand-alone up-down control.
class UpDownWidget : public QWidget {
public:
    explicit UpDownWidget(QWidget* parent) : QWidget(parent)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto* up = new QToolButton(this);
        auto* down = new QToolButton(this);
        up->setArrowType(Qt::UpArrow);
        down->setArrowType(Qt::DownArrow);
        up->setObjectName("up");
        down->setObjectName("down");
        for (auto* b : {up, down}) {
            b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            b->setAutoRepeat(true);
            layout->addWidget(b);
        }
        QObject::connect(up, &QToolButton::clicked, this, [this] { if (on_step) on_step(1); });
        QObject::connect(down, &QToolButton::clicked, this, [this] { if (on_step) on_step(-1); });
    }
    std::function<void(int)> on_step;
};

// Dialog base units of a font as the units of the resources are defined: the
// average width of the 52 letters rounded to whole pixels ((width / 26 + 1)
// / 2) and the character height in whole pixels.  Whole pixels keep a page
// in a sans-serif face inside a tab control sized in a fixed-pitch one, as
// the tables were laid out.
struct BaseUnits {
    int cx;
    int cy;
};

BaseUnits base_units_of(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const int width = metrics.horizontalAdvance(letters);
    return {std::max((width / 26 + 1) / 2, 1), std::max(metrics.height(), 1)};
}

QFont dialog_font(const DialogResource& resource)
{
    QFont font = QApplication::font();
    if (resource.font_face) {
        const QString face = QString::fromUtf8(resource.font_face);
        font.setFamily(face);
        // Fixed-pitch faces must stay fixed-pitch where they are missing:
        // the dialogs line up table columns with blanks.
        if (face.contains("Courier", Qt::CaseInsensitive))
            font.setStyleHint(QFont::TypeWriter);
        else
            font.setStyleHint(QFont::SansSerif);
    }
    if (resource.font_points > 0)
        font.setPointSize(resource.font_points);
    return font;
}

QWidget* make_widget(const ControlResource& c, QWidget* parent)
{
    const QString text = QString::fromUtf8(c.text ? c.text : "");
    const bool push_like = (c.flags & CONTROL_PUSH_LIKE) != 0;
    switch (c.kind) {
    case ControlKind::static_text: {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::edit:
    case ControlKind::read_only_edit: {
        auto* edit = new QLineEdit(text, parent);
        edit->setReadOnly(c.kind == ControlKind::read_only_edit);
        return edit;
    }
    case ControlKind::multiline_edit: {
        auto* edit = new QPlainTextEdit(text, parent);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        return edit;
    }
    case ControlKind::button:
    case ControlKind::default_button: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault(c.kind == ControlKind::default_button);
        return button;
    }
    case ControlKind::check_box:
    case ControlKind::radio_button: {
        QAbstractButton* button = nullptr;
        if (push_like)
            button = new QPushButton(text, parent);
        else if (c.kind == ControlKind::check_box)
            button = new QCheckBox(text, parent);
        else
            button = new QRadioButton(text, parent);
        button->setCheckable(true);
        button->setAutoExclusive(false);  // radio groups follow the table's group flags
        button->setChecked((c.flags & CONTROL_CHECKED) != 0);
        if (auto* push = qobject_cast<QPushButton*>(button))
            push->setAutoDefault(false);
        return button;
    }
    case ControlKind::group_box:
        return new QGroupBox(text, parent);
    case ControlKind::list_box: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode((c.flags & CONTROL_MULTI_SELECT) ? QAbstractItemView::MultiSelection
                                                                 : QAbstractItemView::SingleSelection);
        return list;
    }
    case ControlKind::combo_box: {
        auto* combo = new QComboBox(parent);
        combo->setEditable((c.flags & CONTROL_EDITABLE) != 0);
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    case ControlKind::progress_bar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::tab_control:
        return new QTabWidget(parent);
    case ControlKind::etched_line: {
        auto* line = new QFrame(parent);
        line->setFrameShape(c.w >= c.h ? QFrame::HLine : QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        return line;
    }
    case ControlKind::icon: {
        auto* label = new QLabel(parent);
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())
            icon = parent->style()->standardIcon(QStyle::SP_MessageBoxInformation);
        label->setPixmap(icon.pixmap(32, 32));
        return label;
    }
    case ControlKind::up_down:
        return new UpDownWidget(parent);
    }
    return new QWidget(parent);
}

void connect_signals(DialogWindow* window, ControlState& control)
{
    const int id = control.id;
    QWidget* w = control.widget;
    auto fire = [window, id](ControlEvent event) {
        if (Dialog* owner = window->owner())
            owner->handle_user_event(id, event);
    };
    switch (control.kind) {
    case ControlKind::button:
    case ControlKind::default_button:
    case ControlKind::check_box:
    case ControlKind::radio_button:
        QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, w,
                         [fire] { fire(ControlEvent::clicked); });
        break;
    case ControlKind::edit:
        QObject::connect(static_cast<QLineEdit*>(w), &QLineEdit::textEdited, w,
                         [fire] { fire(ControlEvent::text_changed); });
        break;
    case ControlKind::multiline_edit:
        // textChanged also follows code; handle_user_event drops those.
        QObject::connect(static_cast<QPlainTextEdit*>(w), &QPlainTextEdit::textChanged, w,
                         [fire] { fire(ControlEvent::text_changed); });
        break;
    case ControlKind::list_box:
        QObject::connect(static_cast<QListWidget*>(w), &QListWidget::itemSelectionChanged, w,
                         [fire] { fire(ControlEvent::selection_changed); });
        break;
    case ControlKind::combo_box: {
        auto* combo = static_cast<QComboBox*>(w);
        QObject::connect(combo, &QComboBox::activated, w, [fire] { fire(ControlEvent::selection_changed); });
        if (combo->lineEdit())
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, w,
                             [fire] { fire(ControlEvent::text_changed); });
        break;
    }
    case ControlKind::tab_control:
        QObject::connect(static_cast<QTabWidget*>(w), &QTabWidget::currentChanged, w,
                         [fire] { fire(ControlEvent::selection_changed); });
        break;
    case ControlKind::up_down:
        static_cast<UpDownWidget*>(w)->on_step = [window, id](int delta) {
            if (Dialog* owner = window->owner())
                owner->user_step(id, delta);
        };
        break;
    default:
        break;
    }
}

bool is_edit_kind(ControlKind kind)
{
    return kind == ControlKind::edit || kind == ControlKind::read_only_edit;
}

}  // namespace

void create_dialog_controls(DialogState& state, const DialogResource& resource)
{
    DialogWindow* window = state.window;
    const QFont font = dialog_font(resource);
    if (resource.font_face || resource.font_points > 0)
        window->setFont(font);
    const BaseUnits units = base_units_of(font);
    auto px = [&](int x) { return static_cast<int>(std::lround(x * units.cx / 4.0)); };
    auto py = [&](int y) { return static_cast<int>(std::lround(y * units.cy / 8.0)); };

    if (resource.caption)
        window->setWindowTitle(QString::fromUtf8(resource.caption));
    window->setObjectName(QString("dialog_%1").arg(resource.id));
    window->setProperty("dialog_id", resource.id);
    window->resize(px(resource.w), py(resource.h));
    window->setMinimumSize(px(resource.w), py(resource.h));

    QButtonGroup* radio_group = nullptr;
    state.controls.reserve(resource.controls.size());
    for (const ControlResource& c : resource.controls) {
        ControlState control;
        control.id = c.id;
        control.kind = c.kind;
        control.flags = c.flags;
        control.widget = make_widget(c, window);
        QWidget* w = control.widget;
        w->setObjectName(QString("control_%1").arg(c.id));
        w->setProperty("control_id", c.id);
        int height = py(c.h);
        // A combo box's table height includes its drop-down list.
        if (c.kind == ControlKind::combo_box)
            height = std::min(height, w->sizeHint().height());
        w->setGeometry(px(c.x), py(c.y), px(c.w), height);
        w->setEnabled((c.flags & CONTROL_DISABLED) == 0);
        if (c.kind == ControlKind::group_box)
            w->lower();

        if (c.flags & CONTROL_GROUP)
            radio_group = nullptr;
        if (c.kind == ControlKind::radio_button) {
            if (!radio_group) {
                radio_group = new QButtonGroup(window);
                radio_group->setExclusive(true);
            }
            radio_group->addButton(static_cast<QAbstractButton*>(w));
            control.group = radio_group;
        }
        if (c.kind == ControlKind::up_down && !state.controls.empty() &&
            is_edit_kind(state.controls.back().kind))
            control.buddy = static_cast<int>(state.controls.size()) - 1;
        state.controls.push_back(control);
        connect_signals(window, state.controls.back());
    }
}

void update_up_down_buddy(DialogState& state, ControlState& control)
{
    if (control.buddy < 0)
        return;
    ControlState& buddy = state.controls[static_cast<std::size_t>(control.buddy)];
    if (auto* edit = qobject_cast<QLineEdit*>(buddy.widget.data())) {
        CodeChange change(state);
        edit->setText(QString::number(control.position));
    }
}
