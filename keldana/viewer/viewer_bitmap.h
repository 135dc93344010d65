// The viewer's picture as a Windows bitmap file ("*.bmp").
#pragma once

#include <string>

class QImage;

// Writes the rectangle (left, top, width, height) of the image, in image
// pixels from the top left corner, as an uncompressed bitmap.  False when
// the rectangle is empty or the file cannot be written (an old file of that
// name then stays as it was).
bool save_viewer_bitmap(const QImage& image, int left, int top, int width, int height, const std::string& path);

// True when the text after the last "." of the path is "bmp" or "BMP": the
// only names "Save BitMap" writes.
bool is_bitmap_file_name(const std::string& path);
