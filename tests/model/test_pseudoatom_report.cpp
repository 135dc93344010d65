#include "keldana/model/pseudoatom_report.h"

#include "common/scripted_ui.h"
#include "keldana/model/report_output.h"
#include "keldana/model/text_fields.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// The expected lines were printed by gfortran with the same edit descriptors
// and the same numbers (zeta(l) being the memory exponent times 0.529177249).

namespace {

const std::string HEADING = " Atom no.  label   kappa1   kappa2   l=0    l=1    l=2    l=3    l=4";
const std::string M_HEADING = "  m=-4    m=-3    m=-2    m=-1    m= 0    m=+1    m=+2    m=+3    m=+4";

const std::vector<std::string> SI_ATOM_LINES = {
    "     1     Si1_l   0.9877   1.1000",
    "                           n(l)       2      3      4      5      6",
    "                        zeta(l)     2.381  2.778  3.175  3.440  3.704",
    " No. of symmery related atoms:  22",
    "                    Seq. no.s:   3  4  5  6  7  8  9 10 11 12",
    "                    Seq. no.s:  13 14 15 16 17 18 19 20 21 22",
    "                    Seq. no.s:  23 24",
};
const std::vector<std::string> O_ATOM_LINES = {
    "     2     O2   *********   1.0000",
    "                           n(l)       2",
    "                        zeta(l)     4.233",
    " No. of symmery related atoms:   0",
    "                    Seq. no.s: ",
};

const std::string SI_POPULATION_LINE = "   Si1_long  kappa1:   0.9877  kappa2:   1.1000 Pv:   3.2500";
const std::string O_POPULATION_LINE = "   O2        kappa1: ********  kappa2:   1.0000 Pv: ********";
const std::vector<std::string> SI_LEVELS = {
    "                                  0.1250",
    "                          0.0100 -0.0200  0.0300",
    "                  0.1100 -0.1200  0.1300 -0.1400  0.1500",
    "          0.2100 -0.2200  0.2300 -0.2400  0.2500 -0.2600  0.2700",
    "  0.3100 -0.3200  0.3300 -0.3400  0.3500 -0.3600  0.3700 -0.3800  0.3900",
};
const std::string O_LEVEL = "                                 -0.5000";
const std::vector<std::string> IMAGE_LEVELS = {
    "                                  0.1250",
    "                         -0.0300  0.0200 -0.0100",
};

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> lines;
    for (const auto& part : parts)
        lines.insert(lines.end(), part.begin(), part.end());
    return lines;
}

// Two independent atoms: Si1_long with l_max 4 and 22 images (working atoms
// 3..24), O2 with l_max 0 and a kappa too wide for its field; a Si image as
// atom 3 for the population report.  Values beyond an atom's l_max are set
// to show that they are never listed.
std::unique_ptr<StructureModel> tiny_model(int atom_count)
{
    auto model = std::make_unique<StructureModel>();
    WorkingAtomSet& atoms = model->atoms;
    PseudoatomParameters& pseudo = model->pseudoatoms;
    atoms.independent_atom_count = 2;
    atoms.atom_count = atom_count;
    set_text_field(atoms.atom_label[1], "Si1_long");
    set_text_field(atoms.atom_label[2], "O2");
    set_text_field(atoms.atom_label[3], "Si1_long");

    pseudo.l_max[1] = 4;
    pseudo.kappa[1] = 0.98765;
    pseudo.kappa_prime[1] = 1.1;
    pseudo.valence_population[1] = 3.25;
    pseudo.radial_n[1] = {2, 3, 4, 5, 6};
    pseudo.radial_zeta[1] = {4.5, 5.25, 6.0, 6.5, 7.0};
    pseudo.l_max[2] = 0;
    pseudo.kappa[2] = 12345.0;
    pseudo.kappa_prime[2] = 1.0;
    pseudo.valence_population[2] = 1000.0;
    pseudo.radial_n[2][0] = 2;
    pseudo.radial_zeta[2][0] = 8.0;
    pseudo.radial_n[2][1] = 9;  // beyond l_max: never listed
    pseudo.l_max[3] = 1;
    pseudo.kappa[3] = 0.98765;
    pseudo.kappa_prime[3] = 1.1;
    pseudo.valence_population[3] = 3.25;

    SymmetryImageMap& images = model->images;
    images.image_count[1] = 23;
    images.image_list[1][1] = 1;
    for (int j = 2; j <= 23; ++j)
        images.image_list[1][j] = j + 1;
    images.image_count[2] = 1;
    images.image_list[2][1] = 2;

    MultipolePopulations& si = model->global_populations.population[1];
    si(0, 0) = 0.125;
    const double levels[5][9] = {{0.125},
                                 {0.01, -0.02, 0.03},
                                 {0.11, -0.12, 0.13, -0.14, 0.15},
                                 {0.21, -0.22, 0.23, -0.24, 0.25, -0.26, 0.27},
                                 {0.31, -0.32, 0.33, -0.34, 0.35, -0.36, 0.37, -0.38, 0.39}};
    for (int l = 0; l <= 4; ++l)
        for (int m = -l; m <= l; ++m)
            si(l, m) = levels[l][m + l];
    MultipolePopulations& o = model->global_populations.population[2];
    o(0, 0) = -0.5;
    o(1, 0) = 9.0;  // beyond l_max: never listed
    MultipolePopulations& image = model->global_populations.population[3];
    image(0, 0) = 0.125;
    image(1, -1) = -0.03;
    image(1, 0) = 0.02;
    image(1, 1) = -0.01;
    image(2, 0) = 7.0;  // beyond l_max: never listed
    return model;
}

class PseudoatomReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_pseudoatom_report_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        ASSERT_TRUE(open_report_output());
        text_pane_state().scroll_to_end = false;
    }

    void TearDown() override
    {
        close_report_output();
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    static std::vector<std::string> listing_lines()
    {
        std::ifstream in(listing_file_name());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    // Pane records without their blank padding to 150 characters.
    static std::vector<std::string> pane_lines()
    {
        std::vector<std::string> lines;
        for (int k = 1; k <= text_pane_state().line_count; ++k) {
            std::string line = read_pane_line(k);
            EXPECT_EQ(line.size(), 150u);
            line.erase(line.find_last_not_of(' ') + 1);
            lines.push_back(line);
        }
        return lines;
    }

    static std::vector<std::string> trimmed(std::vector<std::string> lines)
    {
        for (std::string& line : lines)
            line.erase(line.find_last_not_of(' ') + 1);
        return lines;
    }

    ScopedScriptedUi ui_;
    fs::path previous_directory_;
    fs::path directory_;
};

}  // namespace

TEST_F(PseudoatomReportTest, ParameterizationListsEveryIndependentAtomWithItsImages)
{
    const auto model = tiny_model(24);
    write_pseudoatom_report("PARMS", *model);

    EXPECT_EQ(listing_lines(),
              joined({{"", "             ----  PSEUDOATOM PARAMETERIZATION  ---- ", "", HEADING},
                      SI_ATOM_LINES, {""}, O_ATOM_LINES, {"", ""}}));
    EXPECT_EQ(pane_lines(), trimmed(joined({{"", "            ===== PSEUDOATOM PARAMETERIZATION =====", HEADING, ""},
                                            SI_ATOM_LINES, {"", ""}, O_ATOM_LINES, {""}})));
    EXPECT_TRUE(text_pane_state().scroll_to_end);
    EXPECT_GT(ui_->pane_changes, 0);
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(PseudoatomReportTest, PopulationsCoverTheImagesUpToEachAtomsLMax)
{
    const auto model = tiny_model(3);
    write_pseudoatom_report("POPS ", *model);

    EXPECT_EQ(listing_lines(),
              joined({{"", "   POPULATIONS OF PSEUDOATOMS IN GLOBAL FRAME: "},
                      {"", SI_POPULATION_LINE, "", M_HEADING}, SI_LEVELS,
                      {"", O_POPULATION_LINE, "", M_HEADING, O_LEVEL},
                      {"", SI_POPULATION_LINE, "", M_HEADING}, IMAGE_LEVELS}));
    EXPECT_EQ(pane_lines(), joined({{"", " =====  POPULATIONS OF PSEUDOATOMS IN GLOBAL FRAME ====="},
                                    {"", SI_POPULATION_LINE, M_HEADING}, SI_LEVELS,
                                    {"", O_POPULATION_LINE, M_HEADING, O_LEVEL},
                                    {"", SI_POPULATION_LINE, M_HEADING}, IMAGE_LEVELS}));
    EXPECT_TRUE(text_pane_state().scroll_to_end);
}

TEST_F(PseudoatomReportTest, SelectorIsTakenInUpperOrLowerCaseOnly)
{
    const auto model = tiny_model(3);
    struct Case {
        const char* selector;
        bool writes;
    };
    for (const Case& c : {Case{"parms", true}, Case{"pops ", true}, Case{"POPS", true}, Case{"Parms", false},
                          Case{"Pops ", false}, Case{"PARM", false}, Case{"", false}}) {
        SCOPED_TRACE(c.selector);
        ASSERT_TRUE(open_report_output());
        text_pane_state().scroll_to_end = false;
        write_pseudoatom_report(c.selector, *model);
        EXPECT_EQ(text_pane_state().line_count > 0, c.writes);
        EXPECT_EQ(!listing_lines().empty(), c.writes);
        EXPECT_TRUE(text_pane_state().scroll_to_end);
    }
}
