#include "pathgraf_test_support.h"

#include "common/qt/dialog.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/resources/command_ids.h"

#include <QCoreApplication>
#include <QTimer>

#include <fstream>

namespace fs = std::filesystem;

std::string trajectory_fixture(const std::string& name)
{
    return std::string(KD_TEST_DATA_DIR) + "/fixtures/trajectory/" + name;
}

void when_open(std::function<void(Dialog&)> actions)
{
    QTimer::singleShot(0, [actions] {
        Dialog* dialog = topmost_dialog();
        ASSERT_NE(dialog, nullptr);
        actions(*dialog);
        if (dialog->is_open()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog->end(2);
        }
    });
}

void run_without_dialog(const std::function<void()>& command)
{
    QTimer::singleShot(0, [] {
        if (Dialog* dialog = topmost_dialog()) {
            ADD_FAILURE() << "dialog " << dialog->get_resource_id() << " opened";
            dialog->end(2);
        }
    });
    command();
    QCoreApplication::processEvents();  // the check runs now when nothing opened
}

unsigned pixel_rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

bool colour_near(const QImage& image, int x, int y, int radius, QColor colour)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = x + dx, py = y + dy;
            if (image.valid(px, py) && QColor(image.pixel(px, py)) == colour)
                return true;
        }
    return false;
}

void PlotTest::SetUp()
{
    std::string pattern = (fs::temp_directory_path() / "pathgraf_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
}

void PlotTest::TearDown()
{
    program_.reset();
    reset_plot_state();
    fs::remove_all(directory_);
}

void PlotTest::start(const std::vector<std::string>& arguments)
{
    program_ = start_plot_program(arguments, false);
    program_->window->showNormal();
    program_->window->resize(1000, 800);
    QCoreApplication::processEvents();
}

void PlotTest::open_data(const std::string& path)
{
    ui_->answers.file_answers.push_back(path);
    program_->window->handle_command(CMD_OPEN);
}

void PlotTest::load_post(const std::string& path, bool ok)
{
    ui_->answers.file_answers.push_back(path);
    when_open([ok](Dialog& dialog) { dialog.user_click(ok ? 1 : 2); });
    program_->window->handle_command(CMD_POST);
}

std::string PlotTest::write_file(const std::string& name, const std::string& text)
{
    const fs::path path = directory_ / name;
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path.string();
}
