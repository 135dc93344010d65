#include "keldana/model/report_output.h"

#include "common/scripted_ui.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// Every test runs in a fresh temporary directory, the current directory while
// it runs.
class ReportOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_report_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
    }

    void TearDown() override
    {
        close_report_output();
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    static std::string padded(const std::string& text) { return text + std::string(150 - text.size(), ' '); }

    ScopedScriptedUi ui_;
    fs::path previous_directory_;
    fs::path directory_;
};

}  // namespace

TEST_F(ReportOutputTest, ListingLinesReachTheFileAtOnce)
{
    ASSERT_TRUE(open_report_output());
    EXPECT_EQ(listing_file_name(), "keldana0.out");
    EXPECT_EQ(ui_->pane_resets, 1);
    write_listing_line("  Unit cell parameters:");
    write_listing_line("");
    // Read while the file is still open: every line is flushed as written.
    EXPECT_EQ(file_text("keldana0.out"), "  Unit cell parameters:\n\n");
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(ReportOutputTest, ReopeningRewritesTheListing)
{
    ASSERT_TRUE(open_report_output());
    write_listing_line("first model");
    ASSERT_TRUE(open_report_output());
    write_listing_line("second model");
    EXPECT_EQ(file_text("keldana0.out"), "second model\n");
}

TEST_F(ReportOutputTest, FallsBackToTheNextDigitWhenANameCannotBeOpened)
{
    fs::create_directory("keldana0.out");
    ASSERT_TRUE(open_report_output());
    EXPECT_EQ(listing_file_name(), "keldana1.out");
    write_listing_line("fallback");
    EXPECT_EQ(file_text("keldana1.out"), "fallback\n");
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(ReportOutputTest, NoneOfTheTenNamesOpens)
{
    for (char digit = '0'; digit <= '9'; ++digit)
        fs::create_directory(std::string("keldana") + digit + ".out");
    EXPECT_FALSE(open_report_output());
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    // The text says which file could not be written and where.
    const std::string& text = ui_->answers.messages[0].text;
    EXPECT_EQ(text.rfind("Can not open output file!", 0), 0u) << text;
    EXPECT_NE(text.find("keldana9.out"), std::string::npos) << text;
    EXPECT_NE(text.find(directory_.string()), std::string::npos) << text;
    EXPECT_EQ(ui_->answers.messages[0].caption, "ERROR!");
    EXPECT_EQ(ui_->answers.messages[0].icon, MessageIcon::warning);
    EXPECT_EQ(listing_file_name(), "");
    write_listing_line("goes nowhere");  // must not fail or show anything
    EXPECT_EQ(ui_->answers.messages.size(), 1u);
}

TEST_F(ReportOutputTest, PaneRecordsReadBackBlankPadded)
{
    ASSERT_TRUE(open_report_output());
    const std::string long_line = std::string(149, 'x') + "yz" + std::string(49, 'w');
    append_pane_line("first");
    append_pane_line("");
    append_pane_line(long_line);
    append_pane_line("  last");
    EXPECT_EQ(text_pane_state().line_count, 4);
    EXPECT_EQ(read_pane_line(1), padded("first"));
    EXPECT_EQ(read_pane_line(2), padded(""));
    EXPECT_EQ(read_pane_line(3), std::string(149, 'x') + "y");  // cut at 150
    EXPECT_EQ(read_pane_line(4), padded("  last"));
    EXPECT_EQ(read_pane_line(0), padded(""));
    EXPECT_EQ(read_pane_line(5), padded(""));
    EXPECT_EQ(std::string(text_pane_state().line_buffer.data(), 150), padded("  last"));
}

TEST_F(ReportOutputTest, ReopeningEmptiesTheLineStore)
{
    ASSERT_TRUE(open_report_output());
    append_pane_line("old 1");
    append_pane_line("old 2");
    text_pane_state().line_extent = 40;
    text_pane_state().widest_line = 900;
    ASSERT_TRUE(open_report_output());
    EXPECT_EQ(text_pane_state().line_count, 0);
    EXPECT_EQ(text_pane_state().line_extent, 0);
    EXPECT_EQ(text_pane_state().widest_line, 0);
    EXPECT_EQ(read_pane_line(1), padded(""));
    EXPECT_EQ(ui_->pane_resets, 2);
    append_pane_line("new");
    EXPECT_EQ(text_pane_state().line_count, 1);
    EXPECT_EQ(read_pane_line(1), padded("new"));
    EXPECT_EQ(read_pane_line(2), padded(""));
}

TEST_F(ReportOutputTest, ResettingTheStoreStartsThePaneAfresh)
{
    ASSERT_TRUE(open_report_output());
    append_pane_line("before");
    reset_pane_line_store();
    EXPECT_EQ(text_pane_state().line_count, 0);
    EXPECT_EQ(ui_->pane_resets, 2);
    append_pane_line("after");
    EXPECT_EQ(read_pane_line(1), padded("after"));
}

TEST_F(ReportOutputTest, ReportLineWritesBothAndAsksForARepaint)
{
    ASSERT_TRUE(open_report_output());
    text_pane_state().scroll_to_end = false;
    report_line(" Unit cell volume:  1000.000", "Volume 1000.000");
    EXPECT_TRUE(text_pane_state().scroll_to_end);
    EXPECT_EQ(ui_->pane_changes, 1);
    EXPECT_EQ(file_text("keldana0.out"), " Unit cell volume:  1000.000\n");
    EXPECT_EQ(text_pane_state().line_count, 1);
    EXPECT_EQ(read_pane_line(1), padded("Volume 1000.000"));
}

// A full disk stands for any write error of the listing: reported once, and
// the program goes on.
TEST_F(ReportOutputTest, ListingWriteFailureIsReportedOnce)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this system";
    fs::create_symlink("/dev/full", "keldana0.out");
    ASSERT_TRUE(open_report_output());
    report_line("one", "one");
    report_line("two", "two");
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
    EXPECT_EQ(text_pane_state().line_count, 2);
    EXPECT_EQ(read_pane_line(2), padded("two"));

    // Lines held in the buffer fail only when the file is closed.
    ui_->answers.messages.clear();
    ASSERT_TRUE(open_report_output());
    set_listing_flush_deferred(true);
    report_line("held", "held");
    EXPECT_TRUE(ui_->answers.messages.empty());
    close_report_output();
    set_listing_flush_deferred(false);
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("keldana0.out"), std::string::npos);
}

// A load that is refused must not touch the listing or the pane of the model
// that stays loaded; one that commits starts both with what it wrote.
TEST_F(ReportOutputTest, HeldBackOutputOfALoadIsDroppedOrCommitted)
{
    ASSERT_TRUE(open_report_output());
    report_line("old listing", "old pane");
    text_pane_state().scroll_to_end = false;
    const int resets = ui_->pane_resets;
    const int changes = ui_->pane_changes;

    ASSERT_TRUE(begin_report_output());
    EXPECT_TRUE(report_output_held_back());
    report_line("refused listing", "refused pane");
    append_pane_line("refused 2");
    reset_pane_line_store();  // a unit-cell cluster starts its pane afresh
    append_pane_line("refused 3");
    discard_report_output();
    EXPECT_FALSE(report_output_held_back());
    EXPECT_EQ(file_text("keldana0.out"), "old listing\n");
    EXPECT_EQ(text_pane_state().line_count, 1);
    EXPECT_EQ(read_pane_line(1), padded("old pane"));
    EXPECT_FALSE(text_pane_state().scroll_to_end);
    EXPECT_EQ(ui_->pane_resets, resets);
    EXPECT_EQ(ui_->pane_changes, changes);
    // Later lines still go to the current model's output.
    report_line("old listing 2", "old pane 2");
    EXPECT_EQ(file_text("keldana0.out"), "old listing\nold listing 2\n");
    EXPECT_EQ(read_pane_line(2), padded("old pane 2"));

    ASSERT_TRUE(begin_report_output());
    write_listing_line("new listing");
    append_pane_line("dropped by the cluster");
    reset_pane_line_store();
    append_pane_line("new pane");
    EXPECT_EQ(file_text("keldana0.out"), "old listing\nold listing 2\n");
    commit_report_output();
    EXPECT_EQ(file_text("keldana0.out"), "new listing\n");
    EXPECT_EQ(listing_file_name(), "keldana0.out");
    EXPECT_EQ(text_pane_state().line_count, 1);
    EXPECT_EQ(read_pane_line(1), padded("new pane"));
    EXPECT_EQ(ui_->pane_resets, resets + 1);
    report_line("after", "after");
    EXPECT_EQ(file_text("keldana0.out"), "new listing\nafter\n");
}

// The check before a load creates nothing and fails as opening does.
TEST_F(ReportOutputTest, BeginningALoadChecksTheNamesWithoutTouchingThem)
{
    fs::create_directory("keldana0.out");
    ASSERT_TRUE(begin_report_output());
    EXPECT_FALSE(fs::exists("keldana1.out"));
    commit_report_output();
    EXPECT_EQ(listing_file_name(), "keldana1.out");
    fs::remove("keldana1.out");
    for (char digit = '1'; digit <= '9'; ++digit)
        fs::create_directory(std::string("keldana") + digit + ".out");
    EXPECT_FALSE(begin_report_output());
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_EQ(ui_->answers.messages[0].text.rfind("Can not open output file!", 0), 0u);
    EXPECT_FALSE(report_output_held_back());
}

// Deferred, the lines wait for flush_listing; the bytes are the same.
TEST_F(ReportOutputTest, DeferredFlushWritesTheSameBytesWhenAsked)
{
    ASSERT_TRUE(open_report_output());
    set_listing_flush_deferred(true);
    report_line("  first", "first");
    write_listing_line("");
    write_listing_line("  third");
    EXPECT_EQ(file_text("keldana0.out"), "");
    flush_listing();
    EXPECT_EQ(file_text("keldana0.out"), "  first\n\n  third\n");
    write_listing_line("fourth");
    set_listing_flush_deferred(false);
    EXPECT_EQ(file_text("keldana0.out"), "  first\n\n  third\nfourth\n");
    write_listing_line("fifth");
    EXPECT_EQ(file_text("keldana0.out"), "  first\n\n  third\nfourth\nfifth\n");
}
