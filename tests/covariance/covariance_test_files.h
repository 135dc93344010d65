// Files for the covariance tests: a scratch folder, whole-file reads and
// writes, and MOLLY covariance files taken apart into records and put back
// together with gfortran's 4-byte record markers.
#pragma once

#include "common/file_units.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace covariance_test {

namespace fs = std::filesystem;

using Record = std::vector<unsigned char>;

inline const fs::path FIXTURES = fs::path(KD_TEST_DATA_DIR) / "fixtures" / "covariance";
inline const std::string BLENTRIX = std::string(KD_RUNTIME_DIR) + "/blentrix";

inline fs::path make_scratch_folder(const char* name)
{
    std::string pattern = (fs::temp_directory_path() / (std::string(name) + "_XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

inline std::string file_bytes(const fs::path& path)
{
    std::ifstream input(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
}

inline void put_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream output(path, std::ios::binary | std::ios::trunc);
    output << bytes;
}

inline std::uint32_t marker_at(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int b = 3; b >= 0; --b)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + b]);
    return value;
}

// The records of an unformatted sequential file and the byte offset where
// each starts (its leading marker).
struct SplitFile {
    std::vector<Record> records;
    std::vector<std::size_t> offsets;
};

inline SplitFile split_records(const std::string& bytes)
{
    SplitFile split;
    std::size_t at = 0;
    while (at + 4 <= bytes.size()) {
        const std::uint32_t length = marker_at(bytes, at);
        split.offsets.push_back(at);
        split.records.emplace_back(bytes.begin() + at + 4, bytes.begin() + at + 4 + length);
        at += 8 + length;
    }
    return split;
}

inline void append_marker(std::string& bytes, std::uint32_t value)
{
    for (int b = 0; b < 4; ++b)
        bytes.push_back(static_cast<char>((value >> (8 * b)) & 0xff));
}

inline std::string join_records(const std::vector<Record>& records)
{
    std::string bytes;
    for (const Record& record : records) {
        append_marker(bytes, static_cast<std::uint32_t>(record.size()));
        bytes.append(record.begin(), record.end());
        append_marker(bytes, static_cast<std::uint32_t>(record.size()));
    }
    return bytes;
}

inline void put_int32(Record& record, std::size_t item, std::int32_t value)
{
    for (int b = 0; b < 4; ++b)
        record[4 * item + b] = static_cast<unsigned char>((static_cast<std::uint32_t>(value) >> (8 * b)) & 0xff);
}

// A MOLLY file of n refined parameters, no atoms, parameter k refined at k,
// every covariance 0.25 and the scale 1.0.
inline std::string molly_file_without_atoms(int n)
{
    std::vector<Record> records(8);
    append_int32(records[0], 1);
    for (float r : {0.0f, 0.0f, 0.0f, 0.0f, 1.0f})
        append_real32(records[0], r);
    append_int32(records[0], 0);
    append_int32(records[0], 0);
    append_text(records[0], "NO ATOMS ");
    for (int item : {1, 0, n, n, 0, 0, 0, 0, 0, 0})
        append_int32(records[1], item);
    for (int k = 1; k <= n; ++k) {
        append_real32(records[3], 0.5f);
        append_int32(records[4], k);
    }
    for (long long v = 0; v < static_cast<long long>(n) * (n + 1) / 2; ++v)
        append_real32(records[5], 0.25f);
    return join_records(records);
}

}  // namespace covariance_test
