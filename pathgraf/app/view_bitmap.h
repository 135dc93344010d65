// The full-size plot scaled to any size: the view's bitmap, the preview of
// the PostScript dialog and the bitmap written by Save as, with the
// "BMP Parameters" dialog and the bitmap file writer.
#pragma once

#include <QImage>

#include <string>

class Dialog;
class QWidget;
enum class ControlEvent;

// Largest side of a bitmap written to a file.
inline constexpr int MAX_BMP_SIDE = 10000;

// The image stretched to width by height as a display stretches a dark
// plot on white: where pixels are dropped they are combined with AND, so
// thin dark lines survive any reduction; enlarging repeats pixels.  A null
// image for a null source or a size below 1.
QImage stretch_plot_image(const QImage& source, int width, int height);

// Replaces bitmap by the full-size plot stretched to width by height (a
// null image when there is no plot).
void rebuild_view_bitmap(QImage& bitmap, int width, int height);

// "BMP Parameters": width and height start at the full plot size; true on
// OK with both read as whole numbers from 1 to MAX_BMP_SIDE.
bool run_bmp_parameters_dialog(int& width, int& height, int bits_per_pixel, QWidget* owner = nullptr);
// The change callback of the two edits: keeps the plot's aspect.
void keep_bmp_aspect_on_edit(Dialog& dialog, int control, ControlEvent event);

// The value written with I8 and moved to the left end of the 8 characters.
std::string format_integer_left_justified(int value);

// Writes the bitmap as a ".bmp" file; false, after telling the user, when
// it cannot be written.
bool write_bmp_file(const QImage& bitmap, const std::string& name);
