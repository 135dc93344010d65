// The plot scaled for the view and for export: stretching that keeps thin
// dark lines, the "BMP Parameters" dialog with its aspect-keeping boxes, and
// bitmap files written by Save as (over an existing file after a question)
// and read back.
#include "common/qt/dialog.h"
#include "common/safe_write.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/app/view_bitmap.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf_test_support.h"

#include <QFile>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(Stretch, ReductionKeepsOnePixelLinesAndTheSameSizeIsACopy)
{
    QImage source(100, 50, QImage::Format_RGB32);
    source.fill(Qt::white);
    for (int x = 0; x < 100; ++x)
        source.setPixel(x, 23, qRgb(0, 0, 255));  // a one-pixel blue line
    source.setPixel(57, 11, qRgb(255, 0, 0));

    EXPECT_EQ(stretch_plot_image(source, 100, 50), source);
    const QImage reduced = stretch_plot_image(source, 20, 10);
    ASSERT_EQ(reduced.size(), QSize(20, 10));
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(QColor(reduced.pixel(x, 4)), QColor(0, 0, 255)) << x;  // rows 20..24 combined
    EXPECT_EQ(QColor(reduced.pixel(11, 2)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(reduced.pixel(3, 8)), QColor(Qt::white));
    // Enlarging repeats pixels.
    const QImage enlarged = stretch_plot_image(source, 200, 100);
    EXPECT_EQ(QColor(enlarged.pixel(114, 22)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(enlarged.pixel(115, 23)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(enlarged.pixel(116, 22)), QColor(Qt::white));
    EXPECT_TRUE(stretch_plot_image(source, 0, 10).isNull());
    EXPECT_TRUE(stretch_plot_image(QImage(), 10, 10).isNull());
}

TEST(BmpBoxes, IntegersAreWrittenI8AndLeftJustified)
{
    EXPECT_EQ(format_integer_left_justified(2400), "2400    ");
    EXPECT_EQ(format_integer_left_justified(-5), "-5      ");
    EXPECT_EQ(format_integer_left_justified(123456789), "********");
}

class BmpTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        start();
    }
    // Sets the full plot size as an Open would.
    void set_full_size(int w, int h)
    {
        view_state().full_width = w;
        view_state().full_height = h;
    }
};

TEST_F(BmpTest, TypingOneSizeSetsTheOtherInTheAspectOfThePlot)
{
    set_full_size(2400, 1600);
    int width = 0, height = 0;
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_text(IDC_BMP_WIDTH), "2400    ");
        EXPECT_EQ(d.get_text(IDC_BMP_HEIGHT), "1600    ");
        ASSERT_TRUE(d.user_set_text(IDC_BMP_WIDTH, "1200"));
        EXPECT_EQ(d.get_text(IDC_BMP_HEIGHT), "800     ");
        // A cleared or unreadable box changes nothing.
        ASSERT_TRUE(d.user_set_text(IDC_BMP_WIDTH, ""));
        EXPECT_EQ(d.get_text(IDC_BMP_HEIGHT), "800     ");
        ASSERT_TRUE(d.user_set_text(IDC_BMP_WIDTH, "12x"));
        EXPECT_EQ(d.get_text(IDC_BMP_HEIGHT), "800     ");
        ASSERT_TRUE(d.user_set_text(IDC_BMP_HEIGHT, "400"));
        EXPECT_EQ(d.get_text(IDC_BMP_WIDTH), "600     ");
        d.user_click(1);
    });
    ASSERT_TRUE(run_bmp_parameters_dialog(width, height, 32));
    EXPECT_EQ(width, 600);
    EXPECT_EQ(height, 400);
}

TEST_F(BmpTest, UnreadableOrImpossibleSizesAreRefusedAndCancelGivesNoBitmap)
{
    set_full_size(2400, 1600);
    for (const char* text : {"abc", "0", "-10", "10001"}) {
        int width = 7, height = 7;
        bool open_after = false;
        ui_->answers.messages.clear();
        when_open([text, &open_after](Dialog& d) {
            d.set_text(IDC_BMP_WIDTH, text);
            d.user_click(1);
            open_after = d.is_open();
            d.user_click(2);
        });
        EXPECT_FALSE(run_bmp_parameters_dialog(width, height, 32)) << text;
        EXPECT_TRUE(open_after) << text;
        ASSERT_EQ(ui_->answers.messages.size(), 1u) << text;
        EXPECT_EQ(ui_->answers.messages[0].text, "Can not read data. Please, check data in boxes");
        EXPECT_EQ(width, 7);
    }
    int width = 7, height = 7;
    when_open([](Dialog& d) { d.user_click(2); });
    EXPECT_FALSE(run_bmp_parameters_dialog(width, height, 32));
}

TEST_F(BmpTest, SaveAsBmpAtTheFullSizeWritesThePlotPixelForPixel)
{
    open_data(trajectory_fixture("map.dat"));
    const std::string name = (directory_ / "plot.bmp").string();
    ui_->answers.file_answers.push_back(name);
    when_open([](Dialog& d) { d.user_click(1); });
    program_->window->handle_command(CMD_SAVE_AS);
    ASSERT_TRUE(fs::exists(name)) << ui_->answers.message_log();

    QFile file(QString::fromStdString(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // File header, a 40-byte information header, no colour table.
    const QByteArray header = file.read(54);
    ASSERT_EQ(header.size(), 54);
    auto word = [&header](int at) {
        return static_cast<quint32>(static_cast<unsigned char>(header[at])) |
               static_cast<quint32>(static_cast<unsigned char>(header[at + 1])) << 8 |
               static_cast<quint32>(static_cast<unsigned char>(header[at + 2])) << 16 |
               static_cast<quint32>(static_cast<unsigned char>(header[at + 3])) << 24;
    };
    EXPECT_EQ(header.left(2), QByteArray("BM"));
    EXPECT_EQ(word(2), static_cast<quint32>(fs::file_size(name)));
    EXPECT_EQ(word(10), 54u);
    EXPECT_EQ(word(14), 40u);
    file.close();
    QImage written(QString::fromStdString(name), "BMP");
    const QImage& plot = plot_window_handles().plot_bitmap;
    ASSERT_EQ(written.size(), plot.size());
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), plot);
    // The view shows the view-sized bitmap again.
    EXPECT_EQ(plot_window_handles().view_bitmap.width(), view_state().view_width);
}

TEST_F(BmpTest, SaveAsBmpAtAChosenSizeAndCancel)
{
    open_data(trajectory_fixture("map.dat"));
    const std::string name = (directory_ / "small.bmp").string();
    ui_->answers.file_answers.push_back(name);
    when_open([](Dialog& d) {
        d.user_set_text(IDC_BMP_WIDTH, "480");
        d.user_click(1);
    });
    program_->window->handle_command(CMD_SAVE_AS);
    QImage written(QString::fromStdString(name), "BMP");
    EXPECT_EQ(written.size(), QSize(480, 360));

    const QImage view_before = plot_window_handles().view_bitmap;
    const std::string cancelled = (directory_ / "cancelled.bmp").string();
    ui_->answers.file_answers.push_back(cancelled);
    when_open([](Dialog& d) { d.user_click(2); });
    program_->window->handle_command(CMD_SAVE_AS);
    EXPECT_FALSE(fs::exists(cancelled));
    EXPECT_EQ(plot_window_handles().view_bitmap, view_before);
}

TEST_F(BmpTest, SavingOverAnExistingFileAsksFirst)
{
    open_data(trajectory_fixture("map.dat"));
    const std::string name = (directory_ / "plot.bmp").string();
    { std::ofstream(name) << "kept\n"; }
    // No: the dialog goes back to the name and is cancelled there; no
    // parameters asked, nothing written.
    ui_->answers.file_answers = {name, std::nullopt};
    ui_->answers.overwrite_answers = {false};
    program_->window->handle_command(CMD_SAVE_AS);
    EXPECT_EQ(ui_->answers.overwrite_questions, std::vector<std::string>{name});
    EXPECT_EQ(fs::file_size(name), 5u);

    // Yes: the plot replaces the file.
    ui_->answers.file_answers = {name};
    ui_->answers.overwrite_answers = {true};
    when_open([](Dialog& d) { d.user_click(1); });
    program_->window->handle_command(CMD_SAVE_AS);
    EXPECT_EQ(ui_->answers.overwrite_questions.size(), 2u);
    EXPECT_FALSE(QImage(QString::fromStdString(name), "BMP").isNull());
}

TEST_F(BmpTest, AFileThatCannotBeWrittenIsReported)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    const std::string name = (directory_ / "no" / "such" / "folder.bmp").string();
    EXPECT_FALSE(write_bmp_file(image, name));
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
    EXPECT_NE(ui_->answers.messages[0].text.find(name), std::string::npos) << ui_->answers.messages[0].text;
}

TEST_F(BmpTest, AFailedSaveKeepsTheOldBitmapAndLeavesNoTemporary)
{
    open_data(trajectory_fixture("map.dat"));
    const std::string name = (directory_ / "plot.bmp").string();
    const std::string old_bytes = "BM not really a bitmap, but the user's file";
    std::ofstream(name, std::ios::binary) << old_bytes;
    // A full-size bitmap has megabytes: the disk fills half-way.
    set_safe_write_failure_after(1 << 20);
    ui_->answers.file_answers.push_back(name);
    when_open([](Dialog& d) { d.user_click(1); });
    program_->window->handle_command(CMD_SAVE_AS);
    set_safe_write_failure_after(-1);

    std::ifstream in(name, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), old_bytes);
    for (const auto& entry : fs::directory_iterator(directory_))
        EXPECT_EQ(entry.path().filename(), "plot.bmp") << "left behind: " << entry.path();
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find(name), std::string::npos) << ui_->answers.messages[0].text;
    // The view shows the view-sized bitmap again.
    EXPECT_EQ(plot_window_handles().view_bitmap.width(), view_state().view_width);
}

}  // namespace
