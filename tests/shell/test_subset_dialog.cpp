// "Subset atoms": the list lines, the three mask buttons, OK and Cancel.
#include "keldana/shell/subset_dialog.h"

#include "keldana/resources/settings_dialogs.h"

#include "settings_dialog_fixture.h"

namespace {

using namespace settings_test;

class SubsetDialogTest : public SettingsDialogTest {
protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        load_two_carbons();
    }

    std::vector<int> masks() const
    {
        const WorkingAtomSet& atoms = current_model().atoms;
        return std::vector<int>(atoms.subset_mask.begin() + 1, atoms.subset_mask.begin() + 1 + atoms.atom_count);
    }

    std::vector<int> list_masks(const Dialog& d) const
    {
        std::vector<int> shown;
        for (int j = 0; j < d.get_item_count(IDC_SUBSET_LIST); ++j)
            shown.push_back(std::stoi(d.get_item_text(IDC_SUBSET_LIST, j).substr(15, 2)));
        return shown;
    }
};

TEST_F(SubsetDialogTest, ListsEveryAtomWithItsMask)
{
    ASSERT_EQ(current_model().atoms.atom_count, 2);
    current_model().atoms.subset_mask[2] = 0;
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_SUBSET_ATOMS);
        ASSERT_EQ(d.get_item_count(IDC_SUBSET_LIST), 2);
        // (I3,2X,A8,2X,I2,2X,3F8.4)
        EXPECT_EQ(d.get_item_text(IDC_SUBSET_LIST, 0), "  1  C1         1    0.5000  0.5000  0.4650");
        EXPECT_EQ(d.get_item_text(IDC_SUBSET_LIST, 1), "  2  C2         0    0.5000  0.5000  0.5350");
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    run_subset_atoms_dialog();
}

TEST_F(SubsetDialogTest, ChangeMaskActsOnTheSelectedAtomsOnly)
{
    current_model().atoms.subset_mask[2] = 2;  // not made by the dialog
    when_open([this](Dialog& d) {
        d.user_click(IDC_CHANGE_MASK);  // nothing selected
        EXPECT_EQ(list_masks(d), (std::vector<int>{1, 2}));
        d.user_select(IDC_SUBSET_LIST, 1);
        d.user_click(IDC_CHANGE_MASK);
        EXPECT_EQ(list_masks(d), (std::vector<int>{1, 1}));
        d.user_click(IDC_CHANGE_MASK);
        EXPECT_EQ(list_masks(d), (std::vector<int>{1, 0}));
        d.user_click(IDC_SETTINGS_OK);
    });
    run_subset_atoms_dialog();
    EXPECT_EQ(masks(), (std::vector<int>{1, 0}));
}

TEST_F(SubsetDialogTest, InvertAllAndSubsetAllOkAndCancel)
{
    current_model().atoms.subset_mask[1] = 0;
    when_open([this](Dialog& d) {
        d.user_click(IDC_INVERT_ALL_MASKS);
        EXPECT_EQ(list_masks(d), (std::vector<int>{1, 0}));
        d.user_click(IDC_SETTINGS_OK);
    });
    run_subset_atoms_dialog();
    EXPECT_EQ(masks(), (std::vector<int>{1, 0}));

    when_open([this](Dialog& d) {
        d.user_click(IDC_SUBSET_ALL_ATOMS);
        EXPECT_EQ(list_masks(d), (std::vector<int>{1, 1}));
        d.user_click(IDC_SETTINGS_CANCEL);
    });
    run_subset_atoms_dialog();
    EXPECT_EQ(masks(), (std::vector<int>{1, 0}));
}

}  // namespace
