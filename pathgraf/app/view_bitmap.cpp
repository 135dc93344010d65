#include "pathgraf/app/view_bitmap.h"

#include "common/fortran_format.h"
#include "common/qt/dialog.h"
#include "common/safe_write.h"
#include "common/user_interface.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf/resources/plot_dialogs.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

// For each of the n target positions the range of source positions it
// covers: [begin, end), at least one.
void source_ranges(int source_size, int n, std::vector<int>& begin, std::vector<int>& end)
{
    begin.resize(static_cast<std::size_t>(n));
    end.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int b = static_cast<int>(static_cast<long long>(i) * source_size / n);
        const int e = static_cast<int>(static_cast<long long>(i + 1) * source_size / n);
        begin[static_cast<std::size_t>(i)] = b;
        end[static_cast<std::size_t>(i)] = std::min(std::max(e, b + 1), source_size);
    }
}

}  // namespace

QImage stretch_plot_image(const QImage& source, int width, int height)
{
    if (source.isNull() || width < 1 || height < 1)
        return QImage();
    const QImage src = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    if (width == src.width() && height == src.height())
        return src.copy();
    QImage target(width, height, QImage::Format_RGB32);
    if (target.isNull())
        return QImage();
    std::vector<int> x_begin, x_end, y_begin, y_end;
    source_ranges(src.width(), width, x_begin, x_end);
    source_ranges(src.height(), height, y_begin, y_end);
    std::vector<quint32> row(static_cast<std::size_t>(src.width()));
    for (int ty = 0; ty < height; ++ty) {
        std::fill(row.begin(), row.end(), 0xFFFFFFFFu);
        for (int sy = y_begin[static_cast<std::size_t>(ty)]; sy < y_end[static_cast<std::size_t>(ty)]; ++sy) {
            const auto* line = reinterpret_cast<const quint32*>(src.constScanLine(sy));
            for (std::size_t sx = 0; sx < row.size(); ++sx)
                row[sx] &= line[sx];
        }
        auto* out = reinterpret_cast<quint32*>(target.scanLine(ty));
        for (int tx = 0; tx < width; ++tx) {
            quint32 value = 0xFFFFFFFFu;
            for (int sx = x_begin[static_cast<std::size_t>(tx)]; sx < x_end[static_cast<std::size_t>(tx)]; ++sx)
                value &= row[static_cast<std::size_t>(sx)];
            out[tx] = value;
        }
    }
    return target;
}

void rebuild_view_bitmap(QImage& bitmap, int width, int height)
{
    bitmap = stretch_plot_image(plot_window_handles().plot_bitmap, width, height);
}

std::string format_integer_left_justified(int value)
{
    std::string text = format_line("(I8)", {value});
    left_adjust_tick_label(text);
    return text;
}

namespace {

// A whole number from a box; false for a blank or unreadable text.
bool read_box_integer(const std::string& text, int& value)
{
    if (text.find_first_not_of(' ') == std::string::npos)
        return false;
    int read = 0;
    if (!read_list(text, {&read}))
        return false;
    value = read;
    return true;
}

}  // namespace

void keep_bmp_aspect_on_edit(Dialog& dialog, int control, ControlEvent)
{
    const ViewState& view = view_state();
    if (view.full_width <= 0 || view.full_height <= 0)
        return;
    int value = 0;
    if (!read_box_integer(dialog.get_text(control), value))
        return;
    if (control == IDC_BMP_WIDTH) {
        const long long h = static_cast<long long>(value) * view.full_height / view.full_width;
        dialog.set_text(IDC_BMP_HEIGHT, format_integer_left_justified(static_cast<int>(std::clamp<long long>(h, INT32_MIN, INT32_MAX))));
    } else if (control == IDC_BMP_HEIGHT) {
        const long long w = static_cast<long long>(value) * view.full_width / view.full_height;
        dialog.set_text(IDC_BMP_WIDTH, format_integer_left_justified(static_cast<int>(std::clamp<long long>(w, INT32_MIN, INT32_MAX))));
    }
}

bool run_bmp_parameters_dialog(int& width, int& height, int /*bits_per_pixel*/, QWidget* owner)
{
    Dialog dialog(bmp_parameters_dialog_resource(), owner);
    const ViewState& view = view_state();
    dialog.set_text(IDC_BMP_WIDTH, format_integer_left_justified(view.full_width));
    dialog.set_text(IDC_BMP_HEIGHT, format_integer_left_justified(view.full_height));
    dialog.set_callback(IDC_BMP_WIDTH, keep_bmp_aspect_on_edit);
    dialog.set_callback(IDC_BMP_HEIGHT, keep_bmp_aspect_on_edit);
    int w = 0, h = 0;
    // A size that does not read, of no pixels or too large to hold is
    // refused and the dialog stays open.
    dialog.set_callback(1, [&](Dialog& d, int, ControlEvent) {
        for (auto [id, value] : {std::pair{IDC_BMP_WIDTH, &w}, std::pair{IDC_BMP_HEIGHT, &h}})
            if (!read_box_integer(d.get_text(id), *value) || *value < 1 || *value > MAX_BMP_SIDE) {
                report_unreadable_box(d, id);
                return;
            }
        d.end(1);
    });
    if (dialog.run_modal() != 1)
        return false;
    width = w;
    height = h;
    return true;
}

bool write_bmp_file(const QImage& bitmap, const std::string& name)
{
    // The whole file is made in memory and then written through a
    // temporary, so a failing disk leaves the old file as it was.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    std::string error;
    if (bitmap.isNull() || !buffer.open(QIODevice::WriteOnly) || !bitmap.save(&buffer, "BMP"))
        error = "Can not write file " + name + ": the bitmap could not be encoded";
    else if (safe_write_file(name, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), error))
        return true;
    ui().message_box(error, "Error!", MessageButtons::ok, MessageIcon::warning);
    return false;
}
