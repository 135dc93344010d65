// The style dialogs as the user drives them: "Axis Ticks" with a box that
// does not read, "Post Symbol", "Lines and Colors" and "Fonts", what OK,
// Cancel and closing store, and which of their commands draw the plot again.
#include "common/qt/dialog.h"
#include "pathgraf/app/plot_handles.h"
#include "pathgraf/app/plot_renderer.h"
#include "pathgraf/app/plot_state.h"
#include "pathgraf/app/plot_window.h"
#include "pathgraf/resources/command_ids.h"
#include "pathgraf_test_support.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QListWidget>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

class StyleTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        start();
        open_data(trajectory_fixture("map.dat"));
        ASSERT_TRUE(display_options().data_open);
    }
    PlotMainWindow& window() { return *program_->window; }
    qint64 plot_key() const { return plot_window_handles().plot_bitmap.cacheKey(); }
};

TEST_F(StyleTest, AxisTicksShowsF62AndRefusesABoxThatDoesNotReadOrFit)
{
    const AxisSettings before = axis_settings();
    const qint64 key = plot_key();
    std::vector<bool> open_after;
    when_open([&open_after](Dialog& d) {
        EXPECT_EQ(d.get_text(IDC_GRID_X_MIN), " -2.00");
        EXPECT_EQ(d.get_text(IDC_GRID_Y_MAX), "  1.50");
        EXPECT_EQ(d.get_text(IDC_AXIS_X_STEP), "  0.10");
        EXPECT_EQ(d.get_text(IDC_MAJOR_TICK_STEP), "  0.50");
        EXPECT_EQ(d.get_text(IDC_MAJOR_TICK_LENGTH), "  0.16");
        d.user_set_text(IDC_AXIS_X_MIN, "-1.0");
        d.user_set_text(IDC_AXIS_Y_MAX, "1.2");
        // Unreadable, and a number longer than the box's six characters.
        for (const char* bad : {"abc", "0.123456"}) {
            d.user_set_text(IDC_MINOR_TICK_LENGTH, bad);
            d.user_click(1);
            open_after.push_back(d.is_open());
        }
        d.user_click(2);
    });
    window().handle_command(CMD_AXIS);
    EXPECT_EQ(open_after, std::vector<bool>(2, true));
    ASSERT_EQ(ui_->answers.messages.size(), 2u);
    EXPECT_EQ(ui_->answers.messages[1].text, "Can not read data. Please, check data in boxes");
    // Nothing taken from a refused dialog.
    const AxisSettings& axis = axis_settings();
    EXPECT_EQ(axis.x_min, before.x_min);
    EXPECT_EQ(axis.y_max, before.y_max);
    EXPECT_EQ(axis.minor_tick_length, before.minor_tick_length);
    EXPECT_EQ(plot_key(), key);  // no redraw

    when_open([](Dialog& d) {
        d.user_set_text(IDC_AXIS_X_MIN, "-1.0");
        d.user_set_text(IDC_AXIS_Y_MAX, "1.2");
        d.user_click(1);
    });
    window().handle_command(CMD_AXIS);
    EXPECT_EQ(axis.x_min, -1.0);
    EXPECT_EQ(axis.y_max, 1.2);
    when_open([](Dialog& d) {
        d.user_set_text(IDC_MAJOR_TICK_STEP, "1.0");
        d.user_click(1);
    });
    window().handle_command(CMD_AXIS);
    EXPECT_EQ(axis.major_tick_step, 1.0);
    EXPECT_NE(plot_key(), key);
    // Cancel keeps everything.
    when_open([](Dialog& d) {
        d.user_set_text(IDC_AXIS_X_MIN, "0.5");
        d.user_click(2);
    });
    window().handle_command(CMD_AXIS);
    EXPECT_EQ(axis.x_min, -1.0);
}

// A table over the number boxes of the style dialogs that the arrows hold
// in a range: a typed number outside it shows, in the box, the limit it is
// held to, and that is what OK stores; none is cut or changed unseen.
TEST_F(StyleTest, EveryArrowBoxShowsTheLimitATypedNumberIsHeldTo)
{
    load_post(trajectory_fixture("map.pos"));
    struct Row {
        int command;
        int box;
        const char* typed;
        const char* shown;
    };
    const Row rows[] = {
        {CMD_POST, IDC_SYMBOL_SIZE, "75", "50"},         {CMD_POST, IDC_SYMBOL_SIZE, "-3", "0"},
        {CMD_POST, IDC_SYMBOL_THICK, "1000", "50"},      {CMD_LINE_STYLE, IDC_TRAJECTORY_WIDTH, "51", "50"},
        {CMD_LINE_STYLE, IDC_BOND_WIDTH, "-1", "0"},     {CMD_LINE_STYLE, IDC_SURFACE_WIDTH, "999", "50"},
        {CMD_LINE_STYLE, IDC_FRAME_WIDTH, "60", "50"},   {CMD_LINE_STYLE, IDC_USER_LINE_WIDTH, "70", "50"},
        {CMD_LINE_STYLE, IDC_USER_LINE_DASH, "91", "90"}, {CMD_LINE_STYLE, IDC_USER_LINE_DASH, "-5", "0"},
    };
    for (const Row& row : rows) {
        std::string shown;
        when_open([&](Dialog& d) {
            d.user_set_text(row.box, row.typed);
            shown = d.get_text(row.box);
            d.user_click(1);
        });
        window().handle_command(row.command);
        EXPECT_EQ(shown, row.shown) << row.box << " typed " << row.typed;
    }
    const StyleSettings& style = style_settings();
    EXPECT_EQ(style.symbol_thickness, 50);
    EXPECT_EQ(style.trajectory_path_width, 50);
    EXPECT_EQ(style.bond_path_width, 0);
    EXPECT_EQ(style.user_line_dash, 0);
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
}

TEST_F(StyleTest, PostSymbolStoresItsWorkingValuesOnOkOnly)
{
    load_post(trajectory_fixture("map.pos"));
    ui_->answers.colour_answers.push_back(0x00FF00u);
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_POST_SYMBOL);
        EXPECT_EQ(d.get_item_count(IDC_SYMBOL_ENTRIES), 2);
        EXPECT_EQ(d.get_item_count(IDC_AVAILABLE_SYMBOLS), 8);
        EXPECT_EQ(d.get_selected_index(IDC_SYMBOL_ENTRIES), 0);
        // The critical point's entry gets symbol 3 by a double click.
        d.user_select(IDC_SYMBOL_ENTRIES, 1);
        auto* symbols = qobject_cast<QListWidget*>(d.get_control_widget(IDC_AVAILABLE_SYMBOLS));
        emit symbols->itemDoubleClicked(symbols->item(2));
        d.user_step(IDC_SYMBOL_THICK_SPIN, 3);
        d.user_set_text(IDC_SYMBOL_SIZE, "0");
        d.user_click(IDC_SYMBOL_COLOR);
        d.user_click(1);
    });
    window().handle_command(CMD_POST);
    const StyleSettings& style = style_settings();
    EXPECT_EQ(style.cp_symbol, 3);
    EXPECT_EQ(style.atom_symbol, 4);
    EXPECT_EQ(style.symbol_thickness, 5);
    EXPECT_EQ(style.symbol_size, 0.0f);  // the symbols vanish
    EXPECT_EQ(style.symbol_colour, 0x00FF00u);

    ui_->answers.colour_answers.push_back(0x0000FFu);
    when_open([](Dialog& d) {
        d.user_step(IDC_SYMBOL_THICK_SPIN, 10);
        d.user_click(IDC_SYMBOL_COLOR);
        d.user_click(2);
    });
    window().handle_command(CMD_POST);
    EXPECT_EQ(style.symbol_thickness, 5);
    EXPECT_EQ(style.symbol_colour, 0x00FF00u);
}

// Where the view draws item `row` of a list, in its viewport.
QRect item_rect(Dialog& d, int id, int row)
{
    auto* list = qobject_cast<QListWidget*>(d.get_control_widget(id));
    return list ? list->visualRect(list->model()->index(row, 0)) : QRect();
}

TEST_F(StyleTest, PostSymbolShowsEverySymbolInOneRowWithoutScrolling)
{
    load_post(trajectory_fixture("map.pos"));
    when_open([](Dialog& d) {
        for (auto [id, last] : {std::pair{IDC_SYMBOL_ENTRIES, 1}, std::pair{IDC_AVAILABLE_SYMBOLS, 7}}) {
            auto* list = qobject_cast<QListWidget*>(d.get_control_widget(id));
            ASSERT_NE(list, nullptr);
            ASSERT_TRUE(list->isVisible());
            const QRect first = item_rect(d, id, 0);
            const QRect final = item_rect(d, id, last);
            EXPECT_EQ(final.top(), first.top()) << "list " << id << ": the last item wrapped";
            EXPECT_TRUE(list->viewport()->rect().contains(final)) << "list " << id << ": the last item is hidden";
            EXPECT_GE(first.width(), 8) << id;
            EXPECT_GE(first.height(), 8) << id;
            EXPECT_FALSE(list->verticalScrollBar()->isVisible()) << id;
        }
        d.user_click(2);
    });
    window().handle_command(CMD_POST);
}

TEST_F(StyleTest, LinesAndColorsRedrawsOnlyWhenAPathOrTheFrameChanged)
{
    const qint64 key = plot_key();
    ui_->answers.colour_answers.push_back(0x00AA00u);
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_text(IDC_TRAJECTORY_WIDTH), "2");
        d.user_step(IDC_USER_LINE_WIDTH_SPIN, 2);
        d.user_step(IDC_USER_LINE_DASH_SPIN, 100);  // held at 90
        d.user_click(IDC_USER_LINE_COLOR);
        d.user_click(1);
    });
    window().handle_command(CMD_LINE_STYLE);
    StyleSettings& style = style_settings();
    EXPECT_EQ(style.user_line_width, 4);
    EXPECT_EQ(style.user_line_dash, 90);
    EXPECT_EQ(style.user_line_colour, 0x00AA00u);
    EXPECT_EQ(plot_key(), key);  // new user lines only: no redraw

    ui_->answers.colour_answers.push_back(0x123456u);
    when_open([](Dialog& d) {
        d.user_step(IDC_TRAJECTORY_WIDTH_SPIN, -1);
        d.user_click(IDC_BOND_COLOR);
        d.user_click(1);
    });
    window().handle_command(CMD_LINE_STYLE);
    EXPECT_EQ(style.trajectory_path_width, 1);
    EXPECT_EQ(style.bond_path_colour, 0x123456u);
    EXPECT_NE(plot_key(), key);

    when_open([](Dialog& d) {
        d.user_step(IDC_FRAME_WIDTH_SPIN, 60);  // held at 50
        d.user_click(2);
    });
    window().handle_command(CMD_LINE_STYLE);
    EXPECT_EQ(style.frame_width, 2);
}

TEST_F(StyleTest, FontsAreChangedByThePickerAndOkRedraws)
{
    FontChoice chosen;
    chosen.face_name = "DejaVu Serif";
    chosen.height = -40;
    chosen.colour = 0x0000FFu;
    ui_->answers.font_answers.push_back(chosen);
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_item_count(IDC_AXIS_FONT_SAMPLE), 1);
        d.user_click(IDC_LABEL_FONT);
        d.end(2);  // closed: what was chosen stays
    });
    const qint64 key = plot_key();
    window().handle_command(CMD_FONT);
    EXPECT_EQ(plot_fonts().label_font.face_name, "DejaVu Serif");
    EXPECT_EQ(plot_fonts().label_font.height, -40);
    EXPECT_EQ(style_settings().label_font_colour, 0x0000FFu);
    EXPECT_EQ(plot_fonts().axis_font.height, -34);
    EXPECT_EQ(plot_key(), key);

    chosen.height = -20;
    ui_->answers.font_answers.push_back(chosen);
    ui_->answers.font_answers.push_back(std::nullopt);  // Cancel in the picker
    when_open([](Dialog& d) {
        d.user_click(IDC_AXIS_FONT);
        d.user_click(IDC_TEXT_FONT);
        d.user_click(1);
    });
    window().handle_command(CMD_FONT);
    EXPECT_EQ(plot_fonts().axis_font.height, -20);
    EXPECT_EQ(plot_fonts().text_font.height, -48);
    EXPECT_NE(plot_key(), key);
    // A smaller axis font takes less room for the Y labels.
    EXPECT_LT(plot_transform().char_height, 34);
}

// Each sample, in the font it is drawn in, fits inside its item, and the
// item inside the list; the lists and buttons lie in the dialog apart.
void expect_font_samples_whole(Dialog& d)
{
    const struct {
        int id;
        const FontChoice* font;
        const char* text;
    } samples[] = {
        {IDC_AXIS_FONT_SAMPLE, &plot_fonts().axis_font, " 01234567 - Axis lable font"},
        {IDC_LABEL_FONT_SAMPLE, &plot_fonts().label_font, " C1 N2 O3 - Post lable font"},
        {IDC_TEXT_FONT_SAMPLE, &plot_fonts().text_font, " ABCD abcd - Text font"},
    };
    const QRect dialog_area = d.window()->rect();
    std::vector<QRect> taken;
    for (const auto& sample : samples) {
        auto* list = qobject_cast<QListWidget*>(d.get_control_widget(sample.id));
        ASSERT_NE(list, nullptr);
        const QRect item = list->visualRect(list->model()->index(0, 0));
        const QFontMetrics metrics(plot_qfont(font_at_view_size(*sample.font)));
        const QString text = QString::fromUtf8(sample.text);
        EXPECT_GE(item.width(), metrics.horizontalAdvance(text)) << sample.text << " is cut at the right";
        EXPECT_GE(item.height(), metrics.height()) << sample.text << " is cut at top or bottom";
        EXPECT_TRUE(list->viewport()->rect().contains(item)) << sample.text;
        taken.push_back(list->geometry());
    }
    for (int id : {IDC_AXIS_FONT, IDC_LABEL_FONT, IDC_TEXT_FONT, 1})
        taken.push_back(d.get_control_widget(id)->geometry());
    for (std::size_t a = 0; a < taken.size(); ++a) {
        EXPECT_TRUE(dialog_area.contains(taken[a])) << "control " << a << " lies outside the dialog";
        for (std::size_t b = a + 1; b < taken.size(); ++b)
            EXPECT_FALSE(taken[a].intersects(taken[b])) << "controls " << a << " and " << b << " overlap";
    }
}

TEST_F(StyleTest, FontSamplesShowWholeOnALargeViewAndAfterALargerFont)
{
    // Zoomed in to the full size: the samples are drawn at their size on
    // the view, the largest they get.
    ViewState& view = view_state();
    view.zoom_divisor = 1;
    view.view_width = view.full_width;
    view.view_height = view.full_height;
    ASSERT_EQ(view.view_width, 2400);
    FontChoice larger = plot_fonts().text_font;
    larger.height = -90;
    ui_->answers.font_answers.push_back(larger);
    when_open([](Dialog& d) {
        expect_font_samples_whole(d);
        d.user_click(IDC_TEXT_FONT);
        QCoreApplication::processEvents();
        expect_font_samples_whole(d);
        d.user_click(1);
    });
    window().handle_command(CMD_FONT);
    EXPECT_EQ(plot_fonts().text_font.height, -90);
}

// Heights by hand: h * view / full + 0.5, truncated toward zero; 0 -> -1.
TEST(FontAtViewSize, ScalesTheHeightToTheViewAndNeverGivesZero)
{
    struct Case {
        int height, view_width, full_width, expected;
    };
    const Case cases[] = {
        {-48, 2400, 2400, -47},  // full size: -47.5 truncates to -47
        {-48, 600, 2400, -11},   // -12 + 0.5 truncates to -11
        {30, 1200, 2400, 15},    // 15.5 truncates to 15
        {-34, 1000, 2400, -13},  // -14.17 + 0.5 = -13.67
        {-1, 100, 2400, -1},     // 0.46 truncates to 0, taken as -1
        {2, 100, 2400, -1},      // 0.58 truncates to 0, taken as -1
        {-48, 0, 0, -1},         // no view yet
    };
    for (const Case& c : cases) {
        reset_plot_state();
        view_state().view_width = c.view_width;
        view_state().full_width = c.full_width;
        FontChoice font;
        font.face_name = "Courier New";
        font.height = c.height;
        const FontChoice scaled = font_at_view_size(font);
        EXPECT_EQ(scaled.height, c.expected) << c.height << " at " << c.view_width << "/" << c.full_width;
        EXPECT_EQ(scaled.face_name, "Courier New");
    }
    reset_plot_state();
}

}  // namespace
