#include "keldana/shell/settings.h"

#include "common/qt/qt_user_interface.h"
#include "common/qt/settings_store.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/shell/main_window.h"
#include "keldana/shell/text_pane.h"

#include <QApplication>

#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>

namespace {

void read_number(const char* name, double& field)
{
    if (auto text = read_setting_string(OPTIONS_KEY, name))
        if (auto value = parse_stored_number(*text))
            field = *value;
}

void read_text(const char* name, std::string& field)
{
    if (auto text = read_setting_string(OPTIONS_KEY, name))
        field = *text;
}

void read_dword(const char* name, int& field)
{
    if (auto value = read_setting_dword(FONT_KEY, name))
        field = static_cast<int>(*value);
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
    read_dword("Height", font.height);
    read_dword("Width", font.width);
    read_flag("Italic", font.italic);
    read_flag("Underline", font.underline);
    read_flag("StrikeOut", font.strike_out);
    if (auto value = read_setting_dword(FONT_KEY, "rgbColors"))
        font.colour = *value;
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
    if (auto value = read_setting_dword(OPTIONS_KEY, "nStep"))
        calc.nStep = static_cast<int>(*value);
    if (auto value = read_setting_dword(OPTIONS_KEY, "lPole"))
        calc.lPole = static_cast<int>(*value);
    if (auto value = read_setting_dword(OPTIONS_KEY, "lwdir"))
        settings.paths.lwdir = static_cast<int>(*value);
    apply_default_calculation_settings(calc);

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
}

void save_text_pane_font_to_registry(const FontChoice& font)
{
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
}
