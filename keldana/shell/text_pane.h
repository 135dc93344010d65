// The text pane under the toolbar: paints the report lines of the line store
// and scrolls them with scroll bars and the keyboard.
#pragma once

#include <QAbstractScrollArea>

class TextPane : public QAbstractScrollArea {
public:
    explicit TextPane(QWidget* parent = nullptr);

    void set_pane_font(const QFont& font, const QColor& colour);
    // New lines were appended: follow the end when the writer asked for it,
    // unless the user scrolled away from the end during the job.
    void lines_changed();
    // The store was emptied by a load.
    void lines_reset();
    // The job that wrote has ended: the next command's lines are followed
    // again, wherever the user had scrolled to.
    void job_ended();
    // Scrolls so that the last line sits on the bottom row (End, Ctrl+End).
    void show_end();

    int top_line() const;
    int first_column() const;
    int visible_lines() const;
    // Whether line k (1..) lies wholly inside the pane's rows.
    bool line_visible(int k) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void update_ranges();
    int end_position() const;
    void scroll_self_to(int top);

    QColor colour_;
    int line_height_ = 1;
    int char_width_ = 1;
    int longest_line_ = 0;
    bool self_scrolling_ = false;  // the pane moves its own scroll bars
    bool user_away_ = false;       // the user scrolled up while lines came in
    bool shows_end_ = true;        // the last line was in view after the last move
};
