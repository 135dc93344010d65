// The bond list: pairs within the sum of the covalent radii of atoms.axp
// (C 0.77, N 0.75, O 0.73, H 0.37 Angstrom) plus the bond delta, on the
// example molecules loaded through the real loader, the 1000-bond limit, and
// the "Bond parameter" dialog that sets the delta.
#include "common/qt/dialog.h"
#include "common/qt/settings_store.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/resources/viewer_resources.h"
#include "keldana/viewer/bond_list.h"
#include "keldana/viewer/viewer_dialogs.h"
#include "keldana/viewer/viewer_settings.h"

#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path EXAMPLES = fs::path(KD_SOURCE_DIR) / "examples";

using Pair = std::pair<int, int>;

std::vector<Pair> bonds_of(const BondList& list)
{
    std::vector<Pair> pairs;
    for (int k = 1; k <= list.bond_count; ++k)
        pairs.emplace_back(list.bond_atom1[k], list.bond_atom2[k]);
    return pairs;
}

double distance(const WorkingAtomSet& atoms, int i, int j)
{
    return std::hypot(atoms.cart_x[i] - atoms.cart_x[j], atoms.cart_y[i] - atoms.cart_y[j],
                      atoms.cart_z[i] - atoms.cart_z[j]);
}

class BondListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_bonds_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        set_settings_file((directory_ / "settings.ini").string());
        bond_list() = BondList{};
    }

    void TearDown() override
    {
        close_report_output();
        set_settings_file("");
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    // Loads an example with its default cluster file.
    bool load_example(const std::string& folder, const std::string& file)
    {
        fs::copy_file(EXAMPLES / folder / "gspace.cls", directory_ / "gspace.cls",
                      fs::copy_options::overwrite_existing);
        RunSettings& settings = run_settings();
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.file_dialog.dialog_path = (EXAMPLES / folder / file).string();
        settings.file_dialog.file_title = file;
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (EXAMPLES / folder / file).string();
        settings.paths.wavefun_bank_path.clear();
        return load_structure_file();
    }

    std::string label(int atom) const { return text_field_string(current_model().atoms.atom_label[atom]); }

    ScopedScriptedUi ui_;
    fs::path directory_, previous_;
};

TEST_F(BondListTest, CyanogenHasItsThreeBondsAndTheDeltaAddsTheLongPairs)
{
    ASSERT_TRUE(load_example("cyanogen", "cyanogen.kdn")) << ui_->answers.message_log();
    const WorkingAtomSet& atoms = current_model().atoms;
    ASSERT_EQ(atoms.atom_count, 4);
    // C1, N1 and their images through the inversion centre.
    ASSERT_EQ(label(1), "C1");
    ASSERT_EQ(label(2), "N1");
    ASSERT_EQ(atoms.atomic_number[3], 6);
    ASSERT_EQ(atoms.atomic_number[4], 7);

    // C-N 1.16 <= 0.77 + 0.75, C-C 1.38 <= 2 x 0.77; C...N' 2.54 and N...N' 3.70 are no bonds.
    build_bond_list(atoms.atom_count);
    EXPECT_EQ(bonds_of(bond_list()), (std::vector<Pair>{{1, 2}, {1, 3}, {3, 4}}));
    EXPECT_NEAR(distance(atoms, 1, 2), 1.16, 1e-4);
    EXPECT_NEAR(distance(atoms, 1, 3), 1.38, 1e-4);

    // A delta of 1.1 reaches 2.54 (1.52 + 1.1 = 2.62) but not 3.70 (1.50 + 1.1).
    write_bond_delta_text("1.1 A");
    build_bond_list(atoms.atom_count);
    EXPECT_DOUBLE_EQ(bond_list().bond_delta, 1.1);
    EXPECT_EQ(bonds_of(bond_list()), (std::vector<Pair>{{1, 2}, {1, 3}, {1, 4}, {2, 3}, {3, 4}}));

    // Fewer atoms: only pairs among the first two.
    build_bond_list(2);
    EXPECT_EQ(bonds_of(bond_list()), (std::vector<Pair>{{1, 2}}));
}

TEST_F(BondListTest, BenzoquinoneHasTwelveBondsInEachOfItsFiveMolecules)
{
    ASSERT_TRUE(load_example("benzoquinone", "benzoquinone.kdn")) << ui_->answers.message_log();
    const WorkingAtomSet& atoms = current_model().atoms;
    ASSERT_EQ(atoms.atom_count, 60);
    build_bond_list(atoms.atom_count);
    const BondList& list = bond_list();
    // Per molecule C=O 2, C-C 4, C=C 2, C-H 4; the shortest contact between
    // molecules, H...O 2.56, is far beyond 0.37 + 0.73.
    ASSERT_EQ(list.bond_count, 60);
    std::map<double, int> by_length;
    std::map<int, int> degree;
    for (auto [i, j] : bonds_of(list)) {
        EXPECT_LT(i, j);
        const double d = distance(atoms, i, j);
        bool known = false;
        for (double length : {1.08, 1.22, 1.34, 1.48})
            if (std::abs(d - length) < 0.005) {
                ++by_length[length];
                known = true;
            }
        EXPECT_TRUE(known) << i << "-" << j << " " << d;
        ++degree[i];
        ++degree[j];
    }
    EXPECT_EQ(by_length[1.08], 20);  // C-H
    EXPECT_EQ(by_length[1.22], 10);  // C=O
    EXPECT_EQ(by_length[1.34], 10);  // C=C
    EXPECT_EQ(by_length[1.48], 20);  // C-C
    for (int i = 1; i <= 60; ++i) {
        const int expected = atoms.atomic_number[i] == 6 ? 3 : 1;
        EXPECT_EQ(degree[i], expected) << "atom " << i << " " << label(i);
    }
}

TEST(BondListLimit, TheFirstThousandPairsAreKept)
{
    auto model = std::make_unique<StructureModel>();
    model->atom_types.type_covalent_radius[1] = 0.5;
    model->atoms.atom_count = 50;
    for (int i = 1; i <= 50; ++i) {
        model->atoms.atom_type_index[i] = 1;
        model->atoms.cart_x[i] = 0.01 * i;  // all 1225 pairs within 1.0
    }
    BondList list;
    fill_bond_list(*model, 50, list);
    ASSERT_EQ(list.bond_count, MAX_BONDS);
    EXPECT_EQ(list.bond_atom1[1], 1);
    EXPECT_EQ(list.bond_atom2[1], 2);
    // Atoms 1..28 pair with every later atom: 49 + 48 + ... + 22 = 994 pairs;
    // the 1000th is the sixth of atom 29, with atom 35.
    EXPECT_EQ(list.bond_atom1[994], 28);
    EXPECT_EQ(list.bond_atom2[994], 50);
    EXPECT_EQ(list.bond_atom1[1000], 29);
    EXPECT_EQ(list.bond_atom2[1000], 35);

    // An atom without a type has no covalent radius: 0.5 + 0 < 0.51.
    model->atoms.atom_type_index[2] = 0;
    model->atoms.cart_x[2] = 0.52;
    model->atoms.atom_count = 2;
    fill_bond_list(*model, 2, list);
    EXPECT_EQ(list.bond_count, 0);
}

// Acts on the dialog once its modal run has started; a dialog left open
// is a failure and is cancelled.
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

TEST_F(BondListTest, BondParameterDialogStoresTheDeltaAndRebuildsTheList)
{
    ASSERT_TRUE(load_example("cyanogen", "cyanogen.kdn")) << ui_->answers.message_log();
    write_bond_delta_text("0.5");
    when_open([&](Dialog& dialog) {
        EXPECT_EQ(dialog.get_resource_id(), IDD_BOND_PARAMETER);
        EXPECT_EQ(dialog.window()->windowTitle().toStdString(), "Bond parameter");
        EXPECT_EQ(dialog.get_text(IDC_BOND_DELTA), "0.5");
        // No number: refused, the dialog stays.
        dialog.user_set_text(IDC_BOND_DELTA, "abc");
        dialog.user_click(1);
        EXPECT_TRUE(dialog.is_open());
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_EQ(ui_->answers.messages[0].text, "Can not read data. Please, check data in boxes");
        EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");
        dialog.user_set_text(IDC_BOND_DELTA, " 1.1 ");
        dialog.user_click(1);
    });
    EXPECT_TRUE(run_bond_parameter_dialog(nullptr));
    EXPECT_EQ(read_bond_delta_text(), "1.1");
    EXPECT_EQ(bond_list().bond_count, 5);

    // Cancel changes nothing.
    when_open([](Dialog& dialog) {
        dialog.user_set_text(IDC_BOND_DELTA, "0");
        dialog.user_click(2);
    });
    EXPECT_FALSE(run_bond_parameter_dialog(nullptr));
    EXPECT_EQ(read_bond_delta_text(), "1.1");
    EXPECT_EQ(bond_list().bond_count, 5);
}

}  // namespace
