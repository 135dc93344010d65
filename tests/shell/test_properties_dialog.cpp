// "Properties " and "Kinetic energy" as the user drives them over a loaded
// two-atom model: the checked property, the signs and their labels, what
// ESFED, EPOT and the kinetic models prepare first, and what happens when
// that cannot be made.
#include "keldana/shell/properties_dialog.h"

#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/energy_densities.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/properties/potential_charges.h"
#include "keldana/properties/centre_of_mass.h"
#include "keldana/resources/settings_dialogs.h"

#include "settings_dialog_fixture.h"

#include <algorithm>

namespace {

using namespace settings_test;

class PropertiesDialogTest : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        // A missing cluster file is only reported: no generation dialog.
        saved_generation_dialog_ = cluster_services().run_generation_dialog;
        cluster_services().run_generation_dialog = nullptr;
        load_two_carbons();
    }

    void TearDown() override
    {
        cluster_services().run_generation_dialog = saved_generation_dialog_;
        covariance_matrix().esd_available = 0;
        SettingsDialogTest::TearDown();
    }

    // Opens the dialog, checks `radio`, then presses `button`.
    void choose(int radio, int button = IDC_SETTINGS_OK, bool negative = false)
    {
        when_open([radio, button, negative](Dialog& d) {
            EXPECT_TRUE(d.user_set_checked(radio, true)) << radio;
            if (negative)
                d.user_set_checked(radio == IDC_PROP_LAPLACIAN ? IDC_LAPLACIAN_NEGATIVE : IDC_POTEN_NEGATIVE, true);
            d.user_click(button);
        });
        run_property_selection_dialog();
    }

    int unit_cell_mode() const { return current_model().translations.unit_cell_mode; }

    std::function<bool(StructureModel&)> saved_generation_dialog_;
};

TEST_F(PropertiesDialogTest, ShowsTheActivePropertyAndTheApproximation)
{
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_PROPERTIES);
        EXPECT_TRUE(d.get_checked(IDC_PROP_RHO));
        EXPECT_EQ(d.get_text(IDC_APPROXIMATION_TEXT), "Kinetic gradient energy  (Kirzhnits,1957)");
        // Without a covariance matrix there are no standard deviations.
        EXPECT_FALSE(d.is_enabled(IDC_PROP_SIGRHO));
        EXPECT_FALSE(d.user_set_checked(IDC_PROP_SIGLAPL, true));
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    run_property_selection_dialog();

    covariance_matrix().esd_available = 1;
    run_settings().calculation.numerical_derivatives = 0;
    choose(IDC_PROP_SIGRHO);
    EXPECT_EQ(property_selection().property_code, 17);
    EXPECT_EQ(run_settings().calculation.numerical_derivatives, 1);
}

TEST_F(PropertiesDialogTest, NegativeSignsMarkTheirLabelsUntilAnotherPropertyIsChosen)
{
    choose(IDC_PROP_LAPLACIAN, IDC_SETTINGS_OK, true);
    EXPECT_EQ(property_selection().property_code, 8);
    EXPECT_EQ(property_selection().laplacian_sign, -1);
    EXPECT_EQ(property_label(8), "-d2RHO   ");
    const std::vector<std::string> listing = listing_lines();
    ASSERT_GE(listing.size(), 2u);
    EXPECT_EQ(listing[listing.size() - 2], "");
    EXPECT_EQ(listing.back(), " The active property is f = -d2RHO   ");

    when_open([](Dialog& d) {
        EXPECT_TRUE(d.get_checked(IDC_PROP_LAPLACIAN));
        EXPECT_TRUE(d.get_checked(IDC_LAPLACIAN_NEGATIVE));
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    run_property_selection_dialog();
    EXPECT_EQ(property_label(8), "-d2RHO   ");

    choose(IDC_PROP_POTEN, IDC_SETTINGS_OK, true);
    EXPECT_EQ(property_selection().laplacian_sign, 1);
    EXPECT_EQ(property_label(8), " d2RHO   ");
    EXPECT_EQ(property_selection().potential_energy_sign, -1);
    EXPECT_EQ(property_label(34), "-PotEn   ");

    choose(IDC_PROP_DD);
    EXPECT_EQ(property_selection().property_code, 4);
    EXPECT_EQ(property_selection().potential_energy_sign, 1);
    EXPECT_EQ(property_label(34), " PotEn   ");
}

TEST_F(PropertiesDialogTest, NpotTakesTheGlobalFrame)
{
    run_settings().calculation.global_frame = 0;
    choose(IDC_PROP_NPOT);
    EXPECT_EQ(property_selection().property_code, 16);
    EXPECT_EQ(run_settings().calculation.global_frame, 1);
}

// EPOT sums a unit-cell cluster of its own: the working atoms keep their
// cluster and weights.
TEST_F(PropertiesDialogTest, EpotBuildsTheUnitCellAndThePotentialsOnceRhoReturnsToTheCluster)
{
    const WorkingAtomSet before = current_model().atoms;
    ui_->answers.message_answers.push_back(MessageAnswer::no);  // no unit-cell file made
    choose(IDC_PROP_EPOT);
    EXPECT_EQ(property_selection().property_code, 23);
    EXPECT_TRUE(has_potential_cell());
    EXPECT_EQ(unit_cell_mode(), 0);
    EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 1);
    EXPECT_EQ(ui_->progress_titles.size(), 1u);

    choose(IDC_PROP_ESFED);
    EXPECT_EQ(property_selection().property_code, 22);
    EXPECT_EQ(ui_->progress_titles.size(), 1u);  // built once
    EXPECT_TRUE(has_potential_cell());

    choose(IDC_PROP_RHO);
    EXPECT_EQ(property_selection().property_code, 3);
    EXPECT_FALSE(has_potential_cell());
    EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 1);
    const WorkingAtomSet& after = current_model().atoms;
    EXPECT_EQ(after.atom_count, before.atom_count);
    EXPECT_EQ(after.site_weight, before.site_weight);
    EXPECT_EQ(after.subset_mask, before.subset_mask);
}

TEST_F(PropertiesDialogTest, AClusterThatCannotBeMadeKeepsTheDialogOpenAndNothingChanges)
{
    {
        std::ofstream out(directory_ / "unitcell.cls");
        out << "not a cluster file\n";
    }
    when_open([](Dialog& d) {
        d.user_set_checked(IDC_PROP_EPOT, true);
        d.user_click(IDC_SETTINGS_OK);
        EXPECT_TRUE(d.is_open());
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    run_property_selection_dialog();
    EXPECT_FALSE(messages().empty());
    EXPECT_EQ(property_selection().property_code, 3);
    EXPECT_EQ(unit_cell_mode(), 0);
}

TEST_F(PropertiesDialogTest, CancelledPotentialsKeepTheDialogOpenAndNothingChanges)
{
    ui_->on_pump = [] { job_control().job_running = false; };  // Cancel confirmed at once
    when_open([](Dialog& d) {
        d.user_set_checked(IDC_PROP_EPOT, true);
        d.user_click(IDC_SETTINGS_OK);
        EXPECT_TRUE(d.is_open());
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    run_property_selection_dialog();
    EXPECT_EQ(property_selection().property_code, 3);
    EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 0);
    EXPECT_EQ(unit_cell_mode(), 0);
}

TEST_F(PropertiesDialogTest, TheApproximationIsNamedByModelAndCoefficients)
{
    const struct {
        int model;
        double lambda, k;
        const char* text;
    } cases[] = {
        {0, 1.0 / 72, 1.0 / 6, "Kinetic gradient energy  (Kirzhnits,1957)"},
        {0, 0.0138889, 0.0833333, "Kinetic mean-path energy  (Yang,1986)"},
        {0, 0.125, 0.0, "Kinetic energy (Weizsacker,1935)"},
        {0, 0.125, 0.1, "User defined approximation"},
        {0, 0.014, 1.0 / 6, "User defined approximation"},
        {1, 0.0, 0.0, "DFT with local exchange energy"},
        {2, 0.0, 0.0, "DFT with local MP-exchange energy"},
    };
    for (const auto& c : cases) {
        PropertySelection selection;
        selection.kinetic_model = c.model;
        selection.elambda = c.lambda;
        selection.coeff = c.k;
        EXPECT_EQ(kinetic_approximation_text(selection), c.text) << c.model << " " << c.lambda << " " << c.k;
    }
}

TEST_F(PropertiesDialogTest, KineticEnergyShowsPresetsOrTheNumbers)
{
    const struct {
        double lambda, k;
        const char* lambda_text;
        const char* k_text;
    } cases[] = {
        {1.0 / 72, 1.0 / 6, "0.0138889", "0.1666667"},
        {0.125, 1.0 / 12, "0.125", "0.0833333"},
        {0.2, 0.0, "0.2", "0"},
    };
    for (const auto& c : cases) {
        PropertySelection selection;
        selection.elambda = c.lambda;
        selection.coeff = c.k;
        when_open([c](Dialog& d) {
            EXPECT_EQ(d.get_resource_id(), IDD_KINETIC_ENERGY);
            EXPECT_EQ(d.get_item_count(IDC_KINETIC_LAMBDA), 3);
            EXPECT_EQ(d.get_item_text(IDC_KINETIC_K, 1), "0.0833333");
            EXPECT_EQ(d.get_text(IDC_KINETIC_LAMBDA), c.lambda_text);
            EXPECT_EQ(d.get_text(IDC_KINETIC_K), c.k_text);
            EXPECT_TRUE(d.get_checked(IDC_KINETIC_APPROXIMATION));
            EXPECT_TRUE(d.is_enabled(IDC_KINETIC_LAMBDA));
            d.user_click(IDC_SETTINGS_OK);
        });
        EXPECT_TRUE(run_kinetic_energy_dialog(selection));
        EXPECT_EQ(selection.kinetic_model, 0);
    }
}

TEST_F(PropertiesDialogTest, KineticCoefficientsAreReadFromTheCombos)
{
    PropertySelection selection;
    selection.kinetic_model = 2;
    when_open([](Dialog& d) {
        EXPECT_TRUE(d.get_checked(IDC_KINETIC_LEE_ZHOU));
        EXPECT_FALSE(d.is_enabled(IDC_KINETIC_K));
        d.user_set_checked(IDC_KINETIC_APPROXIMATION, true);
        EXPECT_TRUE(d.is_enabled(IDC_KINETIC_K));
        d.user_select(IDC_KINETIC_LAMBDA, 1);
        d.user_set_text(IDC_KINETIC_K, "no number");
        d.user_click(IDC_SETTINGS_OK);
        EXPECT_TRUE(d.is_open());
        d.user_set_text(IDC_KINETIC_K, "0.05");
        d.user_click(IDC_SETTINGS_OK);
    });
    EXPECT_TRUE(run_kinetic_energy_dialog(selection));
    EXPECT_EQ(messages(), std::vector<std::string>{BOX_ERROR});
    EXPECT_EQ(selection.kinetic_model, 0);
    EXPECT_EQ(selection.elambda, 0.125);
    EXPECT_EQ(selection.coeff, 0.05);
}

TEST_F(PropertiesDialogTest, AKineticModelTakesEffectWithOkOfTheProperties)
{
    centre_of_mass() = CentreOfMass{};
    for (int button : {IDC_SETTINGS_CANCEL, IDC_SETTINGS_OK}) {
        when_open([button](Dialog& d) {
            when_open([](Dialog& kinetic) {
                kinetic.user_set_checked(IDC_KINETIC_BECKE, true);
                EXPECT_FALSE(kinetic.is_enabled(IDC_KINETIC_LAMBDA));
                kinetic.user_click(IDC_SETTINGS_OK);
            });
            EXPECT_TRUE(d.user_click(IDC_CHOOSE_KINETIC));
            EXPECT_EQ(d.get_text(IDC_APPROXIMATION_TEXT), "DFT with local exchange energy");
            d.user_set_checked(IDC_PROP_KINET, true);
            d.user_click(button);
        });
        run_property_selection_dialog();
        if (button == IDC_SETTINGS_CANCEL) {
            EXPECT_EQ(property_selection().kinetic_model, 0);
            EXPECT_EQ(property_selection().property_code, 3);
            EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 0);
        }
    }
    EXPECT_EQ(property_selection().kinetic_model, 1);
    EXPECT_EQ(property_selection().property_code, 31);
    // The exchange models rest on the atoms' potentials.
    EXPECT_EQ(spherical_esp_tables().esp_tables_ready, 1);
    EXPECT_EQ(unit_cell_mode(), 0);
    // Prepared with them: midway between the two carbons, (10, 10, 10).
    for (double coordinate : centre_of_mass().centre)
        EXPECT_NEAR(coordinate, 10.0, 1e-6);  // the cell angles go through a rounded pi/180
}

}  // namespace

namespace {

// A carbon on the cell's corner: the unit cell shares it with seven
// neighbours (weight 1/8), and half of the pair lies outside the cell.
const char* const CORNER_CARBONS = R"(Two carbon atoms, one on the cell corner
   4.0000   4.0000   4.0000  90.0000  90.0000  90.0000
 2 0
C1          0.000000    0.000000    0.000000     1.000000
C2          0.000000    0.000000   -0.300000     1.000000
     0     2     0   X     0     0   Y          /* atom: C1     */
[He]2s2 2p2
     2
  3.0000
 1.000000 1.000000
                                  3.9000
                                  0.0000
     0     2     0   X     0     0   Y          /* atom: C2     */
[He]2s2 2p2
     2
  3.0000
 1.000000 1.000000
                                  4.1000
                                  0.0000
Space group P1
NON                  /P
     X         Y         Z
END
)";

}  // namespace

// What was chosen before never shows: the virial kinetic energies and the
// potential-derived charges are the same bits after EPOT was active (and
// the charges while it is).
TEST_F(PropertiesDialogTest, KineticEnergiesAndChargesDoNotDependOnEpotHavingBeenActive)
{
    load_two_carbons(CORNER_CARBONS);
    const double points[][3] = {{0.3, 0.2, 0.4}, {0.05, -0.1, -0.6}, {0.7, 0.6, -0.2}};
    const int codes[] = {30, 31, 32, 33, 34, 41, 42};
    for (int model : {1, 2}) {
        SCOPED_TRACE(model);
        auto kinetic_values = [&] {
            when_open([model](Dialog& d) {
                when_open([model](Dialog& kinetic) {
                    kinetic.user_set_checked(model == 1 ? IDC_KINETIC_BECKE : IDC_KINETIC_LEE_ZHOU, true);
                    kinetic.user_click(IDC_SETTINGS_OK);
                });
                d.user_click(IDC_CHOOSE_KINETIC);
                d.user_set_checked(IDC_PROP_KINET, true);
                d.user_click(IDC_SETTINGS_OK);
            });
            run_property_selection_dialog();
            std::vector<double> values;
            for (const auto& p : points)
                for (int code : codes)
                    values.push_back(evaluate_energy_density_property(p[0], p[1], p[2], code));
            return values;
        };
        auto charges = [&] {
            ChargeClassArray array{};
            fill_default_charge_class_array(current_model(), array);
            EXPECT_TRUE(fit_potential_derived_charges(array, PotentialFitSettings{}));
            return std::vector<double>(charge_classes().charge.begin(), charge_classes().charge.end());
        };
        const std::vector<double> kinetic_before = kinetic_values();
        choose(IDC_PROP_RHO);
        const std::vector<double> charges_before = charges();
        ui_->answers.message_answers.push_back(MessageAnswer::no);  // no unit-cell file made
        choose(IDC_PROP_EPOT);
        ASSERT_EQ(property_selection().property_code, 23);
        EXPECT_EQ(charges(), charges_before);
        choose(IDC_PROP_RHO);
        EXPECT_EQ(charges(), charges_before);
        EXPECT_EQ(kinetic_values(), kinetic_before);
    }
}
