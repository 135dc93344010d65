#include "keldana/shell/text_pane.h"

#include "keldana/model/report_output.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

TextPane::TextPane(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName("text_pane");
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    set_pane_font(QFontDatabase::systemFont(QFontDatabase::FixedFont), QColor(Qt::black));
}

void TextPane::set_pane_font(const QFont& font, const QColor& colour)
{
    setFont(font);
    viewport()->setFont(font);
    colour_ = colour;
    QFontMetrics metrics(font);
    line_height_ = std::max(1, metrics.height() + metrics.leading());
    char_width_ = std::max(1, metrics.averageCharWidth());
    update_ranges();
    viewport()->update();
}

int TextPane::visible_lines() const { return std::max(1, viewport()->height() / line_height_); }
int TextPane::top_line() const { return verticalScrollBar()->value(); }
int TextPane::first_column() const { return horizontalScrollBar()->value(); }

bool TextPane::line_visible(int k) const
{
    const int row = k - top_line() - 1;
    return k >= 1 && k <= text_pane_state().line_count && row >= 0 && (row + 1) * line_height_ <= viewport()->height();
}

// The top line that puts the last line on the bottom row.
int TextPane::end_position() const { return std::max(0, text_pane_state().line_count - visible_lines()); }

// Scroll bar changes the pane makes itself: range updates clamp the position
// and following the end sets it; neither is the user scrolling.
void TextPane::scroll_self_to(int top)
{
    const bool was = self_scrolling_;
    self_scrolling_ = true;
    verticalScrollBar()->setValue(top);
    self_scrolling_ = was;
    shows_end_ = top_line() >= end_position();
}

// The vertical range leaves one spare row below the last line; following the
// end of the report puts its last line on the bottom row.
void TextPane::update_ranges()
{
    const bool was = self_scrolling_;
    self_scrolling_ = true;
    const int lines = text_pane_state().line_count;
    const int visible = visible_lines();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setPageStep(std::max(1, visible - 2));
    vertical->setSingleStep(1);
    vertical->setRange(0, std::max(0, lines + 1 - visible));

    const int columns = std::max(1, viewport()->width() / char_width_);
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setPageStep(10);
    horizontal->setSingleStep(1);
    horizontal->setRange(0, std::max(0, longest_line_ - columns + 2));
    self_scrolling_ = was;
}

void TextPane::lines_changed()
{
    update_ranges();
    if (text_pane_state().scroll_to_end && !user_away_)
        scroll_self_to(end_position());
    else
        shows_end_ = top_line() >= end_position();
    viewport()->update();
}

void TextPane::lines_reset()
{
    longest_line_ = 0;
    const bool was = self_scrolling_;
    self_scrolling_ = true;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    self_scrolling_ = was;
    shows_end_ = true;
    update_ranges();
    viewport()->update();
}

void TextPane::job_ended() { user_away_ = false; }

void TextPane::show_end()
{
    user_away_ = false;
    text_pane_state().scroll_to_end = true;
    update_ranges();
    scroll_self_to(end_position());
    viewport()->update();
}

void TextPane::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(colour_);
    const int lines = text_pane_state().line_count;
    if (lines <= 0)
        return;
    const int top = top_line();
    const int last = std::min(lines, top + visible_lines() + 1);
    const QFontMetrics metrics(font());
    const int x = (1 - first_column()) * char_width_;
    bool wider = false;
    for (int k = top + 1; k <= last; ++k) {
        const std::string& record = pane_line(k);
        int length = static_cast<int>(record.size());
        while (length > 0 && static_cast<unsigned char>(record[static_cast<size_t>(length - 1)]) <= 32)
            --length;
        if (length > longest_line_) {
            longest_line_ = length;
            wider = true;
        }
        const int y = (k - top - 1) * line_height_ + metrics.ascent();
        painter.drawText(x, y, QString::fromLatin1(record.data(), length));
    }
    if (wider)
        update_ranges();
}

// A new size keeps the end in view when the pane was following it.
void TextPane::resizeEvent(QResizeEvent* event)
{
    const bool at_end = shows_end_;
    QAbstractScrollArea::resizeEvent(event);
    update_ranges();
    if (at_end)
        scroll_self_to(end_position());
    else
        shows_end_ = top_line() >= end_position();
}

void TextPane::scrollContentsBy(int, int)
{
    if (!self_scrolling_) {
        // The user moved: back at the end the pane follows again.
        const bool at_end = top_line() >= end_position();
        user_away_ = !at_end;
        shows_end_ = at_end;
        text_pane_state().scroll_to_end = at_end;
    }
    viewport()->update();
}

void TextPane::keyPressEvent(QKeyEvent* event)
{
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageUp: vertical->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: vertical->setValue(vertical->value() + visible_lines()); break;
    case Qt::Key_Up: vertical->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Left: horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_End: show_end(); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
}
