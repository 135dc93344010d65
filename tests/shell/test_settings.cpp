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


// Stored numbers no run can use (a negated 0x80000000 font height once
// aborted the start, a step of 1e-8 ran a bond path for minutes) fall back to
// their defaults, and the pane notes each.
TEST_F(SettingsTest, OutOfRangeNumbersFallBackToTheirDefaultsWithANote)
{
    struct TextCase {
        const char* name;
        const char* stored;
    };
    const TextCase texts[] = {
        {"ds", "0.00000001"}, {"dr", "5"}, {"rCut", "1000000"}, {"eps", "1000"}, {"Scale", "0.0000000001"},
        {"elambda", "500"}, {"coeff", "99999"},
    };
    for (const TextCase& c : texts)
        write_setting_string(OPTIONS_KEY, c.name, c.stored);
    write_setting_dword(OPTIONS_KEY, "nStep", 0x80000000u);
    write_setting_dword(OPTIONS_KEY, "lPole", 7);
    write_setting_dword(OPTIONS_KEY, "lwdir", 0xFFFFFFFFu);
    write_setting_dword(FONT_KEY, "Height", 0x80000000u);
    write_setting_dword(FONT_KEY, "Width", 5000);
    reset_pane_line_store();
    run_settings().paths.lwdir = 0;

    load_settings_from_registry();

    const RunSettings& s = run_settings();
    EXPECT_EQ(s.calculation.ds, DEFAULT_DS);
    EXPECT_EQ(s.calculation.dr, DEFAULT_DR);
    EXPECT_EQ(s.calculation.rCut, DEFAULT_RCUT);
    EXPECT_EQ(s.calculation.eps, DEFAULT_EPS);
    EXPECT_EQ(s.calculation.Scale, DEFAULT_SCALE);
    EXPECT_EQ(property_selection().elambda, DEFAULT_ELAMBDA);
    EXPECT_EQ(property_selection().coeff, DEFAULT_COEFF);
    EXPECT_EQ(s.calculation.nStep, DEFAULT_NSTEP);
    EXPECT_EQ(s.calculation.lPole, DEFAULT_LPOLE);
    EXPECT_EQ(s.paths.lwdir, 0);
    EXPECT_EQ(text_pane_font().height, 0);
    EXPECT_EQ(text_pane_font().width, 0);
    std::string pane;
    for (int k = 1; !read_pane_line(k).empty() && read_pane_line(k).find_first_not_of(' ') != std::string::npos; ++k)
        pane += read_pane_line(k) + "\n";
    for (const char* name : {"ds", "dr", "rCut", "eps", "Scale", "elambda", "coeff", "nStep", "lPole", "lwdir",
                             "Height", "Width"})
        EXPECT_NE(pane.find("Setting \"" + std::string(name) + "\""), std::string::npos) << name << "\n" << pane;
}

TEST_F(SettingsTest, NumbersAtTheEdgesOfTheirRangesAreKept)
{
    write_setting_string(OPTIONS_KEY, "ds", "0.0001");
    write_setting_string(OPTIONS_KEY, "rCut", "100");
    write_setting_dword(OPTIONS_KEY, "nStep", 100000);
    write_setting_dword(FONT_KEY, "Height", static_cast<uint32_t>(-1000));
    reset_pane_line_store();

    load_settings_from_registry();

    EXPECT_EQ(run_settings().calculation.ds, 0.0001);
    EXPECT_EQ(run_settings().calculation.rCut, 100.0);
    EXPECT_EQ(run_settings().calculation.nStep, 100000);
    EXPECT_EQ(text_pane_font().height, -1000);
    EXPECT_EQ(read_pane_line(1).find("Setting"), std::string::npos) << read_pane_line(1);
}

// An INI path that is a folder stores nothing: "Set as defaults" says so once,
// naming the file, and says so again on the next try.
TEST_F(SettingsTest, ASettingsFileThatCanNotBeWrittenIsReported)
{
    const fs::path folder = directory_ / "settings_folder.ini";
    fs::create_directory(folder);
    set_settings_file(folder.string());
    for (int attempt = 1; attempt <= 2; ++attempt) {
        ui_->answers.messages.clear();
        StoredOptions options;
        options.ds = "0.02";
        save_options_to_registry(options);
        save_text_pane_font_to_registry(FontChoice{});
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << attempt;
        EXPECT_NE(ui_->answers.messages[0].text.find(folder.string()), std::string::npos)
            << ui_->answers.messages[0].text;
    }
    set_settings_file((directory_ / "settings.ini").string());
    ui_->answers.messages.clear();
    save_options_to_registry(StoredOptions{});
    EXPECT_TRUE(ui_->answers.messages.empty());
}

}  // namespace
