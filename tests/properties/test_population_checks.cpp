// Numerical checks of atomic populations: the Simpson rule by hand, and the
// electrons of neutral free atoms, which must come out as Z.
#include "common/fortran_format.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/wavefunction_bank.h"
#include "keldana/properties/population_checks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string right_trimmed(std::string text)
{
    const std::size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

struct FreeAtom {
    const char* label;
    const char* configuration;
    int core;
    double valence;
    double x, y, z;  // Angstrom, in a cubic 20 Angstrom cell
};

// A model of neutral spherical free atoms, space group P1.
std::string free_atoms_model(const std::vector<FreeAtom>& atoms)
{
    std::string text = "Free atoms\n";
    text += format_line("(6F9.4)", {20.0, 20.0, 20.0, 90.0, 90.0, 90.0}) + "\n";
    text += " " + std::to_string(atoms.size()) + " 0\n";
    for (const FreeAtom& a : atoms)
        text += format_line("(A8,3F12.6,5X,F8.6)", {a.label, a.x / 20, a.y / 20, a.z / 20, 1.0}) + "\n";
    for (const FreeAtom& a : atoms) {
        text += format_line("(3I6,3X,A1,2I6,3X,A1,10X,'/* atom: ',A6,' */')", {0, a.core, 0, "X", 0, 0, "Y", a.label})
                + "\n";
        text += std::string(a.configuration) + "\n";
        text += "     2\n  3.0000\n 1.000000 1.000000\n";
        text += format_line("(32X,F8.4,32X)", {a.valence}) + "\n";
        text += format_line("(32X,F8.4,32X)", {0.0}) + "\n";
    }
    text += "Space group P1\nNON                  /P\n     X         Y         Z\nEND\n";
    return text;
}

class PopulationCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_populations_XXXXXX").string();
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
        run_settings().file_dialog.start_directory = KD_RUNTIME_DIR;
        fs::current_path(previous_);
        fs::remove_all(directory_);
    }

    bool load(const std::string& text)
    {
        const fs::path path = directory_ / "atoms.kdn";
        std::ofstream(path) << text;
        RunSettings& settings = run_settings();
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = path.string();
        settings.file_dialog.dialog_path = path.string();
        settings.file_dialog.file_title = "atoms.kdn";
        ui_->answers.message_answers.push_back(MessageAnswer::no);  // no cluster file
        const bool loaded = load_structure_file();
        ui_->answers.messages.clear();
        return loaded;
    }

    std::vector<std::string> listing() const
    {
        std::vector<std::string> lines;
        std::ifstream in(directory_ / listing_file_name());
        for (std::string line; std::getline(in, line);)
            lines.push_back(right_trimmed(line));
        return lines;
    }

    std::vector<std::string> pane() const
    {
        std::vector<std::string> lines;
        for (int k = 1; k <= text_pane_state().line_count; ++k)
            lines.push_back(right_trimmed(read_pane_line(k)));
        return lines;
    }

    static int count_of(const std::vector<std::string>& lines, const std::string& line)
    {
        int count = 0;
        for (const std::string& l : lines)
            count += l == line;
        return count;
    }

    ScopedScriptedUi ui_;
    fs::path previous_;
    fs::path directory_;
};

TEST(IntegrateSimpson, IsExactForCubicsAndWeighsTheInteriorPointsFourAndTwo)
{
    // x^3 over [0, 4] in five points: 64 exactly.
    EXPECT_NEAR(integrate_simpson({0.0, 1.0, 8.0, 27.0, 64.0}, 5, 1.0), 64.0, 1e-13);
    // 1001 ones: (2 + 4 * 500 + 2 * 499) h / 3 = 1000 h.
    EXPECT_NEAR(integrate_simpson(std::vector<double>(1001, 1.0), 1001, 0.01), 10.0, 1e-12);
    // Only the first n values count.
    EXPECT_NEAR(integrate_simpson({1.0, 1.0, 1.0, 50.0}, 3, 0.5), 1.0, 1e-15);
}

TEST_F(PopulationCheckTest, NeutralFreeAtomsHoldZElectronsOnceForEachType)
{
    ASSERT_TRUE(load(free_atoms_model({{"H1", "1s1", 0, 1.0, 0.0, 0.0, 0.0},
                                       {"Ne1", "[He]2s2 2p6", 2, 8.0, 5.0, 0.0, 0.0},
                                       {"Ne2", "[He]2s2 2p6", 2, 8.0, 0.0, 5.0, 0.0}})));
    check_atomic_populations();
    const std::string header = "  Atom     Z    Core electrons    Valence electrons";
    // (2X,A8,I2,5X,F4.1,16X,F4.1): hydrogen has no core integral.
    const std::string hydrogen = "  H1       1      0.0                 1.0";
    const std::string neon = "  Ne1     10      2.0                 8.0";
    for (const std::vector<std::string>& lines : {listing(), pane()}) {
        EXPECT_EQ(count_of(lines, header), 1);
        EXPECT_EQ(count_of(lines, hydrogen), 1);
        EXPECT_EQ(count_of(lines, neon), 1);
        EXPECT_EQ(count_of(lines, "  Ne2     10      2.0                 8.0"), 0);
    }
    EXPECT_EQ(count_of(listing(), " Numerical integration checks of atomic densities ..."), 1);
    EXPECT_EQ(count_of(pane(), " ===== NUMERICAL INTEGRATION CHECKS OF ATOMIC DENSITIES ====="), 1);

    // The counts themselves, closer than the printed tenth (the grid leaves
    // out the first step at the nucleus, which costs the core 0.002).
    const int neon_atom = 2;
    EXPECT_NEAR(integrate_atomic_density_set(1, neon_atom, CORE_RADIAL_STEP), 2.0, 3e-3);
    EXPECT_NEAR(integrate_atomic_density_set(2, neon_atom, VALENCE_RADIAL_STEP), 8.0, 1e-3);
    EXPECT_NEAR(integrate_atomic_density_set(2, 1, VALENCE_RADIAL_STEP), 1.0, 1e-3);
}

TEST_F(PopulationCheckTest, ReadsTheBankFirstAndStopsQuietlyWhenItCannot)
{
    ASSERT_TRUE(load(free_atoms_model({{"Ne1", "[He]2s2 2p6", 2, 8.0, 0.0, 0.0, 0.0}})));
    bank_loaded() = 0;
    check_atomic_populations();
    EXPECT_EQ(bank_loaded(), 1);
    EXPECT_EQ(count_of(pane(), "  Ne1     10      2.0                 8.0"), 1);

    // No bank anywhere: the reader's message, and no table.
    bank_loaded() = 0;
    run_settings().file_dialog.start_directory = directory_.string();
    const int lines_before = text_pane_state().line_count;
    check_atomic_populations();
    EXPECT_EQ(text_pane_state().line_count, lines_before);
    ASSERT_EQ(ui_->answers.messages.size(), 1u);
    EXPECT_NE(ui_->answers.messages[0].text.find("Not found wavefunctions file"), std::string::npos);
    EXPECT_EQ(bank_loaded(), 0);
}

}  // namespace
