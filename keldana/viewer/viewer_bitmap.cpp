#include "keldana/viewer/viewer_bitmap.h"

#include "common/safe_write.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QString>

#include <string_view>

bool save_viewer_bitmap(const QImage& image, int left, int top, int width, int height, const std::string& path)
{
    const QImage part = image.copy(left, top, width, height);
    if (part.isNull() || width <= 0 || height <= 0)
        return false;
    // The screen has no alpha: an opaque image makes a plain RGB bitmap.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!part.convertToFormat(QImage::Format_RGB32).save(&buffer, "BMP"))
        return false;
    std::string error;
    return safe_write_file(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), error);
}

bool is_bitmap_file_name(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string extension = path.substr(dot + 1);
    return extension == "bmp" || extension == "BMP";
}
