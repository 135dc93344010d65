// Save as PostScript: the page dialog's defaults, orientation and margins,
// and the file the export writes: page origin and scale, the paths in
// their colours and widths, symbols, texts, names the library cannot keep,
// and (where Ghostscript is installed) a file that an interpreter runs.
#include "common/qt/dialog.h"
#include "common/scripted_ui.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/app/postscript_export.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines_of(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool has_line(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A length in library inches as the file writes it: times 71, F8.2, with
// the blanks before it squeezed to one.
std::string units(float inches)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(inches * 71.0f));
    return text;
}

TEST(ColourFractions, EachByteOverTwoHundredFiftyFive)
{
    float r = 0, g = 0, b = 0;
    convert_colorref_to_rgb(0x0000FF, r, g, b);
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, 0.0f);
    EXPECT_EQ(b, 0.0f);
    convert_colorref_to_rgb(0xFF8000, r, g, b);
    EXPECT_EQ(r, 0.0f);
    EXPECT_FLOAT_EQ(g, 128.0f / 255.0f);
    EXPECT_EQ(b, 1.0f);
}

class ExportTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        start();
        open_data(trajectory_fixture("map.dat"));
        ASSERT_TRUE(display_options().data_open);
    }
    // Save as PostScript with the dialog's actions; the file's lines.
    std::vector<std::string> save(const std::string& name, std::function<void(Dialog&)> actions = nullptr)
    {
        path_ = (directory_ / name).string();
        ui_->answers.file_answers.push_back(path_);
        when_open([actions](Dialog& d) {
            if (actions)
                actions(d);
            d.user_click(1);
        });
        program_->window->handle_command(CMD_SAVE_AS);
        return lines_of(path_);
    }
    std::string path_;
};

TEST_F(ExportTest, TheDialogOpensWithAPortraitPageAtThreeQuartersInCourier)
{
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_item_count(IDC_PS_AXIS_FONT), 35);
        for (int id : {IDC_PS_AXIS_FONT, IDC_PS_LABEL_FONT, IDC_PS_TEXT_FONT})
            EXPECT_EQ(d.get_text(id), "Courier");
        EXPECT_EQ(d.get_item_text(IDC_PS_AXIS_FONT, 0), "AvantGarde-Book");
        EXPECT_EQ(d.get_item_text(IDC_PS_AXIS_FONT, 34), "ZapfDingbats");
        EXPECT_TRUE(d.get_checked(IDC_PS_PORTRAIT));
        EXPECT_EQ(d.get_text(IDC_PS_SIZE), "75");
        EXPECT_EQ(d.get_text(IDC_PS_FROM_LEFT), "12");
        EXPECT_EQ(d.get_text(IDC_PS_FROM_TOP), "12");
        const PostScriptPageSettings& page = postscript_page_settings();
        const PlotTransform& t = plot_transform();
        EXPECT_EQ(page.page_width, 8.5f);
        EXPECT_EQ(page.page_height, 11.0f);
        EXPECT_FLOAT_EQ(page.margin_x,
                        4.0f * (static_cast<float>(t.char_width) * 8.5f / 2400.0f) * 8.5f / 11.0f * 0.75f);
        EXPECT_FLOAT_EQ(page.text_height, 34.0f * 8.5f / 1800.0f);

        // Landscape: the sides swap and the label margin factor doubles.
        d.user_click(IDC_PS_LANDSCAPE);
        EXPECT_FALSE(page.portrait);
        EXPECT_EQ(page.page_width, 11.0f);
        EXPECT_EQ(page.page_height, 8.5f);
        EXPECT_FLOAT_EQ(page.margin_x,
                        4.0f * (static_cast<float>(t.char_width) * 11.0f / 2400.0f) * 11.0f / 8.5f * 0.75f * 2.0f);
        d.user_step(IDC_PS_SIZE_SPIN, -25);
        EXPECT_FLOAT_EQ(page.size_factor, 0.5f);
        d.user_select(IDC_PS_TEXT_FONT, 19);
        d.user_click(2);
    });
    ui_->answers.file_answers.push_back((directory_ / "cancelled.ps").string());
    program_->window->handle_command(CMD_SAVE_AS);
    EXPECT_FALSE(fs::exists(directory_ / "cancelled.ps"));
}

TEST_F(ExportTest, DefaultsPutTheFrameHalfAnInchInAndScaleByThreeQuarters)
{
    const std::vector<std::string> lines = save("plot.ps");
    ASSERT_FALSE(lines.empty()) << ui_->answers.message_log();
    EXPECT_EQ(lines.front(), "%!PS-Adobe-3.0");
    EXPECT_EQ(lines.back(), "%%EOF");
    EXPECT_TRUE(has_line(lines, "%%Title: " + path_));
    EXPECT_TRUE(has_line(lines, " 0.750 0.750 scale"));
    EXPECT_TRUE(has_line(lines, "/Curfnt /Courier findfont def"));
    EXPECT_FALSE(has_line(lines, "90 rotate 0 -8.5 inch translate"));

    const PostScriptPageSettings& page = postscript_page_settings();
    const float ox = 0.5f + page.margin_x, oy = 11.0f - 0.5f - page.margin_y - 0.5f;
    EXPECT_TRUE(has_line(lines, " " + units(ox) + " " + units(oy) + " translate"));
    // The plane point (xmin, ymax) at that origin.
    const float s = std::min((8.5f - page.margin_x - 0.75f) / 4.0f, (11.0f - page.margin_y - 0.75f) / 3.0f);
    EXPECT_TRUE(has_line(lines, " " + units(2.0f * s) + " " + units(-1.5f * s) + " translate"));
    // The trajectory in blue at 2/254 inch; its first point is a move.
    const auto blue = std::find(lines.begin(), lines.end(), " 0.000 0.000 1.000 Sc");
    ASSERT_NE(blue, lines.end());
    EXPECT_EQ(*(blue + 1), " 0.008 Slw");
    EXPECT_EQ(*(blue + 2), " " + units(-1.0f * s) + " " + units(0.5f * s) + " SM");
    EXPECT_EQ(*(blue + 3), " " + units(0.0f) + " " + units(0.5f * s) + " LSM");
    // The bond path in red at 3/254 inch.
    const auto red = std::find(lines.begin(), lines.end(), " 1.000 0.000 0.000 Sc");
    ASSERT_NE(red, lines.end());
    EXPECT_EQ(*(red + 1), " 0.012 Slw");
}

TEST_F(ExportTest, SymbolsAreSymbolSizeInchesAndLabelsAreTexts)
{
    load_post(trajectory_fixture("map.pos"));
    program_->window->handle_command(CMD_ATOM_LABELS);
    const std::vector<std::string> lines = save("symbols.ps");
    const PostScriptPageSettings& page = postscript_page_settings();
    const float s = std::min((8.5f - page.margin_x - 0.75f) / 4.0f, (11.0f - page.margin_y - 0.75f) / 3.0f);
    // Filled circles of radius symbol_size inches at the atoms, whatever the
    // scale (OK in Post Symbol made it whole pixels of the render).
    const float r = style_settings().symbol_size;
    EXPECT_NEAR(r, 0.05f, 1.0f / plot_transform().scale);
    EXPECT_TRUE(has_line(lines, "Np " + units(-1.0f * s) + " " + units(0.0f) + " " + units(r) + " C fill"));
    EXPECT_TRUE(has_line(lines, "Np " + units(1.0f * s) + " " + units(0.0f) + " " + units(r) + " C fill"));
    bool label = false;
    for (const std::string& line : lines)
        label = label || line.find("(C1)") != std::string::npos;
    EXPECT_TRUE(label);
}

TEST_F(ExportTest, LandscapeTurnsThePage)
{
    const std::vector<std::string> lines = save("landscape.ps", [](Dialog& d) { d.user_click(IDC_PS_LANDSCAPE); });
    EXPECT_TRUE(has_line(lines, "90 rotate 0 -8.5 inch translate"));
}

TEST_F(ExportTest, AFreeTextOfAHundredCharactersIsWrittenWholeInPieces)
{
    PostData& post = post_data();
    const std::string text = "T" + std::string(98, 'x') + "E";
    post.text_count = 1;
    post.item_text[300] = text;
    post.item_position[300] = {0.0f, 0.0f};
    program_->window->handle_command(CMD_TEXT);
    ASSERT_TRUE(display_options().texts_shown);
    const std::vector<std::string> lines = save("text.ps");
    // The library's texts hold 80 characters: the rest follows on from the
    // end of the first piece.
    const auto first = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find("(" + text.substr(0, 80) + ")") != std::string::npos;
    });
    ASSERT_NE(first, lines.end());
    const auto rest = std::find_if(first, lines.end(), [&](const std::string& line) {
        return line.find("(" + text.substr(80) + ")") != std::string::npos;
    });
    ASSERT_NE(rest, lines.end());
    EXPECT_TRUE(std::find(first, rest, "/Xpos Xpres def") != rest);
}

TEST_F(ExportTest, NamesTheLibraryCannotKeepAndUnwritableFilesAreReported)
{
    const std::string folder = "folder_with_a_long_name_" + std::string(60, 'n');
    fs::create_directories(directory_ / folder);
    save(folder + "/plot.ps");
    EXPECT_FALSE(fs::exists(path_));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("80"), std::string::npos);

    save("no_such_folder/plot.ps");
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_EQ(ui_->answers.messages.size(), 2u);
}

TEST_F(ExportTest, GhostscriptRunsTheFile)
{
    load_post(trajectory_fixture("map.pos"));
    program_->window->handle_command(CMD_CP_LABELS);
    save("checked.ps");
    ASSERT_TRUE(fs::exists(path_));
    const ProcessResult found = run_child_process("gs", {"--version"}, directory_.string(), true);
    if (!found.started || found.exit_code != 0)
        GTEST_SKIP() << "Ghostscript (gs) is not installed";
    const ProcessResult run = run_child_process(
        "gs", {"-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=nullpage", path_}, directory_.string(), true);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
