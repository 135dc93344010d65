#include "keldana/properties/map_file_operations.h"

#include "common/file_units.h"
#include "common/fortran_format.h"
#include "common/safe_write.h"
#include "common/user_interface.h"
#include "keldana/properties/map_files.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <istream>

namespace {

constexpr size_t CUT_OFF_BOX_WIDTH = 10;

bool show_error(const std::string& text)
{
    ui().message_box(text, "Error!", MessageButtons::ok, MessageIcon::error);
    return false;
}

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool same_file(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

struct MapRecord {
    double x = 0, y = 0, p = 0;
};

enum class ReadResult { record, end_of_file, error };

// Reads a source line by line: a record holding more than three values (a
// 3-D map's x, y, z, P) is an error, not a 2-D record with z as the value;
// so is a last record without its line end (its value may be cut short).
class MapSource {
public:
    explicit MapSource(std::istream& input)
        : reader_([&input](std::string& line) {
              if (!std::getline(input, line))
                  return input.eof() ? -1 : 1;
              if (ends_inside_record(input, line))
                  return 1;
              return value_count(line) > 3 ? 1 : 0;
          })
    {
    }

    ReadResult read(MapRecord& record)
    {
        if (reader_.read({&record.x, &record.y, &record.p}))
            return ReadResult::record;
        return reader_.end_of_file() ? ReadResult::end_of_file : ReadResult::error;
    }

private:
    // Values of a list-directed record: fields between blanks or commas, up
    // to a "/" that ends the record.
    static int value_count(const std::string& line)
    {
        int count = 0;
        bool in_field = false;
        for (char c : line) {
            if (c == '/')
                break;
            const bool separator = c == ' ' || c == '\t' || c == ',' || c == '\r';
            if (!separator && !in_field)
                ++count;
            in_field = !separator;
        }
        return count;
    }

    ListReader reader_;
};

}  // namespace

bool run_map_file_operation(const MapFileOperationRequest& request)
{
    const bool two_maps = request.operation != MapFileOperation::cut_off;
    const std::string source_1 = trimmed(request.source_1);
    std::ifstream in_1;
    std::string refusal;
    if (source_1.empty() || !open_input_file(source_1, in_1, refusal, std::ios::in))
        return show_error(refusal.empty() ? "Please, check path for SOURCE FILE #1" : refusal);
    const std::string source_2 = trimmed(request.source_2);
    std::ifstream in_2;
    if (two_maps && (source_2.empty() || !open_input_file(source_2, in_2, refusal, std::ios::in)))
        return show_error(refusal.empty() ? "Please, check path for SOURCE FILE #2" : refusal);
    const std::string target = trimmed(request.target);
    if (target.empty())
        return show_error("Please, check path for TARGET FILE");
    // The result replaces the target only at the end: never when it is a
    // source still to be read.
    if (same_file(target, source_1) || (two_maps && same_file(target, source_2)))
        return show_error("Please, check path for TARGET FILE");
    double cut_off = 0;
    if (!two_maps) {
        // A value longer than the box's field is refused, never cut.
        const std::string box = request.cut_off_text.substr(0, CUT_OFF_BOX_WIDTH);
        const bool fits = request.cut_off_text.find_first_not_of(" \t", CUT_OFF_BOX_WIDTH) == std::string::npos;
        if (!fits || !read_list(box, {&cut_off}) || !std::isfinite(cut_off))
            return show_error("Can not read cutoff value! Please, check it!");
    }
    SafeWrite out(target);
    if (!out.is_open())
        return show_error("Please, check path for TARGET FILE");
    // After an error the target stays as it was (or absent): a part of a
    // result could pass for the whole map.
    auto stop = [&](const std::string& text) {
        out.discard();
        return show_error(text);
    };

    MapSource reader_1(in_1);
    MapSource reader_2(in_2);
    for (;;) {
        MapRecord r1, r2;
        ReadResult status = reader_1.read(r1);
        if (status == ReadResult::error)
            return stop("Can not read data. Please, check SOURCE FILE #1");
        if (status == ReadResult::end_of_file)
            break;
        double result = r1.p;
        if (!two_maps) {
            if (std::abs(r1.p) > cut_off)
                result = r1.p >= 0 ? cut_off : -cut_off;
        } else {
            status = reader_2.read(r2);
            if (status == ReadResult::error)
                return stop("Can not read data. Please, check SOURCE FILE #2");
            if (status == ReadResult::end_of_file)
                break;
            if (r1.x != r2.x || r1.y != r2.y)
                return stop("Maps calculated with different steps");
            result = request.operation == MapFileOperation::addition ? r1.p + r2.p : r1.p - r2.p;
        }
        if (request.invert_sign)
            result = -result;
        out.stream() << grid_map_record_2d(r1.x, r1.y, result) << '\n';
    }
    if (!out.commit()) {
        show_error(out.error());
        return false;
    }
    ui().message_box("The process is completed successfully!", "Map files operation", MessageButtons::ok,
                     MessageIcon::information);
    return true;
}
