// Potential-derived charges: the charge classes, the grid and the fitting
// shell, an exact fit to the potential of known point charges, the fit to
// the model's own potential for spherical ions and for a centrosymmetric
// molecule, and the refusals.
#include "common/fortran_format.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/text_fields.h"
#include "keldana/properties/potential_charges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string without_trailing_blanks(std::string text)
{
    const std::size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

class PotentialChargesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_charges_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        RunSettings& settings = run_settings();
        settings.calculation = CalculationSettings{};
        apply_default_calculation_settings(settings.calculation);
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.paths.wavefun_bank_path.clear();
        ASSERT_TRUE(open_report_output());
    }

    void TearDown() override
    {
        close_report_output();
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    // Loads a model text; `cluster` is the default cluster file beside it.
    bool load(const std::string& name, const std::string& text, const std::string& cluster = "")
    {
        std::ofstream(directory_ / name) << text;
        if (!cluster.empty())
            std::ofstream(directory_ / "gspace.cls") << cluster;
        else
            ui_->answers.message_answers.push_back(MessageAnswer::no);
        RunSettings& settings = run_settings();
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / name).string();
        settings.file_dialog.dialog_path = (directory_ / name).string();
        settings.file_dialog.file_title = name;
        const bool loaded = load_structure_file();
        ui_->answers.messages.clear();
        apply_default_calculation_settings(settings.calculation);
        return loaded;
    }

    bool load_cyanogen()
    {
        const fs::path folder = fs::path(KD_SOURCE_DIR) / "examples" / "cyanogen";
        std::ifstream model(folder / "cyanogen.kdn");
        std::ifstream cluster(folder / "gspace.cls");
        const std::string model_text((std::istreambuf_iterator<char>(model)), std::istreambuf_iterator<char>());
        const std::string cluster_text((std::istreambuf_iterator<char>(cluster)), std::istreambuf_iterator<char>());
        return load("cyanogen.kdn", model_text, cluster_text);
    }

    std::vector<std::string> listing() const
    {
        std::vector<std::string> lines;
        std::ifstream in(directory_ / listing_file_name());
        for (std::string line; std::getline(in, line);)
            lines.push_back(without_trailing_blanks(line));
        return lines;
    }

    std::vector<std::string> pane() const
    {
        std::vector<std::string> lines;
        for (int k = 1; k <= text_pane_state().line_count; ++k)
            lines.push_back(without_trailing_blanks(read_pane_line(k)));
        return lines;
    }

    static bool has_line(const std::vector<std::string>& lines, const std::string& line)
    {
        for (const std::string& l : lines)
            if (l == without_trailing_blanks(line))
                return true;
        return false;
    }

    ScopedScriptedUi ui_;
    fs::path previous_;
    fs::path directory_;
};

struct PointCharge {
    const char* label;
    double x, y, z, q;
};

// Atoms of type 1 (van der Waals radius 1.2 A, as hydrogen in the element
// table), so every fitting point lies 2.4 A or more from every atom.
std::unique_ptr<StructureModel> point_charge_model(const std::vector<PointCharge>& charges)
{
    auto model = std::make_unique<StructureModel>();
    model->atoms.atom_count = model->atoms.independent_atom_count = static_cast<int>(charges.size());
    model->atom_types.type_radius[1] = 1.2;
    for (int i = 1; i <= model->atoms.atom_count; ++i) {
        set_text_field(model->atoms.atom_label[i], charges[i - 1].label);
        model->atoms.cart_x[i] = charges[i - 1].x;
        model->atoms.cart_y[i] = charges[i - 1].y;
        model->atoms.cart_z[i] = charges[i - 1].z;
        model->atoms.atom_type_index[i] = 1;
        model->atoms.subset_mask[i] = 1;
    }
    return model;
}

PotentialFunction potential_of(const std::vector<PointCharge>& charges)
{
    return [charges](double x, double y, double z) {
        double v = 0;
        for (const PointCharge& c : charges)
            v += c.q / std::sqrt((x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) + (z - c.z) * (z - c.z));
        return v;
    };
}

const std::vector<PointCharge> THREE_CHARGES = {
    {"O1", 0.0, 0.0, 0.0, -0.8}, {"H1", 0.96, 0.0, 0.0, 0.45}, {"H2", -0.24, 0.93, 0.0, 0.35}};

TEST(ChargeClasses, DefaultArraySharesEachParentsChargeWithItsImages)
{
    auto model = point_charge_model({{"C1", 0, 0, 0, 0}, {"N1", 0, 0, 1, 0}, {"C1", 0, 0, -1, 0}, {"N1", 0, 0, -2, 0}});
    model->atoms.independent_atom_count = 2;
    model->images.parent_atom[3] = 1;
    model->images.parent_atom[4] = 2;
    ChargeClassArray array;
    fill_default_charge_class_array(*model, array);
    EXPECT_EQ((std::vector<int>{array.class_value[1], array.class_value[2], array.class_value[3],
                                array.class_value[4]}),
              (std::vector<int>{1, 2, 1, 2}));
    ChargeClasses classes;
    build_charge_classes(*model, array, classes);
    EXPECT_EQ(classes.class_count, 2);
    EXPECT_EQ(classes.atom_class[3], 1);
    EXPECT_EQ(classes.atom_class[4], 2);
    EXPECT_EQ(classes.member_count[1], 2);
    EXPECT_EQ(classes.member_count[2], 2);

    // Values 7, 7, 2, 2 (any numbers): two classes in order of first appearance.
    array.class_value[1] = array.class_value[2] = 7;
    array.class_value[3] = array.class_value[4] = 2;
    build_charge_classes(*model, array, classes);
    EXPECT_EQ(classes.class_count, 2);
    EXPECT_EQ((std::vector<int>{classes.atom_class[1], classes.atom_class[2], classes.atom_class[3],
                                classes.atom_class[4]}),
              (std::vector<int>{1, 1, 2, 2}));
    EXPECT_EQ(classes.first_member[2], 3);
}

TEST(PotentialGrid, TwelvePointsOnAnElevenAngstromEdgeAreOneAngstromApart)
{
    auto grid = std::make_unique<PotentialGridPoints>();
    grid->box_min = {-5.5, -4.5, -3.5};
    grid->box_max = {5.5, 6.5, 7.5};
    build_potential_grid(12, [](double x, double y, double z) { return x + 10 * y + 100 * z; }, *grid);
    ASSERT_EQ(grid->point_count, 1728);
    // x innermost, then y, z outermost.
    EXPECT_DOUBLE_EQ(grid->x[2] - grid->x[1], 1.0);
    EXPECT_DOUBLE_EQ(grid->y[13], -3.5);
    EXPECT_DOUBLE_EQ(grid->z[145], -2.5);
    EXPECT_NEAR(grid->x[1728], 5.5, 1e-12);
    EXPECT_NEAR(grid->y[1728], 6.5, 1e-12);
    EXPECT_NEAR(grid->z[1728], 7.5, 1e-12);
    EXPECT_DOUBLE_EQ(grid->potential[1], -5.5 - 45.0 - 350.0);
    EXPECT_EQ(grid->weight[1728], 1.0);
}

TEST(PotentialGrid, FittingPointsLieInTheShellOutsideTheAtoms)
{
    auto model = point_charge_model({{"H1", 0, 0, 0, 0}});
    auto grid = std::make_unique<PotentialGridPoints>();
    grid->box_min = {-5.0, 0.0, 0.0};
    grid->box_max = {5.0, 0.0, 0.0};
    build_potential_grid(11, [](double x, double, double) { return x; }, *grid);
    // A flat box repeats the line of 11 points 121 times.  r = 1.2 + 1.2;
    // kept: 2.4 <= d < 2.4 + 1.0, that is x = -3 and 3 of every line, in order.
    const int kept = select_points_outside_atoms(*model, 1.0, *grid);
    ASSERT_EQ(kept, 2 * 121);
    for (int p = 1; p <= kept; ++p) {
        EXPECT_DOUBLE_EQ(grid->x[p], p % 2 == 1 ? -3.0 : 3.0);
        EXPECT_DOUBLE_EQ(grid->potential[p], grid->x[p]);
    }
}

TEST_F(PotentialChargesTest, FitRecoversThePointChargesThatMadeThePotential)
{
    auto model = point_charge_model(THREE_CHARGES);
    ChargeClassArray array;
    for (int i = 1; i <= 3; ++i)
        array.class_value[i] = i;
    auto classes = std::make_unique<ChargeClasses>();
    auto grid = std::make_unique<PotentialGridPoints>();
    PotentialFitSettings settings;
    settings.points_per_edge = 10;
    ASSERT_TRUE(fit_potential_derived_charges(*model, array, settings, potential_of(THREE_CHARGES), *classes, *grid));
    ASSERT_EQ(classes->class_count, 3);
    EXPECT_GT(grid->point_count, 50);
    double sum = 0;
    for (int c = 1; c <= 3; ++c) {
        EXPECT_NEAR(classes->charge[c], THREE_CHARGES[c - 1].q, 1e-8);
        sum += classes->charge[c];
    }
    EXPECT_NEAR(sum, 0.0, 1e-14);

    const std::vector<std::string> lines = listing();
    EXPECT_TRUE(has_line(lines, " ******************* Potential-derived charges *****************"));
    EXPECT_TRUE(has_line(lines, " Number of symmetry-distinct atoms:    3"));
    EXPECT_TRUE(has_line(lines, "    Number of grid points for V(r): 1000"));
    EXPECT_TRUE(has_line(lines, "             Grid size (Angstroms):  11.0000"));
    EXPECT_TRUE(has_line(lines, "       Width of envelope of points:  2.500 Angstroms"));
    EXPECT_TRUE(has_line(lines, "                  Weighting scheme:    0"));
    EXPECT_TRUE(has_line(lines, "                       Centroid at:       0.2400      0.3100      0.0000"));
    EXPECT_TRUE(has_line(lines, " Grid limits (Angstroms):   -5.26   5.74  -5.19   5.81  -5.50   5.50"));
    EXPECT_TRUE(has_line(lines, "  Mean residual for fitted charges:     0.0000000"));
    EXPECT_TRUE(has_line(lines, format_line("(' The following ',I4,' points were used in the fit: ')",
                                            {grid->point_count})));
    EXPECT_TRUE(has_line(lines, "  O1         -0.800000"));
    EXPECT_TRUE(has_line(pane(), "  H2          0.350000"));
    // Each fitting point with its potential and the fitted one.
    EXPECT_TRUE(has_line(lines, format_line("(5F12.6)", {grid->x[1], grid->y[1], grid->z[1], grid->potential[1],
                                                         grid->potential[1]})));
    EXPECT_TRUE(has_line(pane(), "                  ===== POTENTIAL-DERIVED CHARGES ====="));
    EXPECT_TRUE(has_line(pane(), format_line("(' The',I4,' points were used in the fit ')", {grid->point_count})));
}

TEST_F(PotentialChargesTest, OneClassIsHeldAtZeroCharge)
{
    auto model = point_charge_model(THREE_CHARGES);
    ChargeClassArray array;  // every value 0: one class
    auto classes = std::make_unique<ChargeClasses>();
    auto grid = std::make_unique<PotentialGridPoints>();
    PotentialFitSettings settings;
    settings.points_per_edge = 6;
    ASSERT_TRUE(fit_potential_derived_charges(*model, array, settings, potential_of(THREE_CHARGES), *classes, *grid));
    EXPECT_EQ(classes->class_count, 1);
    EXPECT_EQ(classes->charge[1], 0.0);
}

TEST_F(PotentialChargesTest, RefusesGridsWithoutStepOrRoomAndShellsWithoutPoints)
{
    auto model = point_charge_model(THREE_CHARGES);
    ChargeClassArray array;
    for (int i = 1; i <= 3; ++i)
        array.class_value[i] = i;
    auto classes = std::make_unique<ChargeClasses>();
    auto grid = std::make_unique<PotentialGridPoints>();
    for (int n : {1, 22}) {
        PotentialFitSettings settings;
        settings.points_per_edge = n;
        EXPECT_FALSE(
            fit_potential_derived_charges(*model, array, settings, potential_of(THREE_CHARGES), *classes, *grid));
    }
    ASSERT_EQ(ui_->answers.messages.size(), 2u);
    EXPECT_EQ(ui_->answers.messages[0].text, "Can not read data. Please, check data in boxes");
    EXPECT_EQ(ui_->answers.messages[0].caption, "Error!");

    // A box smaller than the atoms' spheres leaves no fitting point.
    PotentialFitSettings small;
    small.edge_length = 1.0;
    small.points_per_edge = 3;
    EXPECT_FALSE(fit_potential_derived_charges(*model, array, small, potential_of(THREE_CHARGES), *classes, *grid));
    ASSERT_EQ(ui_->answers.messages.size(), 3u);
    EXPECT_NE(ui_->answers.messages[2].text.find("can not be fitted"), std::string::npos);
    for (int c = 1; c <= 3; ++c)
        EXPECT_TRUE(std::isfinite(classes->charge[c]));
}

TEST(PotentialChargeDialogText, ListEntriesAndBoxesReadAsTheDialogShowsThem)
{
    EXPECT_EQ(format_charge_class_item(7, 3), "  7    3");
    EXPECT_EQ(format_charge_class_item(250, -12), "250  -12");
    int value = 0;
    EXPECT_TRUE(read_charge_class_item("250  -12", value));
    EXPECT_EQ(value, -12);
    EXPECT_FALSE(read_charge_class_item("  7  ", value));

    PotentialFitSettings settings;
    int bad_box = -1;
    ASSERT_TRUE(read_potential_fit_settings(" 10", "  9.5000  ", "  2.0000", settings, bad_box));
    EXPECT_EQ(settings.points_per_edge, 10);
    EXPECT_EQ(settings.edge_length, 9.5);
    EXPECT_EQ(settings.envelope_width, 2.0);
    // More than a box's field holds is refused, never cut to its field.
    EXPECT_FALSE(read_potential_fit_settings("8  9", "11", "2.5", settings, bad_box));
    EXPECT_EQ(bad_box, 0);
    EXPECT_FALSE(read_potential_fit_settings("10", "  9.5000xyz", "2.5", settings, bad_box));
    EXPECT_EQ(bad_box, 1);
    EXPECT_EQ(settings.points_per_edge, 10);

    struct Case {
        const char* count;
        const char* edge;
        const char* envelope;
        int bad_box;
    };
    for (const Case& c : {Case{"abc", "11", "2.5", 0}, Case{"   ", "11", "2.5", 0}, Case{"1", "11", "2.5", 0},
                          Case{"30", "11", "2.5", 0}, Case{"12", "x", "2.5", 1}, Case{"12", "0", "2.5", 1},
                          Case{"12", "11", "", 2}}) {
        PotentialFitSettings kept;
        EXPECT_FALSE(read_potential_fit_settings(c.count, c.edge, c.envelope, kept, bad_box)) << c.count;
        EXPECT_EQ(bad_box, c.bad_box) << c.count << "|" << c.edge << "|" << c.envelope;
        EXPECT_EQ(kept.points_per_edge, 12);
    }
}

// Spherical ions C(+0.5) and N(-0.5) 1.4 A apart: outside the atoms their
// potential is that of the two charges, and the fit finds them.
TEST_F(PotentialChargesTest, ModelPotentialOfSphericalIonsGivesTheirCharges)
{
    std::string text = "Spherical ions\n";
    text += format_line("(6F9.4)", {20.0, 20.0, 20.0, 90.0, 90.0, 90.0}) + "\n";
    text += " 2 0\n";
    text += format_line("(A8,3F12.6,5X,F8.6)", {"C1", 0.0, 0.0, 0.0, 1.0}) + "\n";
    text += format_line("(A8,3F12.6,5X,F8.6)", {"N1", 1.4 / 20, 0.0, 0.0, 1.0}) + "\n";
    for (const auto& [label, configuration, valence] :
         {std::tuple{"C1", "[He]2s2 2p2", 3.5}, std::tuple{"N1", "[He]2s2 2p3", 5.5}}) {
        text += format_line("(3I6,3X,A1,2I6,3X,A1,10X,'/* atom: ',A6,' */')", {0, 2, 0, "X", 0, 0, "Y", label}) + "\n";
        text += std::string(configuration) + "\n     2\n  3.0000\n 1.000000 1.000000\n";
        text += format_line("(32X,F8.4,32X)", {valence}) + "\n" + format_line("(32X,F8.4,32X)", {0.0}) + "\n";
    }
    text += "Space group P1\nNON                  /P\n     X         Y         Z\nEND\n";
    ASSERT_TRUE(load("ions.kdn", text));
    // The lattice translations of a load stay as they are: the fit takes
    // the ions alone, and leaves K, L, M untouched.
    const ClusterTranslations before = current_model().translations;
    ASSERT_GT(before.cluster_k, 0);

    ChargeClassArray array;
    fill_default_charge_class_array(current_model(), array);
    ASSERT_TRUE(fit_potential_derived_charges(array, PotentialFitSettings{}));
    const ChargeClasses& classes = charge_classes();
    ASSERT_EQ(classes.class_count, 2);
    EXPECT_NEAR(classes.charge[1], 0.5, 0.02);
    EXPECT_NEAR(classes.charge[2], -0.5, 0.02);
    EXPECT_EQ(classes.charge[1] + classes.charge[2], 0.0);
    const ClusterTranslations& after = current_model().translations;
    EXPECT_EQ(after.cluster_k, before.cluster_k);
    EXPECT_EQ(after.cluster_l, before.cluster_l);
    EXPECT_EQ(after.cluster_m, before.cluster_m);
}

// Cyanogen as loaded, with the dialog's defaults (one class per independent
// atom, its image sharing it): charges of a light molecule, equal and
// opposite, and a potential the two charges follow closely, however many
// lattice translations the maps would sum.
TEST_F(PotentialChargesTest, CyanogenAtTheDialogDefaultsGetsMolecularCharges)
{
    ASSERT_TRUE(load_cyanogen());
    ChargeClassArray array;
    fill_default_charge_class_array(current_model(), array);
    ASSERT_GT(current_model().translations.cluster_k, 0);
    for (int cells : {-1, 0, 2}) {  // -1: what the load set
        if (cells >= 0) {
            ClusterTranslations& t = current_model().translations;
            t.cluster_k = t.cluster_l = t.cluster_m = cells;
        }
        ASSERT_TRUE(fit_potential_derived_charges(array, PotentialFitSettings{}));
        const ChargeClasses& classes = charge_classes();
        ASSERT_EQ(classes.class_count, 2);
        EXPECT_LT(std::abs(classes.charge[1]), 1.0) << cells;
        EXPECT_GT(std::abs(classes.charge[1]), 1e-3) << cells;
        EXPECT_NEAR(classes.charge[1], -classes.charge[2], 1e-12) << cells;
        double residual = 1;
        for (const std::string& line : listing()) {
            if (line.rfind("  Mean residual for fitted charges:", 0) == 0) {
                ASSERT_TRUE(read_list(line.substr(37), {&residual}));  // the last fit's line wins
            }
        }
        EXPECT_LT(residual, 0.05) << cells;
    }
}

// Cyanogen on its inversion centre, each of its four atoms in a class of its
// own: the fitted charges of an atom and its image agree and the four sum
// to the molecule's charge, zero.
TEST_F(PotentialChargesTest, CentrosymmetricMoleculeGetsSymmetricCharges)
{
    ASSERT_TRUE(load_cyanogen());
    ASSERT_EQ(current_model().atoms.atom_count, 4);
    ChargeClassArray array;
    for (int i = 1; i <= 4; ++i)
        array.class_value[i] = i;
    PotentialFitSettings settings;
    settings.points_per_edge = 8;
    ASSERT_TRUE(fit_potential_derived_charges(array, settings));
    const ChargeClasses& classes = charge_classes();
    ASSERT_EQ(classes.class_count, 4);
    // Atoms 3 and 4 are the images of C1 and N1.
    EXPECT_NEAR(classes.charge[1], classes.charge[3], 1e-6);
    EXPECT_NEAR(classes.charge[2], classes.charge[4], 1e-6);
    EXPECT_NEAR(classes.charge[1] + classes.charge[2] + classes.charge[3] + classes.charge[4], 0.0, 1e-12);
    EXPECT_GT(std::abs(classes.charge[1]), 1e-3);
    EXPECT_TRUE(has_line(listing(), " Number of symmetry-distinct atoms:    4"));
}

}  // namespace
