// The viewer's settings key: the label font packed as the registry keeps a
// LOGFONT, the colours and the bond delta, through a settings file of the
// test's own.
#include "common/qt/dialog.h"
#include "common/qt/settings_store.h"
#include "common/scripted_ui.h"
#include "keldana/resources/viewer_resources.h"
#include "keldana/viewer/bond_list.h"
#include "keldana/viewer/viewer_dialogs.h"
#include "keldana/viewer/viewer_settings.h"

#include <QFont>
#include <QFontInfo>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class ViewerSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kd_viewer_settings_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        set_settings_file((directory_ / "settings.ini").string());
    }
    void TearDown() override
    {
        set_settings_file("");
        fs::remove_all(directory_);
    }

    fs::path directory_;
};

ViewerLabelFont sample_font()
{
    ViewerLabelFont font;
    font.face_name = "DejaVu Sans Mono";
    font.height = -17;
    font.width = 3;
    font.italic = 1;
    font.underline = 0;
    font.strike_out = 1;
    font.char_set = 204;
    font.out_precision = 3;
    font.clip_precision = 2;
    font.quality = 5;
    return font;
}

TEST_F(ViewerSettingsTest, FontAndColoursComeBackAsWritten)
{
    ViewerSceneState written;
    written.label_font = sample_font();
    written.label_colour = 0x0000FF00;
    write_viewer_font_settings(written);
    write_viewer_background_setting(0x00123456);

    // The LOGFONT bytes as the registry keeps them, lowest byte first.
    EXPECT_EQ(read_setting_dword(VIEWER_KEY, "Italic"), 0xCC010001u);
    EXPECT_EQ(read_setting_dword(VIEWER_KEY, "CharSet"), 0x050203CCu);
    EXPECT_EQ(read_setting_dword(VIEWER_KEY, "Height"), 0xFFFFFFEFu);  // -17
    EXPECT_EQ(read_setting_string(VIEWER_KEY, "FaceName"), "DejaVu Sans Mono");

    ViewerSceneState read;
    read_viewer_settings(read);
    const ViewerLabelFont& font = read.label_font;
    EXPECT_EQ(font.face_name, "DejaVu Sans Mono");
    EXPECT_EQ(font.height, -17);
    EXPECT_EQ(font.width, 3);
    EXPECT_EQ(font.italic, 1);
    EXPECT_EQ(font.underline, 0);
    EXPECT_EQ(font.strike_out, 1);
    EXPECT_EQ(font.char_set, 204);
    EXPECT_EQ(font.out_precision, 3);
    EXPECT_EQ(font.clip_precision, 2);
    EXPECT_EQ(font.quality, 5);
    EXPECT_EQ(read.label_colour, 0x0000FF00u);
    EXPECT_EQ(read.background_colour, 0x00123456u);

    std::ifstream file(directory_ / "settings.ini");
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("[Viewer]"), std::string::npos) << text.str();
}

TEST_F(ViewerSettingsTest, CharSetReadAfterItalicDecidesTheCharacterSet)
{
    write_setting_dword(VIEWER_KEY, "Italic", 0x07000001);   // character set 7 in the top byte
    write_setting_dword(VIEWER_KEY, "CharSet", 0x000000A1);  // then 161
    ViewerSceneState state;
    read_viewer_settings(state);
    EXPECT_EQ(state.label_font.italic, 1);
    EXPECT_EQ(state.label_font.char_set, 0xA1);
    EXPECT_EQ(state.label_font.quality, 0);
}

TEST_F(ViewerSettingsTest, MissingValuesLeaveTheStateAlone)
{
    ViewerSceneState state;
    state.label_font = sample_font();
    state.label_colour = 0x00ABCDEF;
    state.background_colour = 0x00010203;
    read_viewer_settings(state);
    EXPECT_EQ(state.label_font.face_name, "DejaVu Sans Mono");
    EXPECT_EQ(state.label_font.height, -17);
    EXPECT_EQ(state.label_font.char_set, 204);
    EXPECT_EQ(state.label_colour, 0x00ABCDEFu);
    EXPECT_EQ(state.background_colour, 0x00010203u);

    // A face name longer than a LOGFONT holds is cut.
    write_setting_string(VIEWER_KEY, "FaceName", std::string(40, 'F'));
    read_viewer_settings(state);
    EXPECT_EQ(state.label_font.face_name, std::string(32, 'F'));
}

TEST_F(ViewerSettingsTest, FontSizesBeyondAnyFontAreNotTaken)
{
    struct Case {
        uint32_t stored;
        int32_t expected;
    };
    const Case cases[] = {{0x80000000u, -17}, {0x7FFFFFFFu, -17}, {1001, -17}, {static_cast<uint32_t>(-1001), -17},
                          {1000, 1000},       {static_cast<uint32_t>(-1000), -1000}, {0, 0}};
    for (const Case& c : cases) {
        write_setting_dword(VIEWER_KEY, "Height", c.stored);
        write_setting_dword(VIEWER_KEY, "Width", c.stored);
        write_setting_dword(VIEWER_KEY, "fntColor", 0xFF000000u | c.stored);
        ViewerSceneState state;
        state.label_font = sample_font();
        state.label_font.width = -17;
        read_viewer_settings(state);
        EXPECT_EQ(state.label_font.height, c.expected) << c.stored;
        EXPECT_EQ(state.label_font.width, c.expected) << c.stored;
        EXPECT_EQ(state.label_colour, c.stored & 0xFFFFFFu) << c.stored;
    }
}

TEST_F(ViewerSettingsTest, BondDeltaIsReadFromItsTextAsTyped)
{
    EXPECT_EQ(read_bond_delta_text(), "");
    write_bond_delta_text("0.25 A");
    EXPECT_EQ(read_bond_delta_text(), "0.25 A");

    struct Case {
        const char* text;
        double expected;
    };
    // Letters are dropped, and with them a sign; blank or no number keeps the delta.
    const Case cases[] = {{"0.25 A", 0.25}, {"  1.1", 1.1}, {"-0.4", 0.4}, {"", 0.7}, {"   ", 0.7}, {"abc", 0.7},
                         // Beyond any bond: not taken.
                         {"10", 10.0}, {"10.01", 0.7}, {"99999999999999999999", 0.7}};
    for (const Case& c : cases) {
        BondList list;
        list.bond_delta = 0.7;
        update_bond_delta(list, c.text);
        EXPECT_DOUBLE_EQ(list.bond_delta, c.expected) << '"' << c.text << '"';
    }
}

// The "Bond parameter" box shows the delta in use, and a text longer than the
// stored value holds is refused, not cut.
TEST_F(ViewerSettingsTest, BondParameterBoxShowsTheDeltaInUseAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(shown_bond_delta_text("", 0.0), "0");
    EXPECT_EQ(shown_bond_delta_text("   ", 0.45), "0.45");
    EXPECT_EQ(shown_bond_delta_text("0.25 A", 0.25), "0.25 A");

    ScopedScriptedUi ui;
    bond_list().bond_delta = 0.45;
    std::string shown;
    bool open_after_long = false;
    QTimer::singleShot(0, [&] {
        Dialog* dialog = topmost_dialog();
        ASSERT_NE(dialog, nullptr);
        shown = dialog->get_text(IDC_BOND_DELTA);
        dialog->user_set_text(IDC_BOND_DELTA, "0.1234567890123456789");  // 21 characters
        dialog->user_click(1);
        open_after_long = dialog->is_open();
        dialog->user_set_text(IDC_BOND_DELTA, "0.5");
        dialog->user_click(1);
    });
    EXPECT_TRUE(run_bond_parameter_dialog(nullptr));
    EXPECT_EQ(shown, "0.45");
    EXPECT_TRUE(open_after_long);
    ASSERT_EQ(ui->answers.messages.size(), 1u);
    EXPECT_EQ(ui->answers.messages[0].text, "Can not read data. Please, check data in boxes");
    EXPECT_EQ(read_bond_delta_text(), "0.5");
}

// The font picker opens at the face the labels are drawn in, also when none
// was chosen yet.
TEST_F(ViewerSettingsTest, FontPickerOpensAtTheLabelFontInUse)
{
    struct RecordingUi : ScriptedUserInterface {
        FontChoice offered;
        bool choose_font(FontChoice& font) override
        {
            offered = font;
            return false;
        }
    } ui;
    install_user_interface(&ui);
    ViewerLabelFont font;
    unsigned colour = 0x00FFFFFF;
    EXPECT_FALSE(choose_viewer_font(font, colour));
    EXPECT_EQ(ui.offered.face_name, QFontInfo(QFont()).family().toStdString());
    font.face_name = "DejaVu Sans Mono";
    font.height = -17;
    choose_viewer_font(font, colour);
    EXPECT_EQ(ui.offered.face_name, QFontInfo(QFont("DejaVu Sans Mono")).family().toStdString());
    EXPECT_EQ(ui.offered.height, -17);
    EXPECT_EQ(ui.offered.colour, 0x00FFFFFFu);
    install_user_interface(nullptr);
}

}  // namespace
