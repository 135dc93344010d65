#include "common/qt/dialog.h"
#include "common/scripted_ui.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

enum : int {
    LABEL = 100, EDIT, MULTI, READ_ONLY, CHECK, RADIO_A, RADIO_B, RADIO_C, RADIO_D, LIST, MULTI_LIST,
    COMBO, EDIT_COMBO, PROGRESS, BUDDY, UP_DOWN, APPLY, DISABLED_BUTTON, GROUP
};

const DialogResource TEST_DIALOG{
    500, "Test dialog", 260, 220,
    {
        {GROUP, ControlKind::group_box, "Group", 2, 2, 256, 100},
        {LABEL, ControlKind::static_text, "Label", 5, 5, 60, 8},
        {EDIT, ControlKind::edit, "", 70, 5, 60, 12},
        {MULTI, ControlKind::multiline_edit, "", 5, 20, 60, 30},
        {READ_ONLY, ControlKind::read_only_edit, "", 70, 20, 60, 12},
        {CHECK, ControlKind::check_box, "Check", 5, 55, 60, 10, CONTROL_CHECKED},
        {RADIO_A, ControlKind::radio_button, "A", 70, 55, 30, 10, CONTROL_GROUP | CONTROL_CHECKED},
        {RADIO_B, ControlKind::radio_button, "B", 100, 55, 30, 10},
        {RADIO_C, ControlKind::radio_button, "C", 70, 67, 30, 10, CONTROL_GROUP | CONTROL_PUSH_LIKE},
        {RADIO_D, ControlKind::radio_button, "D", 100, 67, 30, 10, CONTROL_PUSH_LIKE},
        {LIST, ControlKind::list_box, "", 5, 105, 60, 40, CONTROL_GROUP},
        {MULTI_LIST, ControlKind::list_box, "", 70, 105, 60, 40, CONTROL_MULTI_SELECT},
        {COMBO, ControlKind::combo_box, "", 135, 5, 60, 60},
        {EDIT_COMBO, ControlKind::combo_box, "", 135, 20, 60, 60, CONTROL_EDITABLE},
        {PROGRESS, ControlKind::progress_bar, "", 135, 40, 100, 10},
        {BUDDY, ControlKind::edit, "", 135, 55, 40, 12},
        {UP_DOWN, ControlKind::up_down, "", 176, 55, 10, 12},
        {CONTROL_STATIC_ID, ControlKind::etched_line, "", 5, 150, 250, 1},
        {CONTROL_STATIC_ID, ControlKind::icon, "AKELDANA", 200, 80, 20, 20},
        {APPLY, ControlKind::button, "Apply", 5, 160, 50, 14},
        {DISABLED_BUTTON, ControlKind::button, "Never", 60, 160, 50, 14, CONTROL_DISABLED},
        {1, ControlKind::default_button, "OK", 150, 200, 50, 14},
        {2, ControlKind::button, "Cancel", 205, 200, 50, 14},
    },
};

struct Event {
    int id;
    ControlEvent event;
    bool operator==(const Event& other) const { return id == other.id && event == other.event; }
};

// Records every callback of a dialog.
struct Recorder {
    std::vector<Event> events;
    void bind(Dialog& dialog, const std::vector<int>& ids)
    {
        for (int id : ids)
            dialog.set_callback(id, [this](Dialog&, int control, ControlEvent event) {
                events.push_back({control, event});
            });
    }
};

class DialogTest : public ::testing::Test {
protected:
    Dialog dialog{TEST_DIALOG};
};

TEST_F(DialogTest, TextOfEachKindByIdRoundTrips)
{
    for (int id : {LABEL, EDIT, MULTI, READ_ONLY, CHECK, RADIO_A, APPLY, GROUP, EDIT_COMBO}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(dialog.set_text(id, "text of " + std::to_string(id)));
        EXPECT_EQ(dialog.get_text(id), "text of " + std::to_string(id));
    }
    EXPECT_TRUE(dialog.set_text(MULTI, "line 1\nline 2"));
    EXPECT_EQ(dialog.get_text(MULTI), "line 1\nline 2");
    dialog.set_text(MULTI, "crlf 1\r\ncrlf 2");
    EXPECT_EQ(dialog.get_text(MULTI), "crlf 1\ncrlf 2");
    EXPECT_EQ(dialog.get_text(CHECK + 1000), "");
    EXPECT_FALSE(dialog.set_text(CHECK + 1000, "x"));
    EXPECT_FALSE(dialog.set_text(PROGRESS, "x"));
}

TEST_F(DialogTest, DropDownListTextSelectsAMatchingEntryOnly)
{
    dialog.add_item(COMBO, "  1");
    dialog.add_item(COMBO, "  2");
    EXPECT_EQ(dialog.get_selected_index(COMBO), -1);  // adding selects nothing
    EXPECT_TRUE(dialog.set_text(COMBO, "  2"));
    EXPECT_EQ(dialog.get_selected_index(COMBO), 1);
    EXPECT_EQ(dialog.get_text(COMBO), "  2");
    EXPECT_FALSE(dialog.set_text(COMBO, "  3"));
    EXPECT_EQ(dialog.get_selected_index(COMBO), 1);
}

TEST_F(DialogTest, IntegersReadFromTextWithStatus)
{
    EXPECT_TRUE(dialog.set_int(EDIT, -42));
    EXPECT_EQ(dialog.get_text(EDIT), "-42");

    const std::vector<std::pair<std::string, std::optional<int>>> cases{
        {"  17 ", 17}, {"-3", -3}, {"+8", 8}, {"0", 0},
        {"", std::nullopt}, {"   ", std::nullopt}, {"12a", std::nullopt}, {"1.5", std::nullopt},
        {"1 2", std::nullopt}, {"+-1", std::nullopt}, {"99999999999", std::nullopt}, {"abc", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE("text '" + text + "'");
        dialog.set_text(EDIT, text);
        int value = 555;
        EXPECT_EQ(dialog.get_int(EDIT, value), expected.has_value());
        EXPECT_EQ(value, expected.value_or(555));  // a failed read leaves the value
    }
    int value = 0;
    EXPECT_FALSE(dialog.get_int(9999, value));
}

// Number boxes read in free form, like a Fortran list-directed READ, from
// the first `width` characters only.
TEST_F(DialogTest, NumbersReadInFreeFormFromTheLeadingCharacters)
{
    const double kept = 555.5;
    const std::vector<std::pair<std::string, std::optional<double>>> reals{
        {" 1.25 ", 1.25}, {"-3", -3.0}, {"1.5E2", 150.0}, {"2.5D-1", 0.25}, {"7 8", 7.0}, {"4,", 4.0},
        {"", std::nullopt}, {" \t ", std::nullopt}, {"abc", std::nullopt}, {"1.2.3", std::nullopt},
        {"NaN", std::nullopt}, {"Inf", std::nullopt},
    };
    for (const auto& [text, expected] : reals) {
        SCOPED_TRACE("text '" + text + "'");
        dialog.set_text(EDIT, text);
        double value = kept;
        EXPECT_EQ(dialog.get_number(EDIT, value), expected.has_value());
        EXPECT_EQ(value, expected.value_or(kept));  // a failed read leaves the value
    }

    const std::vector<std::pair<std::string, std::optional<int>>> counts{
        {"  32", 32}, {"-4", -4}, {"48 96", 48}, {"", std::nullopt}, {"x", std::nullopt}, {"1.5", std::nullopt},
    };
    for (const auto& [text, expected] : counts) {
        SCOPED_TRACE("int text '" + text + "'");
        dialog.set_text(EDIT, text);
        int value = 555;
        EXPECT_EQ(dialog.get_number(EDIT, value), expected.has_value());
        EXPECT_EQ(value, expected.value_or(555));
    }

    // A box reads within its field: more typed after it is refused, never
    // cut (1001 in a field of three is not 100); blanks after it are no more;
    // a box blank within it does not read.
    dialog.set_text(EDIT, "12.5xyz");
    double value = 0;
    EXPECT_FALSE(dialog.get_number(EDIT, value, 4));
    dialog.set_text(EDIT, "12.5   ");
    EXPECT_TRUE(dialog.get_number(EDIT, value, 4));
    EXPECT_EQ(value, 12.5);
    int cut = 0;
    dialog.set_text(EDIT, "1001");
    EXPECT_FALSE(dialog.get_number(EDIT, cut, 3));
    EXPECT_EQ(cut, 0);
    dialog.set_text(EDIT, "    7");
    EXPECT_FALSE(dialog.get_number(EDIT, value, 4));
    int count = 0;
    dialog.set_text(EDIT_COMBO, " 16");
    EXPECT_TRUE(dialog.get_number(EDIT_COMBO, count, 3));
    EXPECT_EQ(count, 16);
    EXPECT_FALSE(dialog.get_number(9999, value));
    EXPECT_FALSE(dialog.get_number(9999, count));
}

TEST(DialogTextTest, TrimmedDropsSpacesAndTabsAroundOnly)
{
    EXPECT_EQ(trimmed("  a b\t "), "a b");
    EXPECT_EQ(trimmed("\tx"), "x");
    EXPECT_EQ(trimmed(" \t "), "");
    EXPECT_EQ(trimmed(""), "");
}

// The message of an unreadable box, with the focus back on the box (or left
// where it was for id 0).
TEST_F(DialogTest, UnreadableBoxReportsAndRefocuses)
{
    ScriptedUserInterface script_ui;
    install_user_interface(&script_ui);
    dialog.show_modeless();
    dialog.set_focus(EDIT);
    report_unreadable_box(dialog, BUDDY);
    EXPECT_EQ(dialog.get_focus(), BUDDY);
    report_unreadable_box(dialog, 0, "Please, check OutFile name in boxes");
    EXPECT_EQ(dialog.get_focus(), BUDDY);
    install_user_interface(nullptr);

    const auto& shown = script_ui.answers.messages;
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Can not read data. Please, check data in boxes");
    EXPECT_EQ(shown[1].text, "Please, check OutFile name in boxes");
    for (const auto& message : shown) {
        EXPECT_EQ(message.caption, "Error!");
        EXPECT_EQ(message.buttons, MessageButtons::ok);
        EXPECT_EQ(message.icon, MessageIcon::warning);
    }
}

TEST_F(DialogTest, RadioGroupsFollowTheGroupFlags)
{
    EXPECT_TRUE(dialog.get_checked(CHECK));
    EXPECT_TRUE(dialog.get_checked(RADIO_A));
    dialog.set_checked(RADIO_D, true);
    dialog.set_checked(RADIO_B, true);
    EXPECT_FALSE(dialog.get_checked(RADIO_A));
    EXPECT_TRUE(dialog.get_checked(RADIO_B));
    EXPECT_TRUE(dialog.get_checked(RADIO_D));  // another group
    // Code may leave a group with no radio on.
    dialog.set_checked(RADIO_B, false);
    EXPECT_FALSE(dialog.get_checked(RADIO_A));
    EXPECT_FALSE(dialog.get_checked(RADIO_B));
    EXPECT_FALSE(dialog.set_checked(EDIT, true));
}

TEST_F(DialogTest, ListEntriesAndSelection)
{
    for (const char* text : {"one", "two", "three"})
        dialog.add_item(LIST, text);
    EXPECT_EQ(dialog.get_item_count(LIST), 3);
    EXPECT_EQ(dialog.get_item_text(LIST, 2), "three");
    EXPECT_EQ(dialog.get_item_text(LIST, 3), "");
    EXPECT_EQ(dialog.get_selected_index(LIST), -1);
    EXPECT_TRUE(dialog.set_selected_index(LIST, 1));
    EXPECT_EQ(dialog.get_text(LIST), "two");
    EXPECT_FALSE(dialog.set_selected_index(LIST, 3));
    EXPECT_TRUE(dialog.set_item_text(LIST, 1, "TWO"));
    EXPECT_EQ(dialog.get_text(LIST), "TWO");
    EXPECT_TRUE(dialog.set_selected_index(LIST, -1));
    EXPECT_EQ(dialog.get_selected_index(LIST), -1);

    for (const char* text : {"a", "b", "c", "d"})
        dialog.add_item(MULTI_LIST, text);
    dialog.set_item_selected(MULTI_LIST, 1, true);
    dialog.set_item_selected(MULTI_LIST, 3, true);
    EXPECT_FALSE(dialog.is_item_selected(MULTI_LIST, 0));
    EXPECT_TRUE(dialog.is_item_selected(MULTI_LIST, 1));
    EXPECT_TRUE(dialog.is_item_selected(MULTI_LIST, 3));
    EXPECT_EQ(dialog.get_selected_index(MULTI_LIST), 1);

    dialog.add_item(EDIT_COMBO, "x");
    dialog.set_text(EDIT_COMBO, "typed");
    dialog.add_item(EDIT_COMBO, "y");
    EXPECT_EQ(dialog.get_text(EDIT_COMBO), "typed");
    EXPECT_TRUE(dialog.clear_items(LIST));
    EXPECT_EQ(dialog.get_item_count(LIST), 0);
    EXPECT_FALSE(dialog.add_item(EDIT, "not a list"));
}

TEST_F(DialogTest, ProgressBarAndUpDownPositions)
{
    dialog.set_range(PROGRESS, 0, 100);
    dialog.set_position(PROGRESS, 37);
    EXPECT_EQ(dialog.get_position(PROGRESS), 37);
    dialog.set_position(PROGRESS, 150);
    EXPECT_EQ(dialog.get_position(PROGRESS), 100);

    dialog.set_range(UP_DOWN, 1, 1001);
    dialog.set_position(UP_DOWN, 50);
    EXPECT_EQ(dialog.get_text(BUDDY), "50");  // the buddy shows the position
    dialog.set_position(UP_DOWN, 0);
    EXPECT_EQ(dialog.get_position(UP_DOWN), 1);
}

TEST_F(DialogTest, EnabledStateByIdAndDisabledFlag)
{
    EXPECT_FALSE(dialog.is_enabled(DISABLED_BUTTON));
    EXPECT_TRUE(dialog.is_enabled(EDIT));
    dialog.set_enabled(EDIT, false);
    EXPECT_FALSE(dialog.is_enabled(EDIT));
    dialog.set_enabled(DISABLED_BUTTON, true);
    EXPECT_TRUE(dialog.is_enabled(DISABLED_BUTTON));
}

TEST(DialogUnitsTest, PlacementScalesWithTheDialogFont)
{
    // 4 horizontal units are one average character of the 52 letters, in
    // whole pixels ((width / 26 + 1) / 2); 8 vertical units one character
    // height.
    const std::pair<const char*, int> fonts[] = {{"Courier New", 10}, {"MS Sans Serif", 8}, {"Courier New", 8}};
    for (const auto& [face, points] : fonts) {
        const DialogResource resource{600, "Units", 160, 80, {{10, ControlKind::edit, "", 40, 16, 80, 24}}, face, points};
        Dialog dialog(resource);
        const QFontMetrics metrics(dialog.window()->font());
        const int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const int cx = (letters / 26 + 1) / 2;
        const int cy = metrics.height();
        EXPECT_NEAR(cx, letters / 52.0, 0.5) << face;
        const QRect box = dialog.get_control_widget(10)->geometry();
        EXPECT_EQ(box.x(), 10 * cx) << face;
        EXPECT_EQ(box.y(), 2 * cy) << face;
        EXPECT_EQ(box.width(), 20 * cx) << face;
        EXPECT_EQ(box.height(), 3 * cy) << face;
        EXPECT_EQ(dialog.window()->width(), 40 * cx) << face;
        EXPECT_EQ(dialog.window()->height(), 10 * cy) << face;
        EXPECT_EQ(dialog.window()->font().pointSize(), points);
    }
}

TEST_F(DialogTest, FocusGoesBackToAControlById)
{
    dialog.show_modeless();
    EXPECT_TRUE(dialog.set_focus(EDIT_COMBO));
    EXPECT_EQ(dialog.get_focus(), EDIT_COMBO);  // its inner line edit holds the focus
    EXPECT_TRUE(dialog.set_focus(EDIT));
    EXPECT_EQ(dialog.get_focus(), EDIT);
    EXPECT_FALSE(dialog.set_focus(9999));
}

TEST_F(DialogTest, ControlsCarryTheirIdsForTheDriver)
{
    QWidget* edit = dialog.get_control_widget(EDIT);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->property("control_id").toInt(), EDIT);
    EXPECT_EQ(dialog.window()->findChild<QWidget*>("control_101"), edit);
    EXPECT_EQ(dialog.window()->property("dialog_id").toInt(), 500);
    EXPECT_EQ(dialog.window()->windowTitle(), "Test dialog");
}

TEST_F(DialogTest, SettingFromCodeRunsNoCallbackButTheUserDoes)
{
    Recorder recorder;
    recorder.bind(dialog, {EDIT, MULTI, CHECK, RADIO_A, RADIO_B, LIST, MULTI_LIST, COMBO, EDIT_COMBO, UP_DOWN, APPLY});
    dialog.show_modeless();

    dialog.set_text(EDIT, "1.0");
    dialog.set_text(MULTI, "a\nb");
    dialog.set_checked(CHECK, false);
    dialog.set_checked(RADIO_B, true);
    for (int id : {LIST, MULTI_LIST, COMBO, EDIT_COMBO}) {
        dialog.add_item(id, "p");
        dialog.add_item(id, "q");
        dialog.set_selected_index(id, 1);
    }
    dialog.set_item_text(LIST, 0, "r");
    dialog.set_item_selected(MULTI_LIST, 0, true);
    dialog.set_text(EDIT_COMBO, "z");
    dialog.set_range(UP_DOWN, 0, 10);
    dialog.set_position(UP_DOWN, 5);
    dialog.clear_items(MULTI_LIST);
    EXPECT_TRUE(recorder.events.empty());

    EXPECT_TRUE(dialog.user_set_text(EDIT, "2.0"));
    EXPECT_TRUE(dialog.user_set_text(MULTI, "c"));
    EXPECT_TRUE(dialog.user_click(CHECK));
    EXPECT_TRUE(dialog.user_set_checked(RADIO_A, true));
    EXPECT_TRUE(dialog.user_select(LIST, 0));
    EXPECT_TRUE(dialog.user_select(COMBO, 0));
    EXPECT_TRUE(dialog.user_set_text(EDIT_COMBO, "w"));
    EXPECT_TRUE(dialog.user_step(UP_DOWN, 1));
    EXPECT_TRUE(dialog.user_click(APPLY));
    const std::vector<Event> expected{
        {EDIT, ControlEvent::text_changed},   {MULTI, ControlEvent::text_changed},
        {CHECK, ControlEvent::clicked},       {RADIO_A, ControlEvent::clicked},
        {LIST, ControlEvent::selection_changed}, {COMBO, ControlEvent::selection_changed},
        {EDIT_COMBO, ControlEvent::text_changed}, {UP_DOWN, ControlEvent::position_changed},
        {APPLY, ControlEvent::clicked},
    };
    EXPECT_EQ(recorder.events, expected);
    EXPECT_EQ(dialog.get_text(EDIT), "2.0");
    EXPECT_TRUE(dialog.get_checked(CHECK));
    EXPECT_TRUE(dialog.get_checked(RADIO_A));
    EXPECT_FALSE(dialog.get_checked(RADIO_B));
    EXPECT_EQ(dialog.get_position(UP_DOWN), 6);
    EXPECT_EQ(dialog.get_text(BUDDY), "6");
}

TEST_F(DialogTest, UserActionsRespectWhatAUserCanDo)
{
    Recorder recorder;
    recorder.bind(dialog, {EDIT, DISABLED_BUTTON, READ_ONLY, RADIO_A, CHECK, LIST});
    EXPECT_FALSE(dialog.user_set_text(EDIT, "x"));  // not shown yet
    dialog.show_modeless();
    EXPECT_FALSE(dialog.user_click(DISABLED_BUTTON));
    EXPECT_FALSE(dialog.user_set_text(READ_ONLY, "x"));
    EXPECT_FALSE(dialog.user_set_checked(RADIO_A, false));  // a radio is switched off by another
    EXPECT_TRUE(dialog.user_set_checked(CHECK, true));      // already on: no click
    EXPECT_FALSE(dialog.user_select(LIST, 0));              // no such entry
    dialog.set_enabled(EDIT, false);
    EXPECT_FALSE(dialog.user_set_text(EDIT, "x"));
    EXPECT_TRUE(recorder.events.empty());
}

TEST_F(DialogTest, OkAndCancelEndTheDialogWithTheirIds)
{
    for (int id : {1, 2}) {
        dialog.show_modeless();
        EXPECT_TRUE(dialog.is_open());
        EXPECT_TRUE(dialog.user_click(id));
        EXPECT_FALSE(dialog.is_open());
        EXPECT_EQ(dialog.get_end_code(), id);
        EXPECT_FALSE(dialog.window()->isVisible());
    }
    // Other buttons without a callback do nothing.
    dialog.show_modeless();
    dialog.user_click(APPLY);
    EXPECT_TRUE(dialog.is_open());
}

TEST_F(DialogTest, BoundOkAndCloseBoxRunTheCallbackInstead)
{
    Recorder recorder;
    recorder.bind(dialog, {1, 2});
    dialog.show_modeless();
    dialog.user_click(1);
    dialog.window()->close();  // the close box acts as Cancel
    EXPECT_TRUE(dialog.is_open());
    EXPECT_EQ(recorder.events, (std::vector<Event>{{1, ControlEvent::clicked}, {2, ControlEvent::clicked}}));
    dialog.end(7);
    EXPECT_FALSE(dialog.is_open());
    EXPECT_EQ(dialog.get_end_code(), 7);
}

TEST_F(DialogTest, ModalRunDrivenByATimer)
{
    dialog.set_init_callback([](Dialog& d) { d.set_text(EDIT, "from init"); });
    std::string seen;
    QTimer::singleShot(0, [&] {
        Dialog* top = topmost_dialog();
        ASSERT_EQ(top, &dialog);
        seen = top->get_text(EDIT);
        top->user_set_text(EDIT, "typed");
        top->user_click(1);
    });
    EXPECT_EQ(dialog.run_modal(), 1);
    EXPECT_EQ(seen, "from init");
    EXPECT_EQ(dialog.get_text(EDIT), "typed");
    EXPECT_EQ(topmost_dialog(), nullptr);
}

TEST_F(DialogTest, ModalCloseBoxEndsWithCancelUnlessCancelIsDisabled)
{
    QTimer::singleShot(0, [&] { dialog.window()->close(); });
    EXPECT_EQ(dialog.run_modal(), 2);

    dialog.set_enabled(2, false);
    bool still_open = false;
    QTimer::singleShot(0, [&] {
        dialog.window()->close();
        still_open = dialog.is_open();
        dialog.user_click(1);
    });
    EXPECT_EQ(dialog.run_modal(), 1);
    EXPECT_TRUE(still_open);
}

TEST_F(DialogTest, InitCallbackMayEndTheDialogAtOnce)
{
    dialog.set_init_callback([](Dialog& d) { d.end(3); });
    EXPECT_EQ(dialog.run_modal(), 3);
    EXPECT_FALSE(dialog.is_open());
}

TEST_F(DialogTest, CallbackMayReleaseItsOwnDialog)
{
    dialog.set_callback(APPLY, [](Dialog& d, int, ControlEvent) { d.release(); });
    dialog.show_modeless();
    EXPECT_TRUE(dialog.user_click(APPLY));
    EXPECT_FALSE(dialog.is_initialised());
    EXPECT_FALSE(dialog.has_control(EDIT));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A dialog with a tab control and two pages whose controls share ids.
const DialogResource HOST_DIALOG{
    144, "Options", 300, 200,
    {
        {1339, ControlKind::tab_control, "", 5, 5, 290, 160},
        {1353, ControlKind::button, "Set as defaults", 5, 170, 80, 14},
        {2, ControlKind::button, "Cancel", 200, 170, 50, 14},
    },
};
const DialogResource PAGE_ONE{148, nullptr, 280, 140, {{1369, ControlKind::edit, "", 5, 5, 60, 12}}};
const DialogResource PAGE_TWO{
    147, nullptr, 280, 140,
    {{1369, ControlKind::edit, "", 5, 5, 60, 12}, {1343, ControlKind::check_box, "Use last directory", 5, 20, 90, 10}}};

class TabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.set_init_callback([this](Dialog& d) {
            d.add_tab_page(1339, "Default parameters", page_one);
            d.add_tab_page(1339, "Accessories", page_two);
            d.select_tab(1339, 0);
        });
        recorder.bind(host, {1339});
    }
    Dialog host{HOST_DIALOG};
    Dialog page_one{PAGE_ONE};
    Dialog page_two{PAGE_TWO};
    Recorder recorder;
};

TEST_F(TabTest, PagesKeepTheirOwnControlIds)
{
    host.show_modeless();
    EXPECT_EQ(host.get_tab_page(1339, 0), &page_one);
    EXPECT_EQ(host.get_tab_page(1339, 1), &page_two);
    EXPECT_EQ(host.get_tab_page(1339, 2), nullptr);
    EXPECT_EQ(host.get_page(147), &page_two);
    host.get_page(148)->set_text(1369, "0.0138889");
    host.get_page(147)->set_text(1369, "blentrix");
    EXPECT_EQ(page_one.get_text(1369), "0.0138889");
    EXPECT_EQ(page_two.get_text(1369), "blentrix");
    EXPECT_FALSE(host.has_control(1369));
    EXPECT_EQ(host.get_selected_tab(1339), 0);
    EXPECT_TRUE(recorder.events.empty());  // embedding and selecting from code
    EXPECT_EQ(topmost_dialog(), &host);    // pages are never topmost
}

TEST_F(TabTest, UserReachesAPageOnlyThroughItsTab)
{
    host.show_modeless();
    EXPECT_FALSE(page_two.user_click(1343));  // its tab is not shown
    EXPECT_TRUE(host.user_select(1339, 1));
    EXPECT_EQ(recorder.events, (std::vector<Event>{{1339, ControlEvent::selection_changed}}));
    EXPECT_TRUE(page_two.user_click(1343));
    EXPECT_TRUE(page_two.get_checked(1343));
    EXPECT_FALSE(host.user_select(1339, 2));
}

TEST_F(TabTest, PagesOutliveTheirHostAndLeaveItCleanly)
{
    host.show_modeless();
    page_one.release();
    EXPECT_EQ(host.get_tab_page(1339, 0), &page_two);
    EXPECT_EQ(host.get_tab_page(1339, 1), nullptr);
    host.release();
    EXPECT_TRUE(page_two.set_text(1369, "still here"));
    EXPECT_EQ(page_two.get_text(1369), "still here");
    EXPECT_TRUE(recorder.events.empty());
}

TEST(DialogRegistryTest, LiveAndTopmostDialogs)
{
    const std::size_t before = live_dialogs().size();
    Dialog first{TEST_DIALOG};
    {
        Dialog second{HOST_DIALOG};
        EXPECT_EQ(live_dialogs().size(), before + 2);
        EXPECT_EQ(find_live_dialog(144), &second);
        EXPECT_EQ(topmost_dialog(), nullptr);
        first.show_modeless();
        second.show_modeless();
        EXPECT_EQ(topmost_dialog(), &second);
        second.end(2);
        EXPECT_EQ(topmost_dialog(), &first);
    }
    EXPECT_EQ(live_dialogs().size(), before + 1);
    EXPECT_EQ(find_live_dialog(144), nullptr);
    first.release();
    EXPECT_EQ(live_dialogs().size(), before);
    EXPECT_EQ(topmost_dialog(), nullptr);
}

TEST(DialogRegistryTest, ModelessDialogOpenedDuringAModalOneIsTopmost)
{
    Dialog modal{HOST_DIALOG};
    Dialog progress{TEST_DIALOG};
    bool clicked = false;
    progress.set_callback(APPLY, [&](Dialog&, int, ControlEvent) { clicked = true; });
    QTimer::singleShot(0, [&] {
        progress.show_modeless();
        EXPECT_EQ(topmost_dialog(), &progress);
        progress.user_click(APPLY);
        progress.end(0);
        EXPECT_EQ(topmost_dialog(), &modal);
        modal.user_click(2);
    });
    EXPECT_EQ(modal.run_modal(), 2);
    EXPECT_TRUE(clicked);
}

}  // namespace
