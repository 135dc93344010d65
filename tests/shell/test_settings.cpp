// The stored settings: how numbers, paths and the font are read back, what
// missing values leave, and how "Set as defaults" writes them.
#include "keldana/shell/settings.h"

#include "settings_dialog_fixture.h"

#include <cmath>
#include <optional>

namespace {

using namespace settings_test;

class SettingsTest : public SettingsDialogTest {};

TEST_F(SettingsTest, StoredNumbersKeepOnlyDigitsAndPoints)
{
    const struct {
        const char* stored;
        std::optional<double> value;
    } cases[] = {
        {"1.0E-5", 1.0},  // the letter and the sign become blanks: the first number wins
        {"0.0000100", 1.0e-5},
        {" 10.0 ", 10.0},
        {"-0.5", 0.5},
        {"abc", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_stored_number(c.stored), c.value) << c.stored;
}

TEST_F(SettingsTest, LoadReadsTheOptionsKey)
{
    write_setting_string(OPTIONS_KEY, "eps", "1.0E-5");
    write_setting_string(OPTIONS_KEY, "Scale", "0.0300000");
    write_setting_string(OPTIONS_KEY, "rCut", "8.5");
    write_setting_string(OPTIONS_KEY, "ds", "0.02");
    write_setting_string(OPTIONS_KEY, "dr", "0.0005");
    write_setting_string(OPTIONS_KEY, "elambda", "0.125");
    write_setting_string(OPTIONS_KEY, "coeff", "0");
    write_setting_string(OPTIONS_KEY, "mConvertor", "/opt/blentrix");
    write_setting_string(OPTIONS_KEY, "WavefunBank", "/opt/bank.bnk");
    write_setting_string(OPTIONS_KEY, "WorkDir", directory_.string());
    write_setting_dword(OPTIONS_KEY, "nStep", 70);
    write_setting_dword(OPTIONS_KEY, "lPole", 2);
    write_setting_dword(OPTIONS_KEY, "lwdir", 1);
    run_settings().file_dialog.working_directory = "/";

    load_settings_from_registry();

    const RunSettings& s = run_settings();
    EXPECT_EQ(s.calculation.eps, 1.0);
    EXPECT_EQ(s.calculation.Scale, 0.03);
    EXPECT_EQ(s.calculation.rCut, 8.5);
    EXPECT_EQ(s.calculation.ds, 0.02);
    EXPECT_EQ(s.calculation.dr, 0.0005);
    EXPECT_EQ(s.calculation.nStep, 70);
    EXPECT_EQ(s.calculation.lPole, 2);
    EXPECT_EQ(property_selection().elambda, 0.125);
    EXPECT_EQ(property_selection().coeff, 0.0);
    EXPECT_EQ(s.paths.converter_path, "/opt/blentrix");
    EXPECT_EQ(s.paths.wavefun_bank_path, "/opt/bank.bnk");
    EXPECT_EQ(s.paths.lwdir, 1);
    EXPECT_EQ(s.file_dialog.working_directory, directory_.string());
}

TEST_F(SettingsTest, MissingOrZeroNumbersFallBackToTheDefaultsOtherValuesStay)
{
    RunSettings& s = run_settings();
    s.calculation = CalculationSettings{};
    s.paths.converter_path = "/opt/blentrix";
    s.paths.wavefun_bank_path = "/opt/bank.bnk";
    s.paths.lwdir = 1;
    write_setting_string(OPTIONS_KEY, "rCut", "0");
    write_setting_dword(OPTIONS_KEY, "nStep", 0);

    load_settings_from_registry();

    EXPECT_EQ(s.calculation.eps, 1.0e-5);
    EXPECT_EQ(s.calculation.Scale, 0.05);
    EXPECT_EQ(s.calculation.rCut, 10.0);
    EXPECT_EQ(s.calculation.ds, 0.01);
    EXPECT_EQ(s.calculation.dr, 0.001);
    EXPECT_EQ(s.calculation.nStep, 50);
    EXPECT_EQ(s.calculation.lPole, 4);
    EXPECT_EQ(s.paths.converter_path, "/opt/blentrix");
    EXPECT_EQ(s.paths.wavefun_bank_path, "/opt/bank.bnk");
    EXPECT_EQ(s.paths.lwdir, 1);
    // No working directory stored: the current one.
    EXPECT_EQ(fs::path(s.file_dialog.working_directory), fs::current_path());
}

TEST_F(SettingsTest, NumberTextsAreStoredSoThatTheyReadBack)
{
    const struct {
        const char* typed;
        double value;
        const char* stored;
    } cases[] = {
        {" 0.000010", 1.0e-5, "0.000010"},  // reads back: kept as typed, trimmed
        {"10.0000000", 10.0, "10.0000000"},
        {"1e-5", 1.0e-5, "0.00001"},        // would read back as 1 or 5
        {"2.5E+1", 25.0, "25"},
        {" 0.0000000", 1.0e-9, "0.000000001"},  // a box that rounded its value away
    };
    for (const auto& c : cases) {
        const std::string stored = stored_number_text(c.typed, c.value);
        EXPECT_EQ(stored, c.stored) << c.typed;
        EXPECT_EQ(parse_stored_number(stored), c.value) << c.typed;
    }
}

TEST_F(SettingsTest, OptionsAreStoredWithTheirTypes)
{
    StoredOptions options;
    options.eps = " 0.000020 ";
    options.Scale = "0.04";
    options.rCut = "9";
    options.ds = "0.02";
    options.dr = "0.002";
    options.elambda = "0.125";
    options.coeff = "0";
    options.nStep = 60;
    options.lPole = 3;
    options.lwdir = 1;
    options.converter_path = "/opt/blentrix ";
    options.wavefun_bank_path = "/opt/bank.bnk";
    options.work_dir = "/tmp";
    save_options_to_registry(options);

    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "eps"), "0.000020");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "coeff"), "0");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "mConvertor"), "/opt/blentrix");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "WorkDir"), "/tmp");
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "nStep"), 60u);
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "lPole"), 3u);
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "lwdir"), 1u);
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "eps"), std::nullopt);
}

TEST_F(SettingsTest, FontIsStoredAsTheFieldsOfALogfont)
{
    FontChoice font;
    font.face_name = "Courier New";
    font.height = -13;
    font.width = 7;
    font.italic = true;
    font.strike_out = true;
    font.colour = 0x004080FF;
    save_text_pane_font_to_registry(font);

    // Each byte field carries the three bytes after it: italic, underline,
    // strike-out, character set, out precision, clip precision, quality,
    // pitch and family, then the face name.
    EXPECT_EQ(read_setting_dword(FONT_KEY, "Italic"), 0x00010001u);
    EXPECT_EQ(read_setting_dword(FONT_KEY, "Underline"), 0x00000100u);
    EXPECT_EQ(read_setting_dword(FONT_KEY, "StrikeOut"), 0x00000001u);
    EXPECT_EQ(read_setting_dword(FONT_KEY, "ClipPrecision"), 0x43000000u);   // 'C'
    EXPECT_EQ(read_setting_dword(FONT_KEY, "PitchAndFamily"), 0x756F4300u);  // "Cou"
    EXPECT_EQ(read_setting_dword(FONT_KEY, "Height"), 0xFFFFFFF3u);
    EXPECT_EQ(read_setting_dword(FONT_KEY, "Escapement"), 0u);
    EXPECT_EQ(read_setting_string(FONT_KEY, "FaceName"), "Courier New");

    const FontChoice back = stored_text_pane_font();
    EXPECT_EQ(back.face_name, "Courier New");
    EXPECT_EQ(back.height, -13);
    EXPECT_EQ(back.width, 7);
    EXPECT_TRUE(back.italic);
    EXPECT_FALSE(back.underline);
    EXPECT_TRUE(back.strike_out);
    EXPECT_EQ(back.colour, 0x004080FFu);

    load_settings_from_registry();
    EXPECT_EQ(text_pane_font().face_name, "Courier New");
    EXPECT_EQ(text_pane_font().colour, 0x004080FFu);
}

}  // namespace
