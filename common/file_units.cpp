// The table of numbered file units.
#include "common/file_units.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

enum class Access { sequential, direct, stream };
enum class Form { formatted, unformatted, binary };
enum class LastTransfer { none, read, write };

struct FileUnit {
    std::string name;
    fs::path path;
    Access access = Access::sequential;
    Form form = Form::formatted;
    long long record_length = 0;
    bool scratch = false;
    bool read_only = false;
    std::fstream file;
    long long position = 0;  // byte offset of the next transfer
    long long end = 0;       // size of the file
    bool after_end_of_file = false;
    LastTransfer last = LastTransfer::none;
};

void close_and_remove(FileUnit& u, bool remove_file)
{
    u.file.close();
    if (remove_file) {
        std::error_code ec;
        fs::remove(u.path, ec);
    }
}

struct UnitTable {
    std::map<int, std::unique_ptr<FileUnit>> units;
    // Scratch files go with the program even when nobody closed them.
    ~UnitTable()
    {
        for (auto& [number, u] : units) close_and_remove(*u, u->scratch);
    }
};

UnitTable& table()
{
    static UnitTable instance;
    return instance;
}

IoStatus error_status(std::string message) { return IoStatus{IO_ERROR, std::move(message)}; }
IoStatus end_status() { return IoStatus{IO_END_OF_FILE, "End of file"}; }

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string unit_text(int unit) { return "unit " + std::to_string(unit); }

// The unit, or an error status when it is not open.
FileUnit* find_unit(int unit, IoStatus& status)
{
    auto it = table().units.find(unit);
    if (it == table().units.end()) {
        status = error_status("File " + unit_text(unit) + " is not open");
        return nullptr;
    }
    return it->second.get();
}

// Places the stream at the unit's position for a read or a write; a seek is
// needed when switching between them or after repositioning.
bool seek_for(FileUnit& u, LastTransfer kind)
{
    u.file.clear();
    if (kind == LastTransfer::read) u.file.seekg(u.position);
    else u.file.seekp(u.position);
    u.last = kind;
    return static_cast<bool>(u.file);
}

bool check_kind(FileUnit& u, int unit, bool formatted_wanted, Access access, IoStatus& status)
{
    const bool formatted = u.form == Form::formatted;
    if (formatted != formatted_wanted) {
        status = error_status(std::string(formatted ? "Unformatted" : "Formatted") + " transfer on a "
                              + (formatted ? "formatted" : "unformatted") + " " + unit_text(unit));
        return false;
    }
    const bool direct = u.access == Access::direct;
    if (direct != (access == Access::direct)) {
        status = error_status(std::string(direct ? "Sequential" : "Direct-access") + " transfer on "
                              + (direct ? "direct-access " : "sequential ") + unit_text(unit));
        return false;
    }
    return true;
}

bool check_writable(FileUnit& u, int unit, IoStatus& status)
{
    if (u.read_only) {
        status = error_status("Cannot write to " + unit_text(unit) + ": the file is open for reading only");
        return false;
    }
    return true;
}

// Writes bytes at the unit's position; a sequential write makes that the
// end of the file.
IoStatus put_bytes(FileUnit& u, const char* data, std::size_t size, bool truncate_after)
{
    if (u.last != LastTransfer::write && !seek_for(u, LastTransfer::write))
        return error_status("Cannot position " + u.name);
    u.file.write(data, static_cast<std::streamsize>(size));
    if (!u.file) {
        u.last = LastTransfer::none;  // seek afresh (and clear the stream) next time
        return error_status("Error writing to " + u.name + ": " + std::strerror(errno));
    }
    u.position += static_cast<long long>(size);
    u.after_end_of_file = false;
    if (truncate_after && u.position < u.end) {
        u.file.flush();
        std::error_code ec;
        fs::resize_file(u.path, static_cast<std::uintmax_t>(u.position), ec);
        if (ec) return error_status("Cannot truncate " + u.name + ": " + ec.message());
        u.end = u.position;
    }
    u.end = std::max(u.end, u.position);
    return {};
}

// Reads exactly size bytes at the unit's position.
IoStatus get_bytes(FileUnit& u, char* data, std::size_t size)
{
    if (u.position + static_cast<long long>(size) > u.end) return end_status();
    if (u.last != LastTransfer::read && !seek_for(u, LastTransfer::read))
        return error_status("Cannot position " + u.name);
    u.file.read(data, static_cast<std::streamsize>(size));
    if (u.file.gcount() != static_cast<std::streamsize>(size)) {
        u.last = LastTransfer::none;
        return end_status();
    }
    u.position += static_cast<long long>(size);
    return {};
}

std::uint32_t decode_uint32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
           | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void encode_uint32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

fs::path make_scratch_path()
{
    static std::mt19937_64 generator{std::random_device{}()};
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    if (ec) dir = fs::current_path(ec);
    for (;;) {
        char name[40];
        std::snprintf(name, sizeof name, "kd_scratch_%016llx.tmp", static_cast<unsigned long long>(generator()));
        fs::path candidate = dir / name;
        if (!fs::exists(candidate, ec)) return candidate;
    }
}

// The start of the record before `position` in a text file: just after the
// '\n' that precedes the previous record's own line end.
long long previous_line_start(FileUnit& u)
{
    long long scan = u.position;  // bytes [0, scan) are searched backwards
    bool skip_line_end = true;    // the '\n' that ends the previous record
    char buffer[4096];
    while (scan > 0) {
        const long long chunk = std::min<long long>(scan, static_cast<long long>(sizeof buffer));
        u.file.clear();
        u.file.seekg(scan - chunk);
        u.file.read(buffer, static_cast<std::streamsize>(chunk));
        u.last = LastTransfer::none;
        if (u.file.gcount() != chunk) return 0;
        for (long long i = chunk - 1; i >= 0; --i) {
            if (buffer[i] != '\n') {
                skip_line_end = false;
                continue;
            }
            if (skip_line_end && scan - chunk + i == u.position - 1) {
                skip_line_end = false;
                continue;
            }
            return scan - chunk + i + 1;
        }
        scan -= chunk;
    }
    return 0;
}

IoStatus open_file(FileUnit& u, const std::string& status, bool read_only)
{
    std::error_code ec;
    const bool exists = fs::exists(u.path, ec);
    if (exists && fs::is_directory(u.path, ec)) return error_status("Cannot open file '" + u.name + "': it is a directory");
    if (exists && !fs::is_regular_file(u.path, ec))
        return error_status("Cannot open file '" + u.name + "': it is not a regular file");
    if (read_only) {
        if (!exists) return error_status("Cannot open file '" + u.name + "': No such file or directory");
        if (const std::string refusal = input_file_refusal(u.path.string()); !refusal.empty())
            return error_status(refusal);
        u.file.open(u.path, std::ios::in | std::ios::binary);
        if (!u.file.is_open()) return error_status("Cannot open file '" + u.name + "': " + std::strerror(errno));
        u.read_only = true;
        u.end = static_cast<long long>(fs::file_size(u.path, ec));
        if (ec) u.end = 0;
        return {};
    }
    const std::ios::openmode rw = std::ios::in | std::ios::out | std::ios::binary;
    bool create = false;
    if (status == "old") {
        if (!exists) return error_status("Cannot open file '" + u.name + "': No such file or directory");
    } else if (status == "new") {
        if (exists) return error_status("Cannot open file '" + u.name + "': File exists");
        create = true;
    } else if (status == "replace" || status == "scratch") {
        create = true;
    } else if (status == "unknown") {
        create = !exists;
    } else {
        return error_status("Bad STATUS parameter '" + status + "' in OPEN");
    }
    if (create) {
        u.file.open(u.path, rw | std::ios::trunc);
    } else {
        u.file.open(u.path, rw);
        if (!u.file.is_open()) {
            u.file.clear();
            u.file.open(u.path, std::ios::in | std::ios::binary);
            u.read_only = u.file.is_open();
        }
    }
    if (!u.file.is_open()) return error_status("Cannot open file '" + u.name + "': " + std::strerror(errno));
    u.end = create ? 0 : static_cast<long long>(fs::file_size(u.path, ec));
    if (ec) u.end = 0;
    return {};
}

}  // namespace

IoStatus open_unit(int unit, std::string_view file_name, const UnitOpenOptions& options)
{
    if (unit < 0) return error_status("Bad unit number " + std::to_string(unit) + " in OPEN");
    const std::string status = lower(options.status.empty() ? "unknown" : options.status);
    const std::string access = lower(options.access.empty() ? "sequential" : options.access);
    std::string form = lower(options.form);

    auto u = std::make_unique<FileUnit>();
    if (access == "sequential") u->access = Access::sequential;
    else if (access == "direct") u->access = Access::direct;
    else if (access == "stream") u->access = Access::stream;
    else return error_status("Bad ACCESS parameter '" + options.access + "' in OPEN");
    if (form.empty()) form = u->access == Access::sequential ? "formatted" : "unformatted";
    if (form == "formatted") u->form = Form::formatted;
    else if (form == "unformatted") u->form = Form::unformatted;
    else if (form == "binary") u->form = Form::binary;
    else return error_status("Bad FORM parameter '" + options.form + "' in OPEN");
    if (u->access == Access::direct && options.record_length <= 0)
        return error_status("A positive record length is required for direct access");
    u->record_length = options.record_length;
    const std::string action = lower(options.action.empty() ? "readwrite" : options.action);
    if (action != "read" && action != "readwrite") return error_status("Bad ACTION parameter '" + options.action + "' in OPEN");
    if (action == "read" && (status != "old" && status != "unknown"))
        return error_status("ACTION 'read' needs an existing file in OPEN");
    u->scratch = status == "scratch";

    std::string name(file_name);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
    if (u->scratch) {
        u->path = make_scratch_path();
        name = u->path.string();
    } else {
        if (name.empty()) return error_status("No file name given to open " + unit_text(unit));
        u->path = fs::path(name);
    }
    u->name = name;

    // A file may be connected to one unit only.
    std::error_code ec;
    if (!u->scratch && fs::exists(u->path, ec)) {
        for (auto& [number, other] : table().units) {
            if (number != unit && fs::equivalent(other->path, u->path, ec))
                return error_status("File '" + name + "' is already open on " + unit_text(number));
        }
    }
    close_unit(unit);
    IoStatus opened = open_file(*u, status, action == "read");
    if (!opened.ok()) return opened;
    table().units[unit] = std::move(u);
    return {};
}

IoStatus close_unit(int unit, std::string_view status)
{
    auto it = table().units.find(unit);
    if (it == table().units.end()) return {};
    const std::string s = lower(status);
    if (!s.empty() && s != "keep" && s != "delete") return error_status("Bad STATUS parameter '" + std::string(status) + "' in CLOSE");
    FileUnit& u = *it->second;
    close_and_remove(u, u.scratch || s == "delete");
    table().units.erase(it);
    return {};
}

void close_all_units()
{
    while (!table().units.empty()) close_unit(table().units.begin()->first);
}

bool is_unit_open(int unit) { return table().units.count(unit) != 0; }

std::string unit_file_name(int unit)
{
    auto it = table().units.find(unit);
    return it == table().units.end() ? std::string() : it->second->name;
}

IoStatus write_line(int unit, std::string_view record)
{
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u || !check_kind(*u, unit, true, Access::sequential, status) || !check_writable(*u, unit, status)) return status;
    std::string line(record);
    line += '\n';
    return put_bytes(*u, line.data(), line.size(), u->access == Access::sequential);
}

IoStatus read_line(int unit, std::string& record)
{
    record.clear();
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u || !check_kind(*u, unit, true, Access::sequential, status)) return status;
    if (u->position >= u->end) {
        u->after_end_of_file = true;
        return end_status();
    }
    if (u->last != LastTransfer::read && !seek_for(*u, LastTransfer::read)) return error_status("Cannot position " + u->name);
    std::getline(u->file, record);
    if (u->file.bad()) {
        u->last = LastTransfer::none;
        return error_status("Error reading " + u->name);
    }
    const bool had_line_end = !u->file.eof();
    u->position += static_cast<long long>(record.size()) + (had_line_end ? 1 : 0);
    if (!had_line_end) u->last = LastTransfer::none;  // the stream is at eof: seek afresh next time
    if (!record.empty() && record.back() == '\r') record.pop_back();
    return {};
}

IoStatus write_formatted(int unit, std::string_view format, const std::vector<FortranValue>& values)
{
    std::vector<std::string> records;
    std::string error;
    if (!try_format_records(format, values.data(), values.size(), records, &error)) return error_status(error);
    for (const std::string& r : records) {
        IoStatus s = write_line(unit, r);
        if (!s.ok()) return s;
    }
    return {};
}

IoStatus write_formatted(int unit, std::string_view format, std::initializer_list<FortranValue> values)
{
    return write_formatted(unit, format, std::vector<FortranValue>(values));
}

IoStatus read_formatted(int unit, std::string_view format, const std::vector<FortranTarget>& targets)
{
    std::string first;
    IoStatus status = read_line(unit, first);
    if (!status.ok()) return status;
    int further_status = 0;
    auto next = [unit, &further_status](std::string& line) {
        further_status = read_line(unit, line).code;
        return further_status;
    };
    std::string error;
    if (!read_records(next, first, format, targets.data(), targets.size(), &error))
        return IoStatus{further_status < 0 ? IO_END_OF_FILE : IO_ERROR, error};
    return {};
}

IoStatus read_formatted(int unit, std::string_view format, std::initializer_list<FortranTarget> targets)
{
    return read_formatted(unit, format, std::vector<FortranTarget>(targets));
}

IoStatus read_list_directed(int unit, const std::vector<FortranTarget>& targets)
{
    IoStatus status;
    if (!find_unit(unit, status)) return status;
    ListReader reader([unit](std::string& line) { return read_line(unit, line).code; });
    if (reader.read(targets.data(), targets.size())) return {};
    return IoStatus{reader.end_of_file() ? IO_END_OF_FILE : IO_ERROR, reader.error()};
}

IoStatus read_list_directed(int unit, std::initializer_list<FortranTarget> targets)
{
    return read_list_directed(unit, std::vector<FortranTarget>(targets));
}

IoStatus rewind_unit(int unit)
{
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u) return status;
    if (u->access == Access::direct) return error_status("Cannot rewind direct-access " + unit_text(unit));
    u->position = 0;
    u->after_end_of_file = false;
    u->last = LastTransfer::none;
    return {};
}

IoStatus backspace_unit(int unit)
{
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u) return status;
    if (u->access != Access::sequential || u->form == Form::binary)
        return error_status("Cannot backspace " + unit_text(unit) + ": not a sequential file of records");
    if (u->after_end_of_file) {
        u->after_end_of_file = false;
        return {};
    }
    if (u->position == 0) return {};
    u->file.flush();
    if (u->form == Form::formatted) {
        u->position = previous_line_start(*u);
    } else {
        // The length marker that ends the previous record tells where it starts.
        const long long here = u->position;
        unsigned char marker[4];
        u->position = here - 4;
        u->last = LastTransfer::none;
        const bool read_ok = here >= 8 && get_bytes(*u, reinterpret_cast<char*>(marker), 4).ok();
        const long long length = read_ok ? static_cast<long long>(decode_uint32(marker)) : 0;
        if (!read_ok || length + 8 > here) {
            u->position = here;
            u->last = LastTransfer::none;
            return error_status("Damaged record before the position of " + unit_text(unit));
        }
        u->position = here - length - 8;
    }
    u->last = LastTransfer::none;
    return {};
}

IoStatus write_direct(int unit, long long record_number, std::string_view data)
{
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u || !check_kind(*u, unit, u->form == Form::formatted, Access::direct, status) || !check_writable(*u, unit, status))
        return status;
    if (record_number < 1) return error_status("Bad record number " + std::to_string(record_number) + " on " + unit_text(unit));
    if (static_cast<long long>(data.size()) > u->record_length)
        return error_status("End of record: " + std::to_string(data.size()) + " characters for records of "
                            + std::to_string(u->record_length) + " on " + unit_text(unit));
    std::string record(data);
    record.resize(static_cast<std::size_t>(u->record_length), u->form == Form::formatted ? ' ' : '\0');
    u->position = (record_number - 1) * u->record_length;
    u->last = LastTransfer::none;
    return put_bytes(*u, record.data(), record.size(), false);
}

IoStatus read_direct(int unit, long long record_number, std::string& data)
{
    data.clear();
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u || !check_kind(*u, unit, u->form == Form::formatted, Access::direct, status)) return status;
    if (record_number < 1) return error_status("Bad record number " + std::to_string(record_number) + " on " + unit_text(unit));
    u->position = (record_number - 1) * u->record_length;
    u->last = LastTransfer::none;
    std::string record(static_cast<std::size_t>(u->record_length), ' ');
    IoStatus s = get_bytes(*u, record.data(), record.size());
    if (s.end_of_file())
        return error_status("Non-existing record number " + std::to_string(record_number) + " on " + unit_text(unit));
    if (!s.ok()) return s;
    data = std::move(record);
    return {};
}

IoStatus write_unformatted(int unit, const std::vector<unsigned char>& record)
{
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u || !check_kind(*u, unit, false, Access::sequential, status) || !check_writable(*u, unit, status)) return status;
    if (u->form == Form::binary || u->access == Access::stream)
        return error_status("Records with length markers need an unformatted sequential " + unit_text(unit));
    if (record.size() > 0x7fffffffu) return error_status("Record too long for " + unit_text(unit));
    std::vector<char> bytes(record.size() + 8);
    encode_uint32(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<std::uint32_t>(record.size()));
    if (!record.empty()) std::memcpy(bytes.data() + 4, record.data(), record.size());
    encode_uint32(reinterpret_cast<unsigned char*>(bytes.data()) + 4 + record.size(), static_cast<std::uint32_t>(record.size()));
    return put_bytes(*u, bytes.data(), bytes.size(), true);
}

IoStatus read_unformatted(int unit, std::vector<unsigned char>& record)
{
    record.clear();
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u || !check_kind(*u, unit, false, Access::sequential, status)) return status;
    if (u->form == Form::binary || u->access == Access::stream)
        return error_status("Records with length markers need an unformatted sequential " + unit_text(unit));
    if (u->position >= u->end) {
        u->after_end_of_file = true;
        return end_status();
    }
    const long long start = u->position;
    auto damaged = [&] {
        u->position = start;
        u->last = LastTransfer::none;
        return error_status("Damaged or short unformatted record in " + u->name);
    };
    unsigned char marker[4];
    if (!get_bytes(*u, reinterpret_cast<char*>(marker), 4).ok()) return damaged();
    const std::uint32_t length = decode_uint32(marker);
    if (length > 0x7fffffffu || start + 8 + static_cast<long long>(length) > u->end) return damaged();
    record.resize(length);
    if (length && !get_bytes(*u, reinterpret_cast<char*>(record.data()), length).ok()) return damaged();
    if (!get_bytes(*u, reinterpret_cast<char*>(marker), 4).ok() || decode_uint32(marker) != length) {
        record.clear();
        return damaged();
    }
    return {};
}

IoStatus write_bytes(int unit, const void* data, std::size_t size)
{
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u || !check_writable(*u, unit, status)) return status;
    if (u->access == Access::direct || (u->form != Form::binary && u->access != Access::stream))
        return error_status("Byte transfer needs a stream or binary " + unit_text(unit));
    return put_bytes(*u, static_cast<const char*>(data), size, false);
}

IoStatus read_bytes(int unit, void* data, std::size_t size)
{
    IoStatus status;
    FileUnit* u = find_unit(unit, status);
    if (!u) return status;
    if (u->access == Access::direct || (u->form != Form::binary && u->access != Access::stream))
        return error_status("Byte transfer needs a stream or binary " + unit_text(unit));
    return get_bytes(*u, static_cast<char*>(data), size);
}

void append_int32(std::vector<unsigned char>& record, std::int32_t value)
{
    unsigned char bytes[4];
    encode_uint32(bytes, static_cast<std::uint32_t>(value));
    record.insert(record.end(), bytes, bytes + 4);
}

void append_real32(std::vector<unsigned char>& record, float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    unsigned char bytes[4];
    encode_uint32(bytes, bits);
    record.insert(record.end(), bytes, bytes + 4);
}

void append_real64(std::vector<unsigned char>& record, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, 8);
    for (int i = 0; i < 8; ++i) record.push_back(static_cast<unsigned char>(bits >> (8 * i)));
}

void append_text(std::vector<unsigned char>& record, std::string_view text) { record.insert(record.end(), text.begin(), text.end()); }

bool RecordDecoder::int32(std::int32_t& value)
{
    if (remaining() < 4) return false;
    value = static_cast<std::int32_t>(decode_uint32(record_.data() + offset_));
    offset_ += 4;
    return true;
}

bool RecordDecoder::real32(float& value)
{
    if (remaining() < 4) return false;
    const std::uint32_t bits = decode_uint32(record_.data() + offset_);
    std::memcpy(&value, &bits, 4);
    offset_ += 4;
    return true;
}

bool RecordDecoder::real64(double& value)
{
    if (remaining() < 8) return false;
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | record_[offset_ + static_cast<std::size_t>(i)];
    std::memcpy(&value, &bits, 8);
    offset_ += 8;
    return true;
}

bool RecordDecoder::text(std::string& value, std::size_t length)
{
    if (remaining() < length) return false;
    value.assign(reinterpret_cast<const char*>(record_.data()) + offset_, length);
    offset_ += length;
    return true;
}

bool RecordDecoder::skip(std::size_t bytes)
{
    if (remaining() < bytes) return false;
    offset_ += bytes;
    return true;
}

std::string input_file_refusal(const std::string& path, std::uintmax_t max_bytes)
{
    std::error_code status;
    const fs::file_status file = fs::status(path, status);
    if (status || !fs::exists(file))
        return "";
    if (!fs::is_regular_file(file))
        return "The file " + path + " is not a regular file: it is not read.";
    const std::uintmax_t size = fs::file_size(path, status);
    if (status)
        return "";
    if (size > max_bytes)
        return "The file " + path + " is larger than " + std::to_string(max_bytes / (1024 * 1024))
               + " MB: it is not read.";
    return "";
}

bool open_input_file(const std::string& path, std::ifstream& input, std::string& refusal, std::ios::openmode mode)
{
    refusal = input_file_refusal(path);
    if (!refusal.empty() || path.empty())
        return false;
    input.open(path, mode);
    return input.is_open();
}

bool ends_inside_record(const std::istream& input, std::string_view line)
{
    return input.eof() && line.find_first_not_of(" \t\r") != std::string_view::npos;
}
