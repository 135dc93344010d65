// EPOT's unit cell always follows the model: an edit made while EPOT or
// ESFED is active gives, to the last bit, the values of the same edit made
// before the property was chosen (on a fresh load), inside a job as outside
// one, and its undo gives back the values from before.
#include "keldana/shell/properties_dialog.h"

#include "common/job_control.h"
#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/model/cluster_files.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/resources/settings_dialogs.h"
#include "keldana/shell/bank_dialog.h"

#include "settings_dialog_fixture.h"

#include <array>
#include <functional>

namespace {

using namespace settings_test;

using Values = std::vector<double>;

constexpr std::array<std::array<double, 3>, 3> POINTS = {{{10.0, 10.0, 8.0}, {10.4, 10.2, 10.0}, {9.0, 11.0, 12.5}}};

struct Edit {
    const char* name;
    std::function<void()> apply;
    std::function<void()> undo;  // empty: the edit has no undo
    bool changes_potential;
};

void set_mask(int atom, int mask)
{
    current_model().atoms.subset_mask[atom] = mask;
    note_model_change();  // as the Subset dialog's OK
}

void set_valence(double population)
{
    current_model().pseudoatoms.valence_population[1] = population;
    note_model_change();
}

void set_kappa(double kappa)
{
    current_model().pseudoatoms.kappa[2] = kappa;
    note_model_change();
}

void rebuild_working_cluster()
{
    // What the generation dialog applies: the images of the box.
    generate_cluster_images(current_model(), 0.0, {0.0, 0.0, 0.0}, {0.0, 1.0, 0.0, 1.0, -0.6, 1.6}, 1,
                            CLUSTER_IN_BOX);
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, current_model()));
}

class PotentialCellTest : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        saved_generation_dialog_ = cluster_services().run_generation_dialog;
        cluster_services().run_generation_dialog = nullptr;
        // Translated images of both atoms: outside the cell, so weighted out.
        std::ofstream(directory_ / "unitcell.cls") << CLUSTER_TITLE_IN_SPACE << "\n"
                                                    << CLUSTER_COLUMN_HEADER << "\n"
                                                    << "  1 0 0 1 1 2\n  1 0 0 -1 1 2\n";
    }

    void TearDown() override
    {
        cluster_services().run_generation_dialog = saved_generation_dialog_;
        SettingsDialogTest::TearDown();
    }

    void choose(int radio)
    {
        when_open([radio](Dialog& d) {
            d.user_set_checked(radio, true);
            d.user_click(IDC_SETTINGS_OK);
        });
        run_property_selection_dialog();
    }

    static Values values(bool in_job)
    {
        std::unique_ptr<JobScope> job;
        if (in_job)
            job = std::make_unique<JobScope>();
        hold_prepared_density_model();
        Values v;
        for (const auto& p : POINTS)
            for (int code : {22, 23})
                v.push_back(evaluate_property_at_point(p[0], p[1], p[2], code));
        release_prepared_density_model();
        return v;
    }

    std::function<bool(StructureModel&)> saved_generation_dialog_;
};

TEST_F(PotentialCellTest, AnEditGivesTheSameValuesWhetherMadeBeforeOrAfterTheUnitCellPropertyWasChosen)
{
    const Edit edits[] = {
        {"subset", [] { set_mask(2, 0); }, [] { set_mask(2, 1); }, true},
        {"population", [] { set_valence(4.5); }, [] { set_valence(4.0); }, true},
        {"kappa", [] { set_kappa(1.1); }, [] { set_kappa(1.0); }, true},
        // The two carbons are their promolecule already.
        {"promolecule", [] { switch_to_promolecule_model(current_model()); }, nullptr, false},
        {"cluster", rebuild_working_cluster, nullptr, false},
        {"bank", [] { ASSERT_TRUE(reload_wavefunction_bank()); }, nullptr, false},
    };
    for (int radio : {IDC_PROP_EPOT, IDC_PROP_ESFED})
        for (const Edit& edit : edits)
            for (bool in_job : {false, true}) {
                SCOPED_TRACE(std::string(edit.name) + (radio == IDC_PROP_EPOT ? " EPOT" : " ESFED")
                             + (in_job ? " in a job" : ""));
                // Chosen first, then the edit.
                load_two_carbons();
                choose(radio);
                ASSERT_TRUE(has_potential_cell());
                const Values before = values(in_job);
                edit.apply();
                const Values chosen_first = values(in_job);
                Values undone;
                if (edit.undo) {
                    edit.undo();
                    undone = values(in_job);
                }

                // A fresh load, the edit, then the property chosen.
                load_two_carbons();
                edit.apply();
                choose(radio);
                ASSERT_TRUE(has_potential_cell());
                EXPECT_EQ(values(in_job), chosen_first);
                EXPECT_EQ(chosen_first != before, edit.changes_potential);
                if (edit.undo) {
                    EXPECT_EQ(undone, before);
                }
                EXPECT_NE(before[1], 0.0);
            }
}

// A rebuild of the potentials cancelled at a job's start ends that job;
// the next look makes them again instead of giving no potential at all.
TEST_F(PotentialCellTest, ACancelledRebuildIsMadeAgainAtTheNextLook)
{
    load_two_carbons();
    set_kappa(1.1);
    choose(IDC_PROP_EPOT);
    const Values expected = values(false);

    load_two_carbons();
    choose(IDC_PROP_EPOT);
    set_kappa(1.1);
    int pumps = 0;
    ui_->on_pump = [&pumps] {
        ++pumps;
        job_control().job_running = false;  // Cancel on the tables' progress
    };
    {
        const JobScope job;
        ASSERT_TRUE(job.started());
        job_control().job_running = true;
        hold_prepared_density_model();
        EXPECT_FALSE(job_control().job_running);  // the job ends with the cancel
        job_control().job_running = false;
    }
    ui_->on_pump = nullptr;
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(values(true), expected);
    EXPECT_EQ(values(false), expected);
    EXPECT_NE(expected[1], 0.0);
}

// A load leaves no unit-cell property active and no cell behind.
TEST_F(PotentialCellTest, ALoadEndsTheUnitCellProperty)
{
    load_two_carbons();
    choose(IDC_PROP_EPOT);
    ASSERT_TRUE(has_potential_cell());
    load_two_carbons();
    EXPECT_EQ(property_selection().property_code, 3);
    EXPECT_FALSE(has_potential_cell());
}

}  // namespace
