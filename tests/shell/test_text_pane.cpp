// The text pane follows the report: writers that add lines in several
// batches, the user scrolling away during a job, End and Ctrl+End, resizing.
#include "common/scripted_ui.h"
#include "keldana/model/report_output.h"
#include "keldana/shell/text_pane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// Window updates go to the pane, as the main window's interface does.
class PaneUserInterface : public ScriptedUserInterface {
public:
    TextPane* pane = nullptr;
    void text_pane_changed() override
    {
        ScriptedUserInterface::text_pane_changed();
        pane->lines_changed();
    }
    void text_pane_reset() override
    {
        ScriptedUserInterface::text_pane_reset();
        pane->lines_reset();
    }
};

class TextPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_pane_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        ui_.pane = &pane_;
        install_user_interface(&ui_);
        pane_.resize(400, 200);
        pane_.show();
        QApplication::processEvents();
        ASSERT_TRUE(open_report_output());
        ASSERT_GE(pane_.visible_lines(), 3);
    }
    void TearDown() override
    {
        close_report_output();
        install_user_interface(nullptr);
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    // A batch as the bond path and the integration write it: the flag set
    // once, several lines, one repaint request.
    void write_batch(int lines)
    {
        text_pane_state().scroll_to_end = true;
        add_lines(lines);
    }
    // A later batch of the same writer: no new request to follow.
    void add_lines(int lines)
    {
        for (int k = 0; k < lines; ++k)
            append_pane_line("line " + std::to_string(text_pane_state().line_count + 1));
        ui().text_pane_changed();
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&pane_, &event);
    }
    bool last_line_shown() const { return pane_.line_visible(text_pane_state().line_count); }

    PaneUserInterface ui_;
    TextPane pane_;
    fs::path previous_directory_;
    fs::path directory_;
};

}  // namespace

TEST_F(TextPaneTest, FollowsEveryBatchOfAWriterOnceItOverflows)
{
    const int rows = pane_.visible_lines();
    // One request to follow, as the bond path and the integration make it,
    // then batches: the first fill the pane, the later ones push the top
    // out.  The pane moving itself to the end must not stop it following.
    write_batch(1);
    for (int batch = 0; batch < 6; ++batch) {
        add_lines(rows / 2 + 1);
        EXPECT_TRUE(last_line_shown()) << "batch " << batch << ", top " << pane_.top_line();
    }
    ASSERT_GT(text_pane_state().line_count, 2 * rows);
    EXPECT_EQ(pane_.top_line(), text_pane_state().line_count - rows);
    // Report lines of the ordinary kind follow as well.
    report_line("listing", "pane");
    EXPECT_TRUE(last_line_shown());
}

TEST_F(TextPaneTest, UserScrolledUpStaysThereUntilTheJobEnds)
{
    const int rows = pane_.visible_lines();
    write_batch(3 * rows);
    press(Qt::Key_PageUp);
    const int top = pane_.top_line();
    EXPECT_LT(top, text_pane_state().line_count - rows);
    write_batch(2);
    report_line("listing", "pane");
    EXPECT_EQ(pane_.top_line(), top);
    EXPECT_FALSE(last_line_shown());
    // The next command's lines are followed again.
    pane_.job_ended();
    write_batch(1);
    EXPECT_TRUE(last_line_shown());
}

TEST_F(TextPaneTest, ScrollingBackToTheEndFollowsAgain)
{
    const int rows = pane_.visible_lines();
    write_batch(3 * rows);
    press(Qt::Key_Up);
    press(Qt::Key_Down);
    write_batch(2);
    EXPECT_TRUE(last_line_shown());
}

TEST_F(TextPaneTest, EndAndCtrlEndGoToTheEnd)
{
    const int rows = pane_.visible_lines();
    write_batch(4 * rows);
    for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        press(Qt::Key_PageUp);
        press(Qt::Key_PageUp);
        ASSERT_FALSE(last_line_shown());
        press(Qt::Key_End, modifiers);
        EXPECT_TRUE(last_line_shown()) << modifiers;
        // ... and the pane follows from there.
        write_batch(2);
        EXPECT_TRUE(last_line_shown()) << modifiers;
    }
}

TEST_F(TextPaneTest, ResizingKeepsTheEndInView)
{
    write_batch(5 * pane_.visible_lines());
    ASSERT_TRUE(last_line_shown());
    pane_.resize(400, 120);
    QApplication::processEvents();
    EXPECT_TRUE(last_line_shown());
    write_batch(1);
    EXPECT_TRUE(last_line_shown());
    pane_.resize(400, 260);
    QApplication::processEvents();
    EXPECT_TRUE(last_line_shown());
}

// A load empties the pane; the scroll position starts at the top again.
TEST_F(TextPaneTest, NewStoreStartsAtTheTop)
{
    write_batch(3 * pane_.visible_lines());
    ASSERT_GT(pane_.top_line(), 0);
    ASSERT_TRUE(open_report_output());
    EXPECT_EQ(pane_.top_line(), 0);
    write_batch(2);
    EXPECT_EQ(pane_.top_line(), 0);
    EXPECT_TRUE(last_line_shown());
}
