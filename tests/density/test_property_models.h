// Small pseudoatom models for the density tests, written as model files and
// loaded through the program's loader (element table and wavefunction bank
// from the start-up directory), with an optional cluster file.
#pragma once

#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace density_test {

namespace fs = std::filesystem;

inline constexpr double A0 = 0.529177249;  // Angstrom per bohr

struct TestAtom {
    std::string label;
    double x = 0, y = 0, z = 0;  // fractional
    double occupancy = 1.0;
    int l_max = 0, core = 0;
    int frame_1 = 0, frame_2 = 0, frame_3 = 0;
    char axis_1 = 'X', axis_2 = 'Y';
    std::string configuration;
    std::array<int, 5> n{};
    std::array<double, 5> zeta{};  // 1/bohr
    double kappa = 1.0, kappa_prime = 1.0;
    double valence_population = 0.0;
    std::array<std::array<double, 9>, 5> p{};  // [l][m + 4]
};

struct TestDummy {
    std::string label;
    double x, y, z;
};

struct TestModel {
    std::array<double, 6> cell = {20, 20, 20, 90, 90, 90};
    std::vector<TestAtom> atoms;
    std::vector<TestDummy> dummies;
    std::string centring = "NON                  /P";
    std::vector<std::string> cards = {"     X         Y         Z"};
    // Cluster entries "op tx ty tz first last"; none: the load is told not to
    // create a cluster file.
    std::vector<std::string> cluster;
};

inline std::string format_model(const TestModel& layout)
{
    std::ostringstream out;
    out.precision(17);
    out << "Test model\n";
    for (double c : layout.cell)
        out << c << ' ';
    out << '\n' << layout.atoms.size() << ' ' << layout.dummies.size() << '\n';
    for (const TestAtom& a : layout.atoms)
        out << a.label << ' ' << a.x << ' ' << a.y << ' ' << a.z << ' ' << a.occupancy << '\n';
    for (const TestDummy& d : layout.dummies)
        out << d.label << ' ' << d.x << ' ' << d.y << ' ' << d.z << ' ';
    if (!layout.dummies.empty())
        out << '\n';
    for (const TestAtom& a : layout.atoms) {
        out << a.l_max << ' ' << a.core << ' ' << a.frame_1 << ' ' << a.axis_1 << ' ' << a.frame_2 << ' '
            << a.frame_3 << ' ' << a.axis_2 << '\n'
            << a.configuration << '\n';
        for (int l = 0; l <= a.l_max; ++l)
            out << a.n[l] << ' ';
        out << '\n';
        for (int l = 0; l <= a.l_max; ++l)
            out << a.zeta[l] << ' ';
        out << '\n' << a.kappa << ' ' << a.kappa_prime << '\n' << a.valence_population << '\n';
        for (int l = 0; l <= a.l_max; ++l) {
            for (int m = -l; m <= l; ++m)
                out << a.p[l][m + 4] << ' ';
            out << '\n';
        }
    }
    out << "Space group\n" << layout.centring << '\n';
    for (const std::string& card : layout.cards)
        out << card << '\n';
    out << "END\n";
    return out.str();
}

// Writes the model (and its cluster file) into a fresh folder, makes it the
// current and working directory and loads it.  The caller keeps `ui` alive.
inline bool load_model(const TestModel& layout, ScopedScriptedUi& ui)
{
    static int counter = 0;
    const fs::path folder = fs::temp_directory_path()
                            / ("kd_density_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "model.kdn";
    std::ofstream(file) << format_model(layout);
    if (!layout.cluster.empty()) {
        std::ofstream cluster(folder / "gspace.cls");
        cluster << "Generation of the symmetry-related atoms in the given space\n"
                << " symm.       translations        appl.for atoms  No.in list\n";
        for (const std::string& entry : layout.cluster)
            cluster << entry << '\n';
    } else {
        ui->answers.message_answers.push_back(MessageAnswer::no);
    }
    fs::current_path(folder);
    RunSettings& settings = run_settings();
    settings.file_dialog.start_directory = KD_RUNTIME_DIR;
    settings.file_dialog.working_directory = folder.string();
    settings.file_dialog.dialog_path = file.string();
    settings.file_dialog.file_title = "model.kdn";
    settings.output_files.input_type = "kdn";
    settings.output_files.input_file_path = file.string();
    settings.paths.wavefun_bank_path.clear();
    settings.calculation = CalculationSettings{};
    apply_default_calculation_settings(settings.calculation);
    return load_structure_file();
}

// A free atom at the origin of a large cubic cell.
inline TestAtom free_atom(const std::string& label, int core, const std::string& configuration,
                          double valence_population)
{
    TestAtom a;
    a.label = label;
    a.core = core;
    a.configuration = configuration;
    a.n = {2, 0, 0, 0, 0};
    a.zeta = {3.0, 0, 0, 0, 0};
    a.valence_population = valence_population;
    return a;
}

// A two-atom molecule with multipoles up to l = 4 and l = 1, local frames
// from dummy points (one of them left-handed), kappa and kappa' away from 1
// and an occupancy below 1; in a monoclinic cell so that a two-fold axis
// along b is a Cartesian rotation about y.
inline TestModel multipole_model()
{
    TestModel layout;
    layout.cell = {5.2, 6.3, 5.9, 90.0, 108.5, 90.0};
    TestAtom c;
    c.label = "C1";
    c.x = 0.05;
    c.y = 0.06;
    c.z = 0.07;
    c.l_max = 4;
    c.core = 2;
    c.frame_1 = 3;
    c.axis_1 = 'Z';
    c.frame_2 = 1;
    c.frame_3 = 4;
    c.axis_2 = 'X';
    c.configuration = "[He]2s2 2p2";
    c.n = {2, 2, 2, 3, 4};
    c.zeta = {3.1765, 3.1765, 3.1765, 3.1765, 3.1765};
    c.kappa = 0.99;
    c.kappa_prime = 0.85;
    c.valence_population = 4.1;
    c.p[0][4] = 0.05;
    double value = 0.01;
    for (int l = 1; l <= 4; ++l)
        for (int m = -l; m <= l; ++m) {
            c.p[l][m + 4] = m % 2 == 0 ? value : -value;
            value += 0.005;
        }
    TestAtom h;
    h.label = "H1";
    h.x = 0.15;
    h.y = 0.18;
    h.z = 0.21;
    h.occupancy = 0.9;
    h.l_max = 2;
    h.frame_1 = -4;
    h.axis_1 = 'z';
    h.frame_2 = 2;
    h.frame_3 = 3;
    h.axis_2 = 'x';
    h.configuration = "1s1";
    h.n = {1, 1, 2, 0, 0};
    h.zeta = {2.2, 2.2, 2.2, 0, 0};
    h.kappa = 1.2;
    h.kappa_prime = 1.1;
    h.valence_population = 0.9;
    h.p[0][4] = -0.02;
    h.p[1][3] = 0.1;
    h.p[1][5] = -0.05;
    h.p[1][4] = 0.12;
    h.p[2][2] = 0.03;
    h.p[2][4] = 0.04;
    h.p[2][6] = -0.02;
    layout.atoms = {c, h};
    layout.dummies = {{"DUM1", 0.5, 0.5, 0.5}, {"DUM2", 0.25, 0.75, 0.0}};
    return layout;
}

// Random points in a box about the origin, none within `keep_off` of an atom
// of the current model.
inline std::vector<std::array<double, 3>> random_points(int count, double half_width, double keep_off,
                                                        unsigned seed = 7)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> coordinate(-half_width, half_width);
    const WorkingAtomSet& atoms = current_model().atoms;
    std::vector<std::array<double, 3>> points;
    while (static_cast<int>(points.size()) < count) {
        const std::array<double, 3> p = {coordinate(generator), coordinate(generator), coordinate(generator)};
        bool clear = true;
        for (int i = 1; i <= atoms.atom_count; ++i)
            clear = clear && std::hypot(p[0] - atoms.cart_x[i], p[1] - atoms.cart_y[i], p[2] - atoms.cart_z[i])
                                 > keep_off;
        if (clear)
            points.push_back(p);
    }
    return points;
}

}  // namespace density_test
