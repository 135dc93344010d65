// The view: shows the plot's view bitmap at the view origin with a dotted
// outline, the segments being drawn and the items being edited, and passes
// the mouse and the keys to the mouse modes.
#pragma once

#include <QWidget>

class PlotView : public QWidget {
public:
    explicit PlotView(QWidget* parent);

    // Shows the cursor of a mode (cursor ids of command_ids.h).
    void set_view_cursor(int cursor_id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
