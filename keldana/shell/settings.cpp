#include "keldana/shell/settings.h"

#include "common/qt/settings_store.h"
#include "keldana/density/property_selection.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"

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

}  // namespace

std::optional<double> parse_stored_number(const std::string& text)
{
    std::string field = text;
    double value = 0;
    if (field.empty() || !parse_real_ignoring_letters(std::span<char>(field.data(), field.size()), value))
        return std::nullopt;
    return value;
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

    std::error_code ec;
    if (settings.paths.work_dir_setting.empty() || !std::filesystem::is_directory(settings.paths.work_dir_setting, ec))
        settings.paths.work_dir_setting = std::filesystem::current_path(ec).string();
    settings.file_dialog.working_directory = settings.paths.work_dir_setting;
}

FontChoice stored_text_pane_font()
{
    FontChoice font;
    if (auto face = read_setting_string(FONT_KEY, "FaceName"))
        font.face_name = *face;
    if (auto value = read_setting_dword(FONT_KEY, "Height"))
        font.height = static_cast<int>(*value);
    if (auto value = read_setting_dword(FONT_KEY, "Width"))
        font.width = static_cast<int>(*value);
    if (auto value = read_setting_dword(FONT_KEY, "Italic"))
        font.italic = (*value & 0xFF) != 0;
    if (auto value = read_setting_dword(FONT_KEY, "Underline"))
        font.underline = (*value & 0xFF) != 0;
    if (auto value = read_setting_dword(FONT_KEY, "StrikeOut"))
        font.strike_out = (*value & 0xFF) != 0;
    if (auto value = read_setting_dword(FONT_KEY, "rgbColors"))
        font.colour = *value;
    return font;
}

void save_working_directory_at_exit()
{
    const RunSettings& settings = run_settings();
    if (settings.paths.lwdir == 1)
        write_setting_string(OPTIONS_KEY, "WorkDir", settings.file_dialog.working_directory);
}
