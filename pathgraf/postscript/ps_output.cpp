#include "pathgraf/postscript/ps_output.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

#include "common/fortran_format.h"
#include "common/safe_write.h"
#include "pathgraf/postscript/ps_compose.h"

PsOutputState& ps_output_state()
{
    static PsOutputState state;
    return state;
}

PsCommandBuffer& ps_command_buffer()
{
    static PsCommandBuffer buffer;
    return buffer;
}

PsGraphicsState& ps_graphics_state()
{
    static PsGraphicsState state;
    return state;
}

void write_ps_command_line()
{
    PsOutputState& out_state = ps_output_state();
    const std::string& buffer = ps_command_buffer().line;
    const int n = find_last_nonblank(buffer);
    std::string out;
    out.reserve(static_cast<std::size_t>(n));
    int depth = 0;  // nesting of PostScript strings
    char prev = '\0';
    bool have_prev = false;
    bool prev_blank = false;
    for (int k = 0; k < n; ++k) {
        const char c = buffer[static_cast<std::size_t>(k)];
        if (depth == 0 && prev_blank && c == ' ') continue;
        const unsigned code = static_cast<unsigned char>(c);
        if (code >= 32 && code <= 127) out += c;
        prev_blank = c == ' ';
        const bool escaped = have_prev && prev == '\\';
        if (c == '(' && !escaped) ++depth;
        if (c == ')' && !escaped) --depth;
        prev = c;
        have_prev = true;
    }
    if (!out_state.file_open || !out_state.file) return;
    // A failing write is reported when the plot ends (the old file then stays).
    out_state.file->stream() << out << '\n';
}

int find_last_nonblank(std::string_view text, int n)
{
    const int limit = std::min(n, static_cast<int>(text.size()));
    for (int k = limit; k >= 1; --k)
        if (text[static_cast<std::size_t>(k - 1)] != ' ') return k;
    return 0;
}

int find_last_nonblank(std::string_view text)
{
    return find_last_nonblank(text, static_cast<int>(text.size()));
}

void squeeze_blanks(std::string_view src, int n, std::string& dst, int& count)
{
    const std::size_t length = static_cast<std::size_t>(std::max(n, 0));
    std::string result;
    result.reserve(length);
    for (std::size_t k = 0; k < length && k < src.size(); ++k)
        if (src[k] != ' ') result += src[k];
    count = static_cast<int>(result.size());
    result.resize(length, ' ');
    dst = std::move(result);
}

void set_ps_file_name(std::string_view name)
{
    PsOutputState& state = ps_output_state();
    const int whole = find_last_nonblank(name);
    state.file_path = std::string(name.substr(0, static_cast<std::size_t>(whole)));
    std::string padded = state.file_path.substr(0, static_cast<std::size_t>(PS_FILE_NAME_LENGTH));
    padded.resize(PS_FILE_NAME_LENGTH, ' ');
    state.file_name = padded;
    state.name_flag = 999;
}

namespace {

std::function<PsClockTime()>& installed_clock()
{
    static std::function<PsClockTime()> clock;
    return clock;
}

PsClockTime read_system_clock()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    PsClockTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.millisecond = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return t;
}

}  // namespace

void set_ps_clock(std::function<PsClockTime()> clock) { installed_clock() = std::move(clock); }

PsClockTime read_ps_clock()
{
    if (installed_clock()) return installed_clock()();
    return read_system_clock();
}

std::string ps_character_code(std::int32_t code)
{
    std::string word(4, ' ');
    const auto value = static_cast<std::uint32_t>(code);
    for (int k = 0; k < 4; ++k) word[static_cast<std::size_t>(k)] = static_cast<char>((value >> (8 * k)) & 0xFFu);
    return word;
}

// ---- Composing ----

std::string ps_f(double value, int width, int decimals)
{
    return format_line("(F" + std::to_string(width) + "." + std::to_string(decimals) + ")", {value});
}

std::string ps_i(long long value, int width)
{
    return format_line("(I" + std::to_string(width) + ")", {value});
}

std::string ps_e(double value, int width, int decimals)
{
    return format_line("(E" + std::to_string(width) + "." + std::to_string(decimals) + ")", {value});
}

std::string ps_squeezed_i(long long value, int width)
{
    std::string text = ps_i(value, width);
    int count = 0;
    squeeze_blanks(text, static_cast<int>(text.size()), text, count);
    return text.substr(0, static_cast<std::size_t>(count));
}

void ps_begin_line() { ps_command_buffer().line.clear(); }

void ps_put(std::string_view piece) { ps_command_buffer().line += piece; }

void ps_join(std::string_view piece)
{
    std::string& line = ps_command_buffer().line;
    line.resize(static_cast<std::size_t>(find_last_nonblank(line)));
    line += ' ';
    line += piece.substr(0, static_cast<std::size_t>(find_last_nonblank(piece)));
}

void ps_end_line() { write_ps_command_line(); }

void ps_line(std::string_view text)
{
    ps_begin_line();
    ps_put(text);
    ps_end_line();
}

float ps_scaled(float inches) { return inches * ps_output_state().page_factor; }

std::string ps_text_prefix(std::string_view text, int n)
{
    const std::size_t count = static_cast<std::size_t>(std::clamp(n, 0, PS_TEXT_LENGTH));
    std::string prefix(text.substr(0, std::min(count, text.size())));
    prefix.resize(count, ' ');
    return prefix;
}

std::string ps_escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\\' || c == '(' || c == ')') out += '\\';
        out += c;
    }
    return out;
}

std::int32_t ps_first_word(std::string_view text)
{
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t at = static_cast<std::size_t>(k);
        const unsigned char byte = at < text.size() ? static_cast<unsigned char>(text[at]) : ' ';
        value |= static_cast<std::uint32_t>(byte) << (8 * k);
    }
    return static_cast<std::int32_t>(value);
}

int ps_font_size(float height)
{
    const float points = ps_output_state().page_factor * height / 0.6f;
    if (!std::isfinite(points) || std::fabs(points) > 1e9f) return points < 0 ? -1000000000 : 1000000000;
    return static_cast<int>(points);
}

void ps_console_line(const std::string& line)
{
    std::cout << line << '\n';
    std::cout.flush();
}

std::string ps_list_real(float value)
{
    // gfortran's list-directed REAL(4): nine significant digits, fixed
    // notation for magnitudes from 0.1 to below 1e9, exponent form otherwise.
    if (value == 0.0f) return "  " + std::string(value < 0 || std::signbit(value) ? "-" : " ")
                                  + "0.00000000    ";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.8E", static_cast<double>(value));
    const char* e = std::strchr(buffer, 'E');
    const int exponent = e ? std::atoi(e + 1) : 0;
    std::string field;
    if (exponent >= -1 && exponent <= 8) {
        std::snprintf(buffer, sizeof buffer, "%.*f", 8 - exponent, static_cast<double>(value));
        field = buffer;
        field.insert(0, static_cast<std::size_t>(std::max(0, 12 - static_cast<int>(field.size()))), ' ');
        return " " + field + "    ";
    }
    std::snprintf(buffer, sizeof buffer, "%.8E", static_cast<double>(value));
    field = buffer;
    field.insert(0, static_cast<std::size_t>(std::max(0, 16 - static_cast<int>(field.size()))), ' ');
    return " " + field;
}

std::string ps_list_int(long long value) { return " " + ps_i(value, 11); }

void ps_record_failure(const std::string& console_line)
{
    ps_console_line(console_line);
    PsOutputState& state = ps_output_state();
    if (!state.failed) {
        state.failed = true;
        std::string text = console_line;
        text.erase(0, text.find_first_not_of(' '));
        state.error_text = text;
    }
}
