// The "Options" and "Wavefunctions Bank" dialogs as the user drives them:
// what they show, the program defaults, storing, unreadable boxes, the
// browse buttons, the font, and the bank read again afterwards.
#include "keldana/shell/options_dialog.h"

#include "keldana/model/radial_tables.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/resources/settings_dialogs.h"
#include "keldana/shell/bank_dialog.h"

#include "settings_dialog_fixture.h"

namespace {

using namespace settings_test;

Dialog& parameters_page(Dialog& host) { return *host.get_page(IDD_OPTIONS_PARAMETERS); }
Dialog& accessories_page(Dialog& host) { return *host.get_page(IDD_OPTIONS_ACCESSORIES); }

class OptionsDialogTest : public SettingsDialogTest {};

TEST_F(OptionsDialogTest, ShowsTheSettingsWithTheirFormats)
{
    RunSettings& settings = run_settings();
    settings.paths.work_dir_setting = "/data/work";
    settings.paths.wavefun_bank_path = "/data/bank.bnk";
    settings.paths.converter_path = "/data/blentrix";
    settings.paths.lwdir = 1;
    text_pane_font().face_name = "Courier New";
    when_open([](Dialog& host) {
        EXPECT_EQ(host.get_resource_id(), IDD_OPTIONS);
        EXPECT_EQ(host.get_selected_tab(IDC_OPTIONS_TABS), 0);
        const std::pair<int, const char*> boxes[] = {
            {IDC_SETTING_EPS, " 0.0000100"},   {IDC_SETTING_NSTEP, "  50"},       {IDC_SETTING_SCALE, " 0.0500000"},
            {IDC_SETTING_DS, " 0.0100"},       {IDC_SETTING_DR, " 0.0010000"},    {IDC_SETTING_RCUT, "10.0000000"},
            {IDC_SETTING_LPOLE, "   4"},       {IDC_SETTING_LAMBDA, " 0.0138889"}, {IDC_SETTING_K, " 0.1666667"},
        };
        for (const auto& [id, text] : boxes)
            EXPECT_EQ(parameters_page(host).get_text(id), text) << id;
        Dialog& page = accessories_page(host);
        EXPECT_EQ(page.get_text(IDC_WORK_DIR), "/data/work");
        EXPECT_FALSE(page.is_enabled(IDC_WORK_DIR));
        EXPECT_TRUE(page.get_checked(IDC_USE_LAST_DIRECTORY));
        EXPECT_EQ(page.get_text(IDC_CURRENT_BANK), "/data/bank.bnk");
        EXPECT_EQ(page.get_item_count(IDC_FONT_FAMILY), 1);
        EXPECT_EQ(page.get_item_text(IDC_FONT_FAMILY, 0), "Courier New");
        EXPECT_EQ(page.get_text(IDC_CONVERTER_PATH), "/data/blentrix");
        // Browsing moves no working directory while the dialog runs.
        EXPECT_FALSE(run_settings().paths.follow_dialog_directory);
        host.user_click(IDC_SETTINGS_CANCEL);
    });
    run_options_dialog();
    EXPECT_TRUE(run_settings().paths.follow_dialog_directory);
}

TEST_F(OptionsDialogTest, ProgramDefaultsThenCancelChangeNothing)
{
    RunSettings& settings = run_settings();
    settings.calculation.eps = 2.0e-5;
    settings.calculation.nStep = 80;
    const CalculationSettings before = settings.calculation;
    when_open([](Dialog& host) {
        Dialog& page = parameters_page(host);
        EXPECT_TRUE(page.user_click(IDC_LOAD_PROGRAM_DEFAULTS));
        const std::pair<int, const char*> boxes[] = {
            {IDC_SETTING_EPS, " 0.000010"},  {IDC_SETTING_NSTEP, "  50"},     {IDC_SETTING_SCALE, " 0.050000"},
            {IDC_SETTING_DS, " 0.0100"},     {IDC_SETTING_DR, " 0.001000"},   {IDC_SETTING_RCUT, "10.000000"},
            {IDC_SETTING_LPOLE, "   4"},     {IDC_SETTING_LAMBDA, " 0.013889"}, {IDC_SETTING_K, " 0.166667"},
        };
        for (const auto& [id, text] : boxes)
            EXPECT_EQ(page.get_text(id), text) << id;
        host.user_click(IDC_SETTINGS_CANCEL);
    });
    run_options_dialog();
    EXPECT_EQ(settings.calculation.eps, before.eps);
    EXPECT_EQ(settings.calculation.nStep, before.nStep);
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "eps"), std::nullopt);
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "nStep"), std::nullopt);
}

TEST_F(OptionsDialogTest, SetAsDefaultsStoresTheBoxesAndMakesThemTheSettings)
{
    const std::string work = directory_.string();
    const std::string bank = (fs::path(KD_RUNTIME_DIR) / "wavefSCM.bnk").string();
    when_open([work, bank](Dialog& host) {
        Dialog& page = parameters_page(host);
        page.user_click(IDC_LOAD_PROGRAM_DEFAULTS);
        page.user_set_text(IDC_SETTING_EPS, "1e-6");  // stored so that it reads back
        page.user_set_text(IDC_SETTING_NSTEP, "75");
        page.user_set_text(IDC_SETTING_RCUT, " 8.5");
        page.user_set_text(IDC_SETTING_K, "0");
        EXPECT_TRUE(host.user_select(IDC_OPTIONS_TABS, 1));
        Dialog& other = accessories_page(host);
        other.user_set_text(IDC_WORK_DIR, work);
        other.user_set_text(IDC_CURRENT_BANK, bank);
        other.user_set_text(IDC_CONVERTER_PATH, "/data/blentrix");
        other.user_set_checked(IDC_USE_LAST_DIRECTORY, true);
        EXPECT_FALSE(other.is_enabled(IDC_WORK_DIR));
        EXPECT_TRUE(host.user_click(IDC_SET_AS_DEFAULTS));
        EXPECT_FALSE(host.is_open());
    });
    run_options_dialog();

    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "eps"), "0.000001");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "Scale"), "0.050000");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "rCut"), "8.5");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "coeff"), "0");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "elambda"), "0.013889");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "WavefunBank"), bank);
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "mConvertor"), "/data/blentrix");
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "WorkDir"), work);
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "nStep"), 75u);
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "lPole"), 4u);
    EXPECT_EQ(read_setting_dword(OPTIONS_KEY, "lwdir"), 1u);

    const RunSettings& settings = run_settings();
    EXPECT_EQ(settings.calculation.eps, 1.0e-6);
    EXPECT_EQ(settings.calculation.nStep, 75);
    EXPECT_EQ(settings.calculation.rCut, 8.5);
    EXPECT_EQ(settings.calculation.Scale, 0.05);
    EXPECT_EQ(settings.paths.wavefun_bank_path, bank);
    EXPECT_EQ(settings.paths.lwdir, 1);
    EXPECT_EQ(property_selection().elambda, 0.013889);
    EXPECT_EQ(property_selection().coeff, 0.0);
    EXPECT_TRUE(messages().empty());
}

TEST_F(OptionsDialogTest, ABoxThatDoesNotReadKeepsTheDialogOpen)
{
    const std::pair<int, const char*> cases[] = {
        {IDC_SETTING_EPS, "abc"}, {IDC_SETTING_NSTEP, "5.5"}, {IDC_SETTING_DR, "0"},   {IDC_SETTING_LPOLE, "7"},
        {IDC_SETTING_RCUT, "-1"}, {IDC_SETTING_DS, " "},      {IDC_SETTING_K, "x"},   {IDC_SETTING_LAMBDA, "-0.1"},
    };
    for (const auto& [bad_id, bad_text] : cases) {
        ui_->answers.messages.clear();
        when_open([bad_id = bad_id, bad_text = bad_text](Dialog& host) {
            host.select_tab(IDC_OPTIONS_TABS, 1);
            Dialog& page = parameters_page(host);
            page.set_text(bad_id, bad_text);
            host.user_click(IDC_SET_AS_DEFAULTS);
            EXPECT_TRUE(host.is_open());
            EXPECT_EQ(host.get_selected_tab(IDC_OPTIONS_TABS), 0);
            host.user_click(IDC_SETTINGS_CANCEL);
        });
        run_options_dialog();
        EXPECT_EQ(messages(), std::vector<std::string>{BOX_ERROR}) << bad_text;
        EXPECT_EQ(read_setting_string(OPTIONS_KEY, "eps"), std::nullopt) << bad_text;
    }
    EXPECT_EQ(run_settings().calculation.eps, 1.0e-5);
}

TEST_F(OptionsDialogTest, AnUntouchedBoxKeepsAValueItsFormatRounds)
{
    run_settings().calculation.eps = 3.0e-9;  // shown as " 0.0000000"
    when_open([](Dialog& host) { host.user_click(IDC_SET_AS_DEFAULTS); });
    run_options_dialog();
    EXPECT_EQ(run_settings().calculation.eps, 3.0e-9);
    EXPECT_EQ(parse_stored_number(read_setting_string(OPTIONS_KEY, "eps").value_or("")), 3.0e-9);
}

TEST_F(OptionsDialogTest, UseLastDirectoryChangesOnlyWithSetAsDefaults)
{
    when_open([](Dialog& host) {
        host.user_select(IDC_OPTIONS_TABS, 1);
        Dialog& page = accessories_page(host);
        EXPECT_TRUE(page.is_enabled(IDC_WORK_DIR));
        page.user_set_checked(IDC_USE_LAST_DIRECTORY, true);
        EXPECT_FALSE(page.is_enabled(IDC_WORK_DIR));
        page.user_set_checked(IDC_USE_LAST_DIRECTORY, false);
        EXPECT_TRUE(page.is_enabled(IDC_WORK_DIR));
        page.user_set_checked(IDC_USE_LAST_DIRECTORY, true);
        host.user_click(IDC_SETTINGS_CANCEL);
    });
    run_options_dialog();
    EXPECT_EQ(run_settings().paths.lwdir, 0);
}

TEST_F(OptionsDialogTest, BrowsingLeavesTheWorkingDirectory)
{
    const std::string bank = (fs::path(KD_RUNTIME_DIR) / "wavefSCM.bnk").string();
    const std::string converter = (directory_ / "blentrix").string();
    ui_->answers.file_answers = {bank, converter};
    const std::string working = run_settings().file_dialog.working_directory;
    when_open([bank, converter](Dialog& host) {
        host.user_select(IDC_OPTIONS_TABS, 1);
        Dialog& page = accessories_page(host);
        EXPECT_TRUE(page.user_click(IDC_BROWSE_BANK));
        EXPECT_EQ(page.get_text(IDC_CURRENT_BANK), bank);
        EXPECT_TRUE(page.user_click(IDC_BROWSE_CONVERTER));
        EXPECT_EQ(page.get_text(IDC_CONVERTER_PATH), converter);
        host.user_click(IDC_SETTINGS_CANCEL);
    });
    run_options_dialog();

    const auto& requests = ui_->answers.file_requests;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].description, "Wavefunctions Bank(*.bnk)");
    EXPECT_EQ(requests[0].pattern, "*.bnk");
    EXPECT_EQ(requests[0].initial_dir, KD_RUNTIME_DIR);  // the start-up directory
    // Programs have no extension: the first filter lists what may run.
    EXPECT_EQ(requests[1].description, "Programs (executable files)");
    EXPECT_EQ(requests[1].pattern, "*");
    EXPECT_TRUE(requests[1].executables_only);
    EXPECT_TRUE(requests[1].all_files);
    EXPECT_EQ(requests[1].initial_dir, working);
    EXPECT_EQ(run_settings().file_dialog.working_directory, working);
    EXPECT_EQ(run_settings().paths.converter_path, "");  // Cancel
}

TEST_F(OptionsDialogTest, AChosenFontIsStoredOnlyBySetAsDefaults)
{
    FontChoice chosen;
    chosen.face_name = "DejaVu Sans Mono";
    chosen.height = -15;
    chosen.colour = 0x00336699;
    for (bool save : {false, true}) {
        ui_->answers.font_answers.push_back(chosen);
        when_open([save](Dialog& host) {
            host.user_select(IDC_OPTIONS_TABS, 1);
            Dialog& page = accessories_page(host);
            EXPECT_TRUE(page.user_click(IDC_CHOOSE_FONT));
            EXPECT_EQ(page.get_item_text(IDC_FONT_FAMILY, 0), "DejaVu Sans Mono");
            host.user_click(save ? IDC_SET_AS_DEFAULTS : IDC_SETTINGS_CANCEL);
        });
        run_options_dialog();
        if (!save) {
            EXPECT_EQ(text_pane_font().face_name, "");
            EXPECT_EQ(read_setting_string(FONT_KEY, "FaceName"), std::nullopt);
        }
    }
    EXPECT_EQ(text_pane_font().face_name, "DejaVu Sans Mono");
    EXPECT_EQ(text_pane_font().height, -15);
    EXPECT_EQ(read_setting_string(FONT_KEY, "FaceName"), "DejaVu Sans Mono");
    EXPECT_EQ(read_setting_dword(FONT_KEY, "rgbColors"), 0x00336699u);
}

class BankDialogTest : public SettingsDialogTest {};

TEST_F(BankDialogTest, OkSetsThePathOfTheRunOnly)
{
    run_settings().paths.wavefun_bank_path = "/data/old.bnk";
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_WAVEFUNCTION_BANK);
        EXPECT_EQ(d.get_text(IDC_BANK_FILE), "/data/old.bnk");
        d.user_set_text(IDC_BANK_FILE, "/data/new.bnk");
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    EXPECT_FALSE(run_wavefunction_bank_dialog());
    EXPECT_EQ(run_settings().paths.wavefun_bank_path, "/data/old.bnk");

    const std::string bank = (fs::path(KD_RUNTIME_DIR) / "wavefSCM.bnk").string();
    ui_->answers.file_answers.push_back(bank);
    when_open([bank](Dialog& d) {
        EXPECT_TRUE(d.user_click(IDC_BANK_BROWSE));
        EXPECT_EQ(d.get_text(IDC_BANK_FILE), bank);
        d.user_click(IDC_SETTINGS_OK);
    });
    EXPECT_TRUE(run_wavefunction_bank_dialog());
    EXPECT_EQ(run_settings().paths.wavefun_bank_path, bank);
    ASSERT_EQ(ui_->answers.file_requests.size(), 1u);
    EXPECT_EQ(ui_->answers.file_requests[0].description, "Wavefunctions bank (*.bnk)");
    EXPECT_EQ(ui_->answers.file_requests[0].initial_dir, KD_RUNTIME_DIR);
    EXPECT_EQ(run_settings().file_dialog.working_directory, directory_.string());
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "WavefunBank"), std::nullopt);
}

TEST_F(BankDialogTest, TheCommandReadsTheChosenBankAgain)
{
    load_two_carbons();
    ASSERT_EQ(bank_loaded(), 1);
    const int type = radial_lookup_tables().distinct_type[1];
    const int functions = wavefunction_bank().function_count[type];

    // Banks that are refused: each its message, and the working bank, its
    // path and its tables stay.
    const std::string working_path = run_settings().paths.wavefun_bank_path;
    const std::vector<double> tables = radial_lookup_tables().orbital_product_sum;
    struct RefusedBank {
        std::string path, message;
        bool at_close;  // refused by the dialog, which stays open
    };
    const RefusedBank refused[] = {
        {std::string(KD_TEST_DATA_DIR) + "/fixtures/loader/bank_hydrogen_only.bnk", "No atomic number for atom",
         false},
        {"/dev/zero", "not a regular file", true},
        {directory_.string(), "not a regular file", true},
        {(directory_ / "no such bank.bnk").string(), "does not exist", true},
    };
    for (const RefusedBank& bank : refused) {
        SCOPED_TRACE(bank.path);
        ui_->answers.messages.clear();
        when_open([&bank](Dialog& d) {
            d.user_set_text(IDC_BANK_FILE, bank.path);
            d.user_click(IDC_SETTINGS_OK);
            EXPECT_EQ(d.is_open(), bank.at_close);
            if (d.is_open())
                d.user_click(IDC_SETTINGS_CANCEL);
        });
        run_change_wavefunction_bank_command();
        EXPECT_EQ(bank_loaded(), 1);
        EXPECT_EQ(wavefunction_bank().function_count[type], functions);
        EXPECT_TRUE(radial_lookup_tables().orbital_product_sum == tables);
        EXPECT_EQ(run_settings().paths.wavefun_bank_path, working_path);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_NE(messages()[0].find(bank.message), std::string::npos) << messages()[0];
        EXPECT_EQ(job_control().busy_count, 0);
    }

    when_open([](Dialog& d) {
        d.user_set_text(IDC_BANK_FILE, "");  // the program's own bank
        d.user_click(IDC_SETTINGS_OK);
    });
    run_change_wavefunction_bank_command();
    EXPECT_EQ(bank_loaded(), 1);
    EXPECT_EQ(wavefunction_bank().function_count[type], functions);
}

TEST_F(BankDialogTest, OptionsReadTheLoadedBankAgainAndTheSphericalPotentialsWithIt)
{
    load_two_carbons();
    ASSERT_TRUE(build_spherical_potential_tables());
    ui_->progress_titles.clear();
    wavefunction_bank().function_count[radial_lookup_tables().distinct_type[1]] = 0;  // spoilt
    when_open([](Dialog& host) { host.user_click(IDC_SETTINGS_CANCEL); });
    run_options_command();
    EXPECT_EQ(bank_loaded(), 1);
    EXPECT_GT(wavefunction_bank().function_count[radial_lookup_tables().distinct_type[1]], 0);
    EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 1);
    EXPECT_EQ(ui_->progress_titles.size(), 1u);
    EXPECT_EQ(job_control().busy_count, 0);
}

// "Current bank" shows the bank in use, although no path is set: the
// program's own bank in the start-up directory.  Unchanged, it keeps the
// setting blank; a path to no file is refused when the dialog closes.
TEST_F(BankDialogTest, BothDialogsShowTheBankInUseAndRefuseAPathToNoFile)
{
    load_two_carbons();
    ASSERT_EQ(bank_loaded(), 1);
    ASSERT_EQ(run_settings().paths.wavefun_bank_path, "");
    const std::string in_use = (fs::path(KD_RUNTIME_DIR) / "wavefCR.bnk").string();
    const std::string missing = (directory_ / "wavefXX.bnk").string();

    when_open([&](Dialog& d) {
        EXPECT_EQ(d.get_text(IDC_BANK_FILE), in_use);
        d.user_set_text(IDC_BANK_FILE, missing);
        d.user_click(IDC_SETTINGS_OK);
        ASSERT_TRUE(d.is_open());
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_NE(messages()[0].find(missing), std::string::npos) << messages()[0];
        EXPECT_NE(messages()[0].find("does not exist"), std::string::npos) << messages()[0];
        d.user_set_text(IDC_BANK_FILE, in_use);
        d.user_click(IDC_SETTINGS_OK);
    });
    EXPECT_TRUE(run_wavefunction_bank_dialog());
    EXPECT_EQ(run_settings().paths.wavefun_bank_path, "");

    ui_->answers.messages.clear();
    when_open([&](Dialog& host) {
        host.user_select(IDC_OPTIONS_TABS, 1);
        Dialog& page = accessories_page(host);
        EXPECT_EQ(page.get_text(IDC_CURRENT_BANK), in_use);
        page.user_set_text(IDC_CURRENT_BANK, missing);
        host.user_select(IDC_OPTIONS_TABS, 0);
        host.user_click(IDC_SET_AS_DEFAULTS);
        ASSERT_TRUE(host.is_open());
        EXPECT_EQ(host.get_selected_tab(IDC_OPTIONS_TABS), 1);  // where the box is
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_NE(messages()[0].find(missing), std::string::npos) << messages()[0];
        page.user_set_text(IDC_CURRENT_BANK, in_use);
        host.user_click(IDC_SET_AS_DEFAULTS);
    });
    run_options_dialog();
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "WavefunBank"), "");
    EXPECT_EQ(run_settings().paths.wavefun_bank_path, "");

    // A stored path to no file, shown and left as it was, does not hold up
    // the other settings.
    run_settings().paths.wavefun_bank_path = missing;
    bank_loaded() = 0;
    when_open([&](Dialog& host) {
        EXPECT_EQ(accessories_page(host).get_text(IDC_CURRENT_BANK), missing);
        host.user_click(IDC_SET_AS_DEFAULTS);
    });
    run_options_dialog();
    EXPECT_EQ(read_setting_string(OPTIONS_KEY, "WavefunBank"), missing);
}

}  // namespace
