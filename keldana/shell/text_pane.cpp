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

// The vertical range leaves one spare row below the last line; following the
// end of the report puts its last line on the bottom row.
void TextPane::update_ranges()
{
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
}

void TextPane::lines_changed()
{
    TextPaneState& state = text_pane_state();
    update_ranges();
    if (state.scroll_to_end)
        verticalScrollBar()->setValue(std::max(0, state.line_count - visible_lines()));
    viewport()->update();
}

void TextPane::lines_reset()
{
    longest_line_ = 0;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    update_ranges();
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
        std::string text = read_pane_line(k);
        while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
            text.pop_back();
        if (static_cast<int>(text.size()) > longest_line_) {
            longest_line_ = static_cast<int>(text.size());
            wider = true;
        }
        const int y = (k - top - 1) * line_height_ + metrics.ascent();
        painter.drawText(x, y, QString::fromLatin1(text.data(), static_cast<int>(text.size())));
    }
    if (wider)
        update_ranges();
}

void TextPane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    text_pane_state().scroll_to_end = false;
    update_ranges();
}

void TextPane::scrollContentsBy(int, int)
{
    text_pane_state().scroll_to_end = false;
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
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
}
