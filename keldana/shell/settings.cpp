#include "keldana/shell/settings.h"

#include "common/qt/qt_user_interface.h"
#include "common/qt/settings_store.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/shell/main_window.h"
#include "keldana/shell/text_pane.h"

#include <QApplication>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <filesystem>

namespace {

// A stored value outside the range the program can work with is a damaged
// or hand-edited file: its default is used, and the pane says so.
void note_out_of_range(const char* name, const std::string& stored, const std::string& fallback)
{
    append_pane_line("Setting \"" + std::string(name) + "\" = " + stored + " is out of range: " + fallback
                     + " is used.");
    ui().text_pane_changed();
}

std::string number_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6G", value);
    return text;
}

// Ranges of the stored numbers; zero keeps meaning "missing" where the
// default stands in for it.
struct NumberRange {
    const char* name;
    double low, high, fallback;
};
constexpr NumberRange NUMBER_RANGES[] = {
    {"eps", 1.0e-15, 100.0, DEFAULT_EPS},      {"Scale", 1.0e-6, 100.0, DEFAULT_SCALE},
    {"rCut", 0.1, 100.0, DEFAULT_RCUT},        {"ds", 1.0e-4, 1.0, DEFAULT_DS},
    {"dr", 1.0e-8, 0.1, DEFAULT_DR},           {"elambda", 0.0, 100.0, DEFAULT_ELAMBDA},
    {"coeff", 0.0, 100.0, DEFAULT_COEFF},
};
constexpr int MAX_NSTEP = 100000;

void read_number(const char* name, double& field)
{
    auto text = read_setting_string(OPTIONS_KEY, name);
    if (!text)
        return;
    auto value = parse_stored_number(*text);
    if (!value)
        return;
    for (const NumberRange& range : NUMBER_RANGES) {
        if (std::string_view(range.name) != name)
            continue;
        // Zero stands for a missing value where the default replaces it.
        const bool missing = *value == 0.0 && range.low > 0.0;
        if (!missing && !(*value >= range.low && *value <= range.high)) {
            note_out_of_range(name, number_text(*value), number_text(range.fallback));
            field = range.fallback;
            return;
        }
    }
    field = *value;
}

void read_text(const char* name, std::string& field)
{
    if (auto text = read_setting_string(OPTIONS_KEY, name))
        field = *text;
}

// A whole number in low..high (0 stays as "missing" when allowed); the
// fallback otherwise.
void read_whole_number(const char* key, const char* name, int low, int high, int fallback, int& field)
{
    const auto value = read_setting_dword(key, name);
    if (!value)
        return;
    if (*value > static_cast<uint32_t>(high) || static_cast<int>(*value) < low) {
        note_out_of_range(name, std::to_string(*value), std::to_string(fallback));
        field = fallback;
        return;
    }
    field = static_cast<int>(*value);
}

// A font size: a signed DWORD whose magnitude is in pixels.
void read_font_size(const char* name, int& field)
{
    const auto value = read_setting_dword(FONT_KEY, name);
    if (!value)
        return;
    const std::int64_t size = static_cast<std::int32_t>(*value);
    if (size < -MAX_FONT_PIXELS || size > MAX_FONT_PIXELS) {
        note_out_of_range(name, std::to_string(size), "the default font size");
        field = 0;
        return;
    }
    field = static_cast<int>(size);
}

void read_flag(const char* name, bool& field)
{
    if (auto value = read_setting_dword(FONT_KEY, name))
        field = (*value & 0xFF) != 0;
}

// Overlays the stored font values on `font`; missing values keep its fields.
void read_text_pane_font(FontChoice& font)
{
    if (auto face = read_setting_string(FONT_KEY, "FaceName"))
        font.face_name = *face;
    read_font_size("Height", font.height);
    read_font_size("Width", font.width);
    read_flag("Italic", font.italic);
    read_flag("Underline", font.underline);
    read_flag("StrikeOut", font.strike_out);
    if (auto value = read_setting_dword(FONT_KEY, "rgbColors"))
        font.colour = *value & COLOUR_BITS;
}

// "Set as defaults" writes the options and then the font: a file that cannot
// be written is reported once, not for each key.
std::string failure_reported;

void report_settings_write_failure()
{
    const std::string file = take_settings_write_failure();
    if (file.empty() || file == failure_reported)
        return;
    failure_reported = file;
    ui().message_box("Can not write the settings file " + file + ": the settings were not stored.", "Error!",
                     MessageButtons::ok, MessageIcon::error);
}

// The main window's text pane takes the font and is repainted.
void apply_text_pane_font(const FontChoice& font)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = dynamic_cast<MainWindow*>(widget);
        if (!window || !window->text_pane())
            continue;
        if (!font.face_name.empty())
            window->text_pane()->set_pane_font(font_from_choice(font), colour_from_colorref(font.colour));
        window->text_pane()->viewport()->update();
    }
}

}  // namespace

std::optional<double> parse_stored_number(const std::string& text)
{
    std::string field = text;
    double value = 0;
    if (field.empty() || !parse_real_ignoring_letters(std::span<char>(field.data(), field.size()), value))
        return std::nullopt;
    return value;
}

std::string stored_number_text(const std::string& box_text, double value)
{
    std::string text = trimmed(box_text);
    if (auto back = parse_stored_number(text); back && *back == value)
        return text;
    std::array<char, 400> buffer{};
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
    if (error != std::errc())
        return text;
    return std::string(buffer.data(), end);
}

FontChoice& text_pane_font()
{
    static FontChoice font;
    return font;
}

void load_settings_from_registry()
{
    RunSettings& settings = run_settings();
    CalculationSettings& calc = settings.calculation;
    read_number("eps", calc.eps);
    read_number("Scale", calc.Scale);
    read_number("rCut", calc.rCut);
    read_number("ds", calc.ds);
    read_number("dr", calc.dr);
    read_number("elambda", property_selection().elambda);
    read_number("coeff", property_selection().coeff);
    read_text("mConvertor", settings.paths.converter_path);
    read_text("WorkDir", settings.paths.work_dir_setting);
    read_text("WavefunBank", settings.paths.wavefun_bank_path);
    read_whole_number(OPTIONS_KEY, "nStep", 0, MAX_NSTEP, DEFAULT_NSTEP, calc.nStep);
    read_whole_number(OPTIONS_KEY, "lPole", 0, MAX_L, DEFAULT_LPOLE, calc.lPole);
    read_whole_number(OPTIONS_KEY, "lwdir", 0, 1, 0, settings.paths.lwdir);
    apply_default_calculation_settings(calc);
    note_model_change();

    read_text_pane_font(text_pane_font());

    std::error_code ec;
    if (settings.paths.work_dir_setting.empty() || !std::filesystem::is_directory(settings.paths.work_dir_setting, ec))
        settings.paths.work_dir_setting = std::filesystem::current_path(ec).string();
    settings.file_dialog.working_directory = settings.paths.work_dir_setting;

    apply_text_pane_font(text_pane_font());
}

FontChoice stored_text_pane_font()
{
    FontChoice font;
    read_text_pane_font(font);
    return font;
}

void save_working_directory_at_exit()
{
    const RunSettings& settings = run_settings();
    if (settings.paths.lwdir == 1)
        write_setting_string(OPTIONS_KEY, "WorkDir", settings.file_dialog.working_directory);
}

void save_options_to_registry(const StoredOptions& options)
{
    take_settings_write_failure();
    failure_reported.clear();
    const std::pair<const char*, const std::string*> texts[] = {
        {"eps", &options.eps},         {"Scale", &options.Scale},
        {"rCut", &options.rCut},       {"ds", &options.ds},
        {"dr", &options.dr},           {"elambda", &options.elambda},
        {"coeff", &options.coeff},     {"mConvertor", &options.converter_path},
        {"WavefunBank", &options.wavefun_bank_path}, {"WorkDir", &options.work_dir},
    };
    for (const auto& [name, text] : texts)
        write_setting_string(OPTIONS_KEY, name, trimmed(*text));
    write_setting_dword(OPTIONS_KEY, "nStep", static_cast<uint32_t>(options.nStep));
    write_setting_dword(OPTIONS_KEY, "lPole", static_cast<uint32_t>(options.lPole));
    write_setting_dword(OPTIONS_KEY, "lwdir", static_cast<uint32_t>(options.lwdir));
    report_settings_write_failure();
}

void save_text_pane_font_to_registry(const FontChoice& font)
{
    take_settings_write_failure();
    // The byte fields of a LOGFONT from lfItalic on, then the face name: each
    // byte field is stored with the three bytes that follow it.
    std::array<uint8_t, 8 + 32> bytes{};
    bytes[0] = font.italic ? 1 : 0;
    bytes[1] = font.underline ? 1 : 0;
    bytes[2] = font.strike_out ? 1 : 0;
    for (std::size_t i = 0; i < font.face_name.size() && i < 31; ++i)
        bytes[8 + i] = static_cast<uint8_t>(font.face_name[i]);
    auto packed = [&bytes](std::size_t i) {
        return static_cast<uint32_t>(bytes[i]) | static_cast<uint32_t>(bytes[i + 1]) << 8 |
               static_cast<uint32_t>(bytes[i + 2]) << 16 | static_cast<uint32_t>(bytes[i + 3]) << 24;
    };
    write_setting_dword(FONT_KEY, "Height", static_cast<uint32_t>(font.height));
    write_setting_dword(FONT_KEY, "Width", static_cast<uint32_t>(font.width));
    write_setting_dword(FONT_KEY, "Escapement", 0);
    write_setting_dword(FONT_KEY, "Orientation", 0);
    const char* byte_fields[] = {"Italic",        "Underline", "StrikeOut", "CharSet",
                                 "OutPrecision", "ClipPrecision", "Quality", "PitchAndFamily"};
    for (std::size_t i = 0; i < std::size(byte_fields); ++i)
        write_setting_dword(FONT_KEY, byte_fields[i], packed(i));
    write_setting_dword(FONT_KEY, "rgbColors", font.colour);
    write_setting_string(FONT_KEY, "FaceName", font.face_name.substr(0, 31));
    report_settings_write_failure();
}
