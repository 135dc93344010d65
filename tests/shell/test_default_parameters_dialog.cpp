// "Default parameter values": what it shows, OK and Cancel, the frame and
// derivative switches that some properties hold, and unreadable boxes.
#include "keldana/shell/default_parameters_dialog.h"

#include "keldana/resources/settings_dialogs.h"

#include "settings_dialog_fixture.h"

namespace {

using namespace settings_test;

class DefaultParametersDialogTest : public SettingsDialogTest {};

TEST_F(DefaultParametersDialogTest, ShowsTheSettingsWithTheirFormats)
{
    CalculationSettings& settings = run_settings().calculation;
    settings.global_frame = 0;
    settings.numerical_derivatives = 1;
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_DEFAULT_PARAMETERS);
        const std::pair<int, const char*> boxes[] = {
            {IDC_SETTING_EPS, " 0.000010"}, {IDC_SETTING_NSTEP, "  50"},   {IDC_SETTING_SCALE, " 0.050000"},
            {IDC_SETTING_DS, " 0.0100"},    {IDC_SETTING_DR, " 0.001000"}, {IDC_SETTING_RCUT, "10.000000"},
            {IDC_SETTING_LPOLE, "   4"},
        };
        for (const auto& [id, text] : boxes)
            EXPECT_EQ(d.get_text(id), text) << id;
        EXPECT_TRUE(d.get_checked(IDC_LOCAL_FRAME));
        EXPECT_FALSE(d.get_checked(IDC_GLOBAL_FRAME));
        EXPECT_FALSE(d.get_checked(IDC_ANALYTIC));
        EXPECT_TRUE(d.get_checked(IDC_NUMERICAL));
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    run_default_parameters_dialog();
}

TEST_F(DefaultParametersDialogTest, OkTakesTheBoxesAndSwitchesCancelNothing)
{
    CalculationSettings& settings = run_settings().calculation;
    for (bool ok : {false, true}) {
        when_open([ok](Dialog& d) {
            d.user_set_text(IDC_SETTING_EPS, "2e-5");
            d.user_set_text(IDC_SETTING_NSTEP, "30");
            d.user_set_text(IDC_SETTING_SCALE, "0.1");
            d.user_set_text(IDC_SETTING_DS, "0.005");
            d.user_set_text(IDC_SETTING_DR, "0.002");
            d.user_set_text(IDC_SETTING_RCUT, "6");
            d.user_set_text(IDC_SETTING_LPOLE, "0");
            d.user_set_checked(IDC_LOCAL_FRAME, true);
            d.user_click(IDC_ANALYTIC);
            EXPECT_TRUE(d.get_checked(IDC_ANALYTIC));
            EXPECT_FALSE(d.get_checked(IDC_NUMERICAL));
            d.user_click(ok ? IDC_SETTINGS_OK : IDC_SETTINGS_CANCEL);
        });
        run_default_parameters_dialog();
        if (!ok) {
            EXPECT_EQ(settings.eps, 1.0e-5);
            EXPECT_EQ(settings.lPole, 4);
            EXPECT_EQ(settings.global_frame, 1);
            EXPECT_EQ(settings.numerical_derivatives, 1);
        }
    }
    EXPECT_EQ(settings.eps, 2.0e-5);
    EXPECT_EQ(settings.nStep, 30);
    EXPECT_EQ(settings.Scale, 0.1);
    EXPECT_EQ(settings.ds, 0.005);
    EXPECT_EQ(settings.dr, 0.002);
    EXPECT_EQ(settings.rCut, 6.0);
    EXPECT_EQ(settings.lPole, 0);
    EXPECT_EQ(settings.global_frame, 0);
    EXPECT_EQ(settings.numerical_derivatives, 0);
    // Nothing goes to the stored settings.
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "eps"), std::nullopt);
}

TEST_F(DefaultParametersDialogTest, SomePropertiesHoldTheFrameOrTheDerivatives)
{
    const struct {
        int code;
        bool local_allowed;
        bool analytic_allowed;
    } cases[] = {
        {3, true, true},    // RHO
        {16, false, true},  // NPOT: the global frame only
        {17, true, false},  // SigRHO: numerical derivatives only
        {18, true, false},  // SigLAPL
    };
    for (const auto& c : cases) {
        property_selection().property_code = c.code;
        when_open([c](Dialog& d) {
            d.user_set_checked(IDC_LOCAL_FRAME, true);
            EXPECT_EQ(d.get_checked(IDC_LOCAL_FRAME), c.local_allowed) << c.code;
            EXPECT_EQ(d.get_checked(IDC_GLOBAL_FRAME), !c.local_allowed) << c.code;
            d.user_click(IDC_ANALYTIC);
            EXPECT_EQ(d.get_checked(IDC_ANALYTIC), c.analytic_allowed) << c.code;
            EXPECT_EQ(d.get_checked(IDC_NUMERICAL), !c.analytic_allowed) << c.code;
            d.user_click(IDC_NUMERICAL);
            EXPECT_TRUE(d.get_checked(IDC_NUMERICAL));
            EXPECT_FALSE(d.get_checked(IDC_ANALYTIC));
            d.user_click(IDC_SETTINGS_CANCEL);
        });
        run_default_parameters_dialog();
    }
}

TEST_F(DefaultParametersDialogTest, ABoxThatDoesNotReadKeepsTheDialogOpen)
{
    const std::pair<int, const char*> cases[] = {
        {IDC_SETTING_EPS, "1.0e-5x"}, {IDC_SETTING_NSTEP, "many"}, {IDC_SETTING_NSTEP, "0"},
        {IDC_SETTING_SCALE, ""},      {IDC_SETTING_RCUT, "0.0"},   {IDC_SETTING_LPOLE, "-1"},
    };
    for (const auto& [bad_id, bad_text] : cases) {
        ui_->answers.messages.clear();
        when_open([bad_id = bad_id, bad_text = bad_text](Dialog& d) {
            d.user_set_text(IDC_SETTING_DR, "0.004");
            d.user_set_text(bad_id, bad_text);
            d.user_click(IDC_SETTINGS_OK);
            EXPECT_TRUE(d.is_open()) << bad_text;
            EXPECT_EQ(d.get_focus(), bad_id) << bad_text;
            d.user_click(IDC_SETTINGS_CANCEL);
        });
        run_default_parameters_dialog();
        EXPECT_EQ(messages(), std::vector<std::string>{BOX_ERROR}) << bad_text;
        EXPECT_EQ(run_settings().calculation.dr, 0.001) << bad_text;
    }
}

TEST_F(DefaultParametersDialogTest, AnUntouchedBoxKeepsAValueItsFormatRounds)
{
    run_settings().calculation.eps = 4.0e-8;  // shown as " 0.000000"
    run_settings().calculation.dr = 0.0012345678;
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_text(IDC_SETTING_EPS), " 0.000000");
        d.user_click(IDC_SETTINGS_OK);
    });
    run_default_parameters_dialog();
    EXPECT_EQ(run_settings().calculation.eps, 4.0e-8);
    EXPECT_EQ(run_settings().calculation.dr, 0.0012345678);
    EXPECT_TRUE(messages().empty());
}

}  // namespace
