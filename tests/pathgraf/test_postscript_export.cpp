// Save as PostScript: the page dialog's defaults, orientation, margins and
// typed boxes, and the file the export writes: page origin and scale, the
// paths in their colours and widths, symbols, texts, long paths, failed
// writes, and (where Ghostscript is installed) files that an interpreter runs.
#include "common/qt/dialog.h"
#include "common/safe_write.h"
#include "common/scripted_ui.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/app/postscript_export.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf_test_support.h"

#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

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

// Every control of a group lies inside the group's frame, below its
// caption; no two controls overlap, labels hold their text, and the page
// preview keeps clear of them, in either orientation.
void expect_groups_hold_their_controls(Dialog& d)
{
    QDialog* window = d.window();
    std::vector<QGroupBox*> groups;
    std::vector<QWidget*> controls;
    QWidget* preview = window->findChild<QWidget*>("page_preview");
    ASSERT_NE(preview, nullptr);
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (auto* group = qobject_cast<QGroupBox*>(child))
            groups.push_back(group);
        else if (child != preview && child->isVisible())
            controls.push_back(child);
    }
    ASSERT_EQ(groups.size(), 4u);
    for (QWidget* control : controls) {
        const QRect area = control->geometry();
        EXPECT_FALSE(area.intersects(preview->geometry())) << control->objectName().toStdString();
        for (QGroupBox* group : groups) {
            if (!group->geometry().contains(area.center()))
                continue;
            const QRect inside = group->contentsRect().translated(group->pos());
            EXPECT_TRUE(inside.contains(area))
                << control->objectName().toStdString() << " crosses the frame of " << group->title().toStdString();
        }
        if (auto* label = qobject_cast<QLabel*>(control)) {
            const QSize text = label->fontMetrics().size(0, label->text());
            EXPECT_GE(label->width(), text.width()) << label->text().toStdString();
            EXPECT_GE(label->height(), text.height()) << label->text().toStdString();
        }
        if (auto* button = qobject_cast<QRadioButton*>(control)) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        }
    }
    for (std::size_t a = 0; a < controls.size(); ++a)
        for (std::size_t b = a + 1; b < controls.size(); ++b)
            EXPECT_FALSE(controls[a]->geometry().intersects(controls[b]->geometry()))
                << controls[a]->objectName().toStdString() << " overlaps " << controls[b]->objectName().toStdString();
    for (std::size_t a = 0; a < groups.size(); ++a)
        for (std::size_t b = a + 1; b < groups.size(); ++b)
            EXPECT_FALSE(groups[a]->geometry().intersects(groups[b]->geometry()))
                << groups[a]->title().toStdString() << " overlaps " << groups[b]->title().toStdString();
}

TEST_F(ExportTest, TheGroupsHoldTheirControlsAndThePreviewKeepsClear)
{
    when_open([](Dialog& d) {
        expect_groups_hold_their_controls(d);
        d.user_click(IDC_PS_LANDSCAPE);
        expect_groups_hold_their_controls(d);
        d.user_click(2);
    });
    ui_->answers.file_answers.push_back((directory_ / "cancelled.ps").string());
    program_->window->handle_command(CMD_SAVE_AS);
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

TEST_F(ExportTest, LandscapeTurnsThePageThenPutsTheFrameAtItsMargins)
{
    const std::vector<std::string> lines = save("landscape.ps", [](Dialog& d) { d.user_click(IDC_PS_LANDSCAPE); });
    // Margins of an 11 by 8.5 page at three quarters, with the doubled
    // label factor, from the render's label width and the 34-pixel axis font.
    const PlotTransform& t = plot_transform();
    const float margin_x = static_cast<float>(t.widest_y_label) * (static_cast<float>(t.char_width) * 11.0f / 2400.0f) *
                           11.0f / 8.5f * 0.75f * 2.0f;
    const float text_height = 34.0f * 11.0f / 1800.0f;
    const float margin_y = text_height * 11.0f / 8.5f * 0.75f;
    const PostScriptPageSettings& page = postscript_page_settings();
    EXPECT_FLOAT_EQ(page.margin_x, margin_x);
    EXPECT_FLOAT_EQ(page.margin_y, margin_y);

    const auto turn = std::find(lines.begin(), lines.end(), "90 rotate 0 -8.5 inch translate");
    ASSERT_NE(turn, lines.end());
    // The page set-up in the turned axes, then the frame's top-left corner
    // half an inch (plus margins) in from the left and top of the 8.5-inch
    // high page.
    ASSERT_GE(lines.end() - turn, 7);
    EXPECT_EQ(*(turn + 3), " 0.00 18.03 SM");
    EXPECT_EQ(*(turn + 4), " 0.00 18.03 translate");
    const float ox = 0.5f + margin_x, oy = 8.5f - 0.5f - margin_y - 0.5f;
    EXPECT_EQ(*(turn + 5), " " + units(ox) + " " + units(oy) + " SM");
    EXPECT_EQ(*(turn + 6), " " + units(ox) + " " + units(oy) + " translate");
    const float s = std::min((11.0f - margin_x - 0.75f) / 4.0f, (8.5f - margin_y - 0.75f) / 3.0f);
    EXPECT_TRUE(has_line(lines, " " + units(2.0f * s) + " " + units(-1.5f * s) + " translate"));
    EXPECT_TRUE(has_line(lines, " 0.750 0.750 scale"));
}

TEST_F(ExportTest, ATypedSizeIsTheDrawingScale)
{
    std::vector<std::string> lines = save("typed.ps", [](Dialog& d) { d.user_set_text(IDC_PS_SIZE, "30"); });
    EXPECT_TRUE(has_line(lines, " 0.300 0.300 scale"));
    EXPECT_FALSE(has_line(lines, " 0.750 0.750 scale"));
    // The arrows and then a typed size: the typed one counts.
    lines = save("typed_after_arrows.ps", [](Dialog& d) {
        d.user_step(IDC_PS_SIZE_SPIN, 10);
        d.user_set_text(IDC_PS_SIZE, "45");
    });
    EXPECT_TRUE(has_line(lines, " 0.450 0.450 scale"));
}

// Pixels of the page preview that are not the white page.
int drawn_preview_pixels(Dialog& d)
{
    auto* preview = d.window()->findChild<QWidget*>("page_preview");
    if (!preview)
        return -1;
    const QImage image = preview->grab().toImage();
    int drawn = 0;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                ++drawn;
    return drawn;
}

TEST_F(ExportTest, ThePreviewFollowsTypedNumbersAndTheBoxesShowTheLimitsTheyAreHeldTo)
{
    when_open([](Dialog& d) {
        const int at_75 = drawn_preview_pixels(d);
        ASSERT_GT(at_75, 0);
        d.user_set_text(IDC_PS_SIZE, "30");
        const int at_30 = drawn_preview_pixels(d);
        EXPECT_GT(at_30, 0);
        // The plot's lines shrink with the size.
        EXPECT_LT(at_30, at_75 / 2) << at_30 << " of " << at_75;
        EXPECT_FLOAT_EQ(postscript_page_settings().size_factor, 0.30f);
        d.user_set_text(IDC_PS_SIZE, "250");
        EXPECT_EQ(d.get_text(IDC_PS_SIZE), "100");
        d.user_set_text(IDC_PS_SIZE, "0");
        EXPECT_EQ(d.get_text(IDC_PS_SIZE), "1");
        d.user_set_text(IDC_PS_FROM_LEFT, "99999");
        EXPECT_EQ(d.get_text(IDC_PS_FROM_LEFT), "200");
        d.user_set_text(IDC_PS_FROM_TOP, "-40");
        EXPECT_EQ(d.get_text(IDC_PS_FROM_TOP), "0");
        d.user_click(2);
    });
    ui_->answers.file_answers.push_back((directory_ / "cancelled.ps").string());
    program_->window->handle_command(CMD_SAVE_AS);
}

TEST_F(ExportTest, ABoxThatDoesNotReadIsRefusedAndTheDialogStaysOpen)
{
    std::vector<bool> open_after;
    const std::vector<std::string> lines = save("refused.ps", [&](Dialog& d) {
        for (int id : {IDC_PS_SIZE, IDC_PS_FROM_LEFT, IDC_PS_FROM_TOP}) {
            const std::string shown = d.get_text(id);
            d.user_set_text(id, "abc");
            d.user_click(1);
            open_after.push_back(d.is_open());
            d.user_set_text(id, shown);
        }
    });
    EXPECT_EQ(open_after, std::vector<bool>(3, true));
    ASSERT_EQ(ui_->answers.messages.size(), 3u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Can not read data. Please, check data in boxes");
    EXPECT_TRUE(has_line(lines, " 0.750 0.750 scale"));
}

bool have_ghostscript(const std::string& folder)
{
    const ProcessResult found = run_child_process("gs", {"--version"}, folder, true);
    return found.started && found.exit_code == 0;
}

// Ghostscript's exit code for a file (0 when it reads it without an error).
int ghostscript_exit_code(const std::string& path, const std::string& folder)
{
    const ProcessResult run =
        run_child_process("gs", {"-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=nullpage", path}, folder, true);
    return run.started ? run.exit_code : -1;
}

TEST_F(ExportTest, EveryValueTheDialogTakesGivesAFileGhostscriptReads)
{
    struct Case {
        const char* size;
        const char* left;
        const char* top;
        bool landscape;
        const char* scale_line;
    };
    const Case cases[] = {
        {"0", "0", "0", false, " 0.010 0.010 scale"},  // below 1 %: drawn at 1 %
        {"-5", "12", "12", true, " 0.010 0.010 scale"},
        {"1", "200", "280", false, " 0.010 0.010 scale"},
        {"100", "99999", "99999", true, " 1.000 1.000 scale"},  // offsets held at the arrows' range
        {"250", "-40", "-40", false, " 1.000 1.000 scale"},
    };
    const bool gs = have_ghostscript(directory_.string());
    int k = 0;
    for (const Case& c : cases) {
        const std::string name = "case" + std::to_string(++k) + ".ps";
        const std::vector<std::string> lines = save(name, [c](Dialog& d) {
            if (c.landscape)
                d.user_click(IDC_PS_LANDSCAPE);
            d.user_set_text(IDC_PS_SIZE, c.size);
            d.user_set_text(IDC_PS_FROM_LEFT, c.left);
            d.user_set_text(IDC_PS_FROM_TOP, c.top);
        });
        ASSERT_FALSE(lines.empty()) << name << ui_->answers.message_log();
        EXPECT_TRUE(has_line(lines, c.scale_line)) << name;
        for (const std::string& line : lines)
            EXPECT_EQ(line.find('*'), std::string::npos) << name << ": a number overflowed its field: " << line;
        if (gs) {
            EXPECT_EQ(ghostscript_exit_code(path_, directory_.string()), 0) << name;
        }
    }
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
    if (!gs)
        GTEST_SKIP() << "Ghostscript (gs) is not installed: the files were not run";
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

TEST_F(ExportTest, APathOfAHundredAndTwentyCharactersIsWritten)
{
    const std::string base = fs::absolute(directory_).string();
    ASSERT_LT(base.size(), 100u);
    const std::string folder = std::string(120 - base.size() - 1, 'n');
    fs::create_directories(directory_ / folder);
    ASSERT_EQ(fs::absolute(directory_ / folder).string().size(), 120u);
    const std::vector<std::string> lines = save(folder + "/plot.ps");
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "%%EOF");
    EXPECT_TRUE(has_line(lines, "%%Title: " + path_.substr(0, 80)));
    if (!have_ghostscript(directory_.string()))
        GTEST_SKIP() << "Ghostscript (gs) is not installed: the file was not run";
    EXPECT_EQ(ghostscript_exit_code(path_, directory_.string()), 0);
}

TEST_F(ExportTest, AFailedWriteKeepsTheOldFileAndNamesIt)
{
    const std::string old_text = "%!PS-Adobe-3.0\n% last week's plot\n";
    std::ofstream(directory_ / "plot.ps", std::ios::binary) << old_text;
    set_safe_write_failure_after(3000);  // the prolog alone is longer
    save("plot.ps");
    set_safe_write_failure_after(-1);
    std::ifstream in(directory_ / "plot.ps", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), old_text);
    for (const auto& entry : fs::directory_iterator(directory_))
        EXPECT_EQ(entry.path().filename(), "plot.ps") << "left behind: " << entry.path();
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
    EXPECT_NE(ui_->answers.messages[0].text.find(path_), std::string::npos) << ui_->answers.messages[0].text;

    save("no_such_folder/plot.ps");
    EXPECT_FALSE(fs::exists(path_));
    ASSERT_EQ(ui_->answers.messages.size(), 2u);
    EXPECT_NE(ui_->answers.messages[1].text.find(path_), std::string::npos) << ui_->answers.messages[1].text;
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
