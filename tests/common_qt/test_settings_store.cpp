#include "common/qt/settings_store.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string OPTIONS = "Software\\Orvo\\Keldana\\Options";
const std::string FONT = "Software\\Orvo\\Keldana\\Font";

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        file = temp.filePath("Keldana.ini").toStdString();
        set_settings_file(file);
    }
    void TearDown() override { set_settings_file(""); }
    QTemporaryDir temp;
    std::string file;
};

TEST_F(SettingsStoreTest, StringsAndDwordsRoundTripWithTheirTypes)
{
    write_setting_string(OPTIONS, "eps", "0.0000100");
    write_setting_dword(OPTIONS, "nStep", 50);
    write_setting_dword(OPTIONS, "lwdir", 0);
    write_setting_dword(FONT, "rgbColors", 0x00FF8000u);
    write_setting_dword(FONT, "PitchAndFamily", 0xFFFFFFFFu);

    EXPECT_EQ(read_setting_string(OPTIONS, "eps"), std::optional<std::string>("0.0000100"));
    EXPECT_EQ(read_setting_dword(OPTIONS, "nStep"), std::optional<uint32_t>(50));
    EXPECT_EQ(read_setting_dword(OPTIONS, "lwdir"), std::optional<uint32_t>(0));
    EXPECT_EQ(read_setting_dword(FONT, "rgbColors"), std::optional<uint32_t>(0x00FF8000u));
    EXPECT_EQ(read_setting_dword(FONT, "PitchAndFamily"), std::optional<uint32_t>(0xFFFFFFFFu));
    // A value read as the other type is not there.
    EXPECT_EQ(read_setting_dword(OPTIONS, "eps"), std::nullopt);
    EXPECT_EQ(read_setting_string(OPTIONS, "nStep"), std::nullopt);
    write_setting_string(OPTIONS, "lPole", "4");
    EXPECT_EQ(read_setting_dword(OPTIONS, "lPole"), std::nullopt);
}

TEST_F(SettingsStoreTest, MissingValuesAndKeysReadAsNothing)
{
    EXPECT_EQ(read_setting_string(OPTIONS, "WorkDir"), std::nullopt);
    EXPECT_EQ(read_setting_dword(OPTIONS, "nStep"), std::nullopt);
    write_setting_string(OPTIONS, "WorkDir", "/home/user/work");
    EXPECT_EQ(read_setting_string(FONT, "WorkDir"), std::nullopt);  // keys are separate
    EXPECT_EQ(read_setting_string("Software\\Orvo\\Keldana\\Viewer", "WorkDir"), std::nullopt);
}

TEST_F(SettingsStoreTest, AwkwardTextsComeBackUnchanged)
{
    const std::vector<std::string> texts{
        "",
        "   padded   ",
        "C:\\Program Files\\Blentrix\\blentrix.exe",
        "a, b, c",
        "semi;colon = and \"quotes\"",
        "#not a comment",
        "@looks like a variant",
        "dword:00000032",  // a string, even if it looks like a DWORD
        "sz:marked",
        "Ångström",
    };
    int n = 0;
    for (const auto& text : texts) {
        const std::string name = "value" + std::to_string(n++);
        write_setting_string(OPTIONS, name, text);
        EXPECT_EQ(read_setting_string(OPTIONS, name), std::optional<std::string>(text)) << text;
    }
    EXPECT_EQ(read_setting_dword(OPTIONS, "value7"), std::nullopt);
}

TEST_F(SettingsStoreTest, ValuesPersistInTheFileUnderTheKeysGroup)
{
    write_setting_string(FONT, "FaceName", "Courier New");
    write_setting_dword(OPTIONS, "nStep", 50);
    QSettings ini(QString::fromStdString(file), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Font/FaceName").toString(), "Courier New");
    EXPECT_TRUE(ini.contains("Options/nStep"));

    write_setting_dword(OPTIONS, "nStep", 60);  // overwrite
    EXPECT_EQ(read_setting_dword(OPTIONS, "nStep"), std::optional<uint32_t>(60));
}

TEST_F(SettingsStoreTest, HandEditedDwordTextThatIsNotHexReadsAsNothing)
{
    {
        QSettings ini(QString::fromStdString(file), QSettings::IniFormat);
        ini.setValue("Options/nStep", "dword:xyz");
        ini.setValue("Options/lPole", "dword:123456789");
    }
    EXPECT_EQ(read_setting_dword(OPTIONS, "nStep"), std::nullopt);
    EXPECT_EQ(read_setting_dword(OPTIONS, "lPole"), std::nullopt);
}

TEST(SettingsGroupTest, KeysMapToGroups)
{
    EXPECT_EQ(settings_group_of("Software\\Orvo\\Keldana\\Options"), "Options");
    EXPECT_EQ(settings_group_of("Software\\Orvo\\Keldana\\Viewer"), "Viewer");
    EXPECT_EQ(settings_group_of("Software\\Other"), "Software/Other");
}

}  // namespace
