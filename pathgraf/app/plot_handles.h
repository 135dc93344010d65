// The windows and bitmaps of the plot program.
#pragma once

#include <QImage>

class PlotMainWindow;
class PlotView;

struct PlotWindowHandles {
    PlotMainWindow* main_window = nullptr;
    PlotView* view_window = nullptr;
    QImage plot_bitmap;  // the full-size plot of the last render
    QImage view_bitmap;  // what the view shows: the plot scaled
};

PlotWindowHandles& plot_window_handles();
