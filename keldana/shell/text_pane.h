// The text pane under the toolbar: paints the report lines straight from the
// line store and scrolls them with scroll bars and the keyboard.
#pragma once

#include <QAbstractScrollArea>

class TextPane : public QAbstractScrollArea {
public:
    explicit TextPane(QWidget* parent = nullptr);

    void set_pane_font(const QFont& font, const QColor& colour);
    // New lines were appended: follow the end when the writer asked for it.
    void lines_changed();
    // The store was emptied by a load.
    void lines_reset();

    int top_line() const;
    int first_column() const;
    int visible_lines() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void update_ranges();

    QColor colour_;
    int line_height_ = 1;
    int char_width_ = 1;
    int longest_line_ = 0;
};
