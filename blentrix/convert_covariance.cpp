#include "blentrix/convert_covariance.h"

#include "common/file_units.h"
#include "common/fortran_format.h"
#include "common/safe_write.h"

#include <cmath>

#include <cstdint>

namespace {

constexpr int INPUT_UNIT = 1;
constexpr int HEADER_ITEM_COUNT = 10;

// Kind codes of a second-group parameter by its place in the group; every
// later one is 17.
constexpr int SECOND_GROUP_KINDS[] = {12, 13, 16, 14, 15};
constexpr int LATER_SECOND_GROUP_KIND = 17;
constexpr int ATOM_KINDS[] = {11, 12};

// One record, failing for a missing or damaged one.
bool next_record(int record_number, std::vector<unsigned char>& record, std::string& error)
{
    const IoStatus status = read_unformatted(INPUT_UNIT, record);
    if (status.ok())
        return true;
    // The unit's own message names the file, which the caller names already.
    error = "record " + std::to_string(record_number) + ": " +
            (status.end_of_file() ? "the file ends before it" : "the record is damaged or shorter than its markers say");
    return false;
}

bool short_record(int record_number, std::string& error)
{
    error = "record " + std::to_string(record_number) + " is shorter than its contents";
    return false;
}

bool skip_record(int record_number, std::size_t bytes, std::string& error)
{
    std::vector<unsigned char> record;
    if (!next_record(record_number, record, error))
        return false;
    return record.size() >= bytes || short_record(record_number, error);
}

bool check_count(const char* what, int value, int capacity, std::string& error)
{
    if (value >= 0 && value <= capacity)
        return true;
    error = std::string("the ") + what + " (" + std::to_string(value) + ") must lie between 0 and " +
            std::to_string(capacity);
    return false;
}

// The reader of covar.dat takes the values in free form: a value must keep a
// blank before it (and be a number), or it runs into its neighbour.
bool keeps_leading_blank(std::string_view format, double value)
{
    const std::string field = format_line(format, {value});
    return !field.empty() && field.front() == ' ' && field.find_first_not_of(" -.0123456789") == std::string::npos;
}

std::size_t triangle_size(int n) { return static_cast<std::size_t>(n) * static_cast<std::size_t>(n + 1) / 2; }

bool read_records(ConverterInputFile& input, std::string& error)
{
    std::vector<unsigned char> record;

    if (!next_record(1, record, error))
        return false;
    {
        RecordDecoder decoder(record);
        float r = 0;
        if (!decoder.skip(4) || !decoder.real32(r) || !decoder.real32(r) || !decoder.real32(r)
            || !decoder.real32(r) || !decoder.real32(input.scale) || !decoder.skip(4 + 4 + 9))
            return short_record(1, error);
    }

    if (!next_record(2, record, error))
        return false;
    std::int32_t item[HEADER_ITEM_COUNT + 1] = {};
    {
        RecordDecoder decoder(record);
        for (int i = 1; i <= HEADER_ITEM_COUNT; ++i)
            if (!decoder.int32(item[i]))
                return short_record(2, error);
    }
    input.atom_count = item[2];
    input.parameter_count = item[3];
    input.refined_count = item[4];
    input.first_group_count = item[5];
    input.second_group_count = item[6];
    const bool has_record_4 = item[9] > 0;

    if (!check_count("number of atoms", input.atom_count, MAX_CONVERTER_ATOMS, error)
        || !check_count("number of parameters", input.parameter_count, MAX_CONVERTER_PARAMETERS, error)
        || !check_count("number of refined parameters", input.refined_count, MAX_REFINED_PARAMETERS, error)
        || !check_count("first group's count", input.first_group_count, MAX_CONVERTER_PARAMETERS, error)
        || !check_count("second group's count", input.second_group_count, MAX_CONVERTER_PARAMETERS, error))
        return false;
    const long long table_entries =
        LEADING_PARAMETERS + static_cast<long long>(input.atom_count) *
                                 (2 + input.first_group_count + input.second_group_count);
    if (table_entries > MAX_CONVERTER_PARAMETERS) {
        error = "the atoms' parameters (" + std::to_string(table_entries) + ") do not fit the parameter table of " +
                std::to_string(MAX_CONVERTER_PARAMETERS);
        return false;
    }

    const std::size_t na = static_cast<std::size_t>(input.atom_count);
    const std::size_t l = static_cast<std::size_t>(input.parameter_count);
    if (!skip_record(3, 4 * na, error))
        return false;
    int record_number = 4;
    if (has_record_4 && !skip_record(record_number++, na, error))
        return false;
    if (!skip_record(record_number++, 4 * l, error))
        return false;

    const int positions_record = record_number++;
    if (!next_record(positions_record, record, error))
        return false;
    input.refined_position.assign(l + 1, 0);
    {
        RecordDecoder decoder(record);
        for (std::size_t k = 1; k <= l; ++k) {
            std::int32_t position = 0;
            if (!decoder.int32(position))
                return short_record(positions_record, error);
            if (position < 0 || position > input.refined_count) {
                error = "record " + std::to_string(positions_record) + ": parameter " + std::to_string(k) +
                        " has the refined position " + std::to_string(position) + ", outside 0.." +
                        std::to_string(input.refined_count);
                return false;
            }
            input.refined_position[k] = position;
        }
    }

    const int triangle_record = record_number++;
    if (!next_record(triangle_record, record, error))
        return false;
    input.covariance.assign(triangle_size(input.refined_count), 0.0f);
    {
        RecordDecoder decoder(record);
        for (float& value : input.covariance)
            if (!decoder.real32(value))
                return short_record(triangle_record, error);
    }

    if (!skip_record(record_number, 4 * na, error))
        return false;
    ++record_number;
    return skip_record(record_number, 4 * na, error);
}

}  // namespace

bool read_converter_input(const std::string& path, ConverterInputFile& input, std::string& error)
{
    input = ConverterInputFile{};
    if (const std::string refusal = input_file_refusal(path); !refusal.empty()) {
        error = refusal;
        return false;
    }
    UnitOpenOptions options;
    options.status = "old";
    options.access = "sequential";
    options.form = "unformatted";
    options.action = "read";
    const IoStatus opened = open_unit(INPUT_UNIT, path, options);
    if (!opened.ok()) {
        error = opened.message;  // names the file
        return false;
    }
    const bool ok = read_records(input, error);
    close_unit(INPUT_UNIT);
    if (!ok)
        error = path + ", " + error;
    return ok;
}

ParameterCodes build_parameter_codes(const ConverterInputFile& input)
{
    ParameterCodes codes;
    int p = LEADING_PARAMETERS;  // the leading ones stay kind 0, atom 0
    for (int a = 1; a <= input.atom_count; ++a)
        for (int kind : ATOM_KINDS) {
            ++p;
            codes.kind[p] = kind;
            codes.atom[p] = a;
        }
    for (int a = 1; a <= input.atom_count; ++a) {
        for (int j = 1; j <= input.first_group_count; ++j) {
            ++p;
            codes.kind[p] = j;
            codes.atom[p] = a;
        }
        for (int j = 0; j < input.second_group_count; ++j) {
            ++p;
            codes.kind[p] = j < static_cast<int>(std::size(SECOND_GROUP_KINDS)) ? SECOND_GROUP_KINDS[j]
                                                                              : LATER_SECOND_GROUP_KIND;
            codes.atom[p] = a;
        }
    }
    // Positions beyond the table up to L keep kind 0, atom 0.

    for (int k = 1; k <= input.parameter_count; ++k) {
        const int position = input.refined_position[k];
        if (position != 0) {
            codes.kind[position] = codes.kind[k];
            codes.atom[position] = codes.atom[k];
        }
    }
    return codes;
}

std::vector<std::string> format_covariance_records(const ConverterInputFile& input, const ParameterCodes& codes)
{
    const int n = input.refined_count;
    std::vector<std::string> records = format_records("(I5,F9.3)", {n, input.scale});
    auto append = [&records](std::string_view format, const std::vector<FortranValue>& values) {
        std::vector<std::string> written = format_records(format, values);
        if (written.empty())
            written.emplace_back();  // a WRITE of nothing still makes one empty record
        records.insert(records.end(), written.begin(), written.end());
    };
    std::size_t next = 0;
    for (int i = 1; i <= n; ++i) {
        std::vector<FortranValue> row;
        for (int j = i; j <= n; ++j)
            row.emplace_back(input.covariance[next++]);
        append("(15F11.7)", row);
    }
    std::vector<FortranValue> atoms, kinds;
    for (int i = 1; i <= n; ++i) {
        atoms.emplace_back(codes.atom[i]);
        kinds.emplace_back(codes.kind[i]);
    }
    append("(25I4)", atoms);
    append("(25I4)", kinds);
    return records;
}

bool write_records_safely(const std::string& path, const std::vector<std::string>& records, std::string& error)
{
    std::string contents;
    for (const std::string& record : records)
        contents.append(record).push_back('\n');
    return safe_write_file(path, contents, error);
}

bool check_covariance_values(const ConverterInputFile& input, std::string& error)
{
    if (!std::isfinite(input.scale) || !keeps_leading_blank("(F9.3)", input.scale)) {
        error = "the scale " + std::to_string(input.scale) + " does not fit its field (F9.3) of covar.dat";
        return false;
    }
    const int n = input.refined_count;
    std::size_t next = 0;
    for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j) {
            const float value = input.covariance[next++];
            if (!std::isfinite(value) || !keeps_leading_blank("(F11.7)", value)) {
                error = "the covariance (" + std::to_string(i) + "," + std::to_string(j) + ") = "
                        + std::to_string(value) + " does not fit its field (F11.7) of covar.dat";
                return false;
            }
        }
    return true;
}

bool convert_covariance_matrix(const std::string& input_path, std::string& error)
{
    ConverterInputFile input;
    if (!read_converter_input(input_path, input, error))
        return false;
    if (!check_covariance_values(input, error)) {
        error = input_path + ", " + error;
        return false;
    }
    const ParameterCodes codes = build_parameter_codes(input);
    return write_records_safely(COVARIANCE_OUTPUT_NAME, format_covariance_records(input, codes), error);
}
