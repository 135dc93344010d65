// The tabulated spherical densities against their pair sums, and the pair
// sums' derivatives against the closed form of a single Slater pair.
#include "keldana/density/spherical_density_table.h"
#include "support/sanitizers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

SphericalPairSum::Function slater(int power, double exponent)
{
    // Normalised as the bank's orbitals: (2a)^(n + 1/2) / sqrt((2n)!), n = power + 1.
    return {power, exponent, std::pow(2.0 * exponent, power + 1.5) / std::sqrt(std::tgamma(2.0 * power + 3.0))};
}

struct TableCase {
    std::string name;
    std::vector<SphericalPairSum::Function> functions;
    std::vector<SphericalPairSum::Pair> pairs;
    double range;
};

// Exponents in 1/Angstrom: a first-row core and valence, a heavy atom's
// steep core, an orthogonalised set with negative cross terms, and high
// powers (d and f-like radial parts).
std::vector<TableCase> table_cases()
{
    return {
        {"carbon-like", {slater(0, 10.7), slater(1, 3.1), slater(1, 5.9), slater(1, 2.0)},
         {{0, 0, 0.6}, {0, 1, -0.2}, {1, 1, 0.5}, {2, 2, 0.3}, {3, 3, 0.4}, {2, 3, 0.25}}, 7.0},
        {"heavy core", {slater(0, 150.0), slater(1, 60.0), slater(2, 20.0), slater(3, 4.0)},
         {{0, 0, 2.0}, {1, 1, 1.5}, {0, 1, -0.8}, {2, 2, 1.0}, {3, 3, 0.7}, {2, 3, -0.3}}, 9.5},
        {"hydrogen", {slater(0, 2.0 / 0.529177249)}, {{0, 0, 0.3}}, 5.25},
        {"high powers", {slater(2, 4.5), slater(4, 3.0), slater(6, 2.2)},
         {{0, 0, 0.5}, {1, 1, 0.4}, {2, 2, 0.3}, {0, 2, -0.1}}, 10.0},
        // Sets that start at r^6 or beyond: relative accuracy alone never
        // closes the interval at the nucleus.
        {"n = 4 alone", {slater(3, 2.5)}, {{0, 0, 1.0}}, 9.0},
        {"n = 5 alone", {slater(4, 2.0)}, {{0, 0, 1.0}}, 12.0},
        {"4f-only valence", {slater(3, 9.0), slater(3, 3.5), slater(3, 1.6)},
         {{0, 0, 0.2}, {1, 1, 0.5}, {2, 2, 0.3}, {0, 1, 0.1}, {1, 2, -0.15}}, 11.0},
        {"n = 5 and 6", {slater(4, 3.0), slater(5, 1.8)}, {{0, 0, 0.6}, {1, 1, 0.4}, {0, 1, -0.2}}, 14.0},
    };
}

TEST(SphericalDensityTable, MatchesThePairSumsEverywhereInItsRange)
{
    for (const TableCase& c : table_cases()) {
        SCOPED_TRACE(c.name);
        SphericalPairSum sum{c.functions, c.pairs};
        SphericalDensityTable table;
        ASSERT_TRUE(build_spherical_density_table(sum, c.range, table));
        std::mt19937 random(7);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<double> radii = {0.0, 1e-9, c.range};
        for (int k = 0; k < 20000; ++k)
            radii.push_back(c.range * std::pow(unit(random), 3.0));  // dense near the nucleus
        // A part in 1e13 of the pairs' own size at r, or a few roundings of
        // the set's largest values where it vanishes (at the nucleus, or g'
        // at the peak of a single pair).
        double peak[3] = {0, 0, 0};
        for (double r : radii) {
            double exact[5], bound[5];
            sum_spherical_pairs(sum, r, exact, bound);
            for (int m = 0; m < 3; ++m)
                peak[m] = std::max(peak[m], bound[m]);
        }
        for (double r : radii) {
            double exact[5], bound[5], found[3];
            sum_spherical_pairs(sum, r, exact, bound);
            evaluate_spherical_density_table(table, r, 2, found[0], found[1], found[2]);
            for (int m = 0; m < 3; ++m)
                ASSERT_LE(std::abs(found[m] - exact[m]), 2e-13 * bound[m] + 1e-15 * peak[m])
                    << "r = " << r << ", derivative " << m;
        }
    }
}

// The sets of a bank file: per atom type, its whole atom (every orbital
// with one electron) and each d orbital alone (a 3d-only valence starts at
// r^4, the highest power these banks start at).
struct BankSet {
    std::string name;
    SphericalPairSum sum;
};

std::vector<BankSet> bank_sets(const std::string& path)
{
    constexpr double INVERSE_BOHR = 1.8897259885789233;  // 1/bohr in 1/Angstrom
    std::ifstream file(path);
    std::vector<BankSet> sets;
    std::string line, symbol, block;  // block: the numbers of the current symmetry block
    auto add_orbital = [](SphericalPairSum& sum, const std::vector<int>& n, const std::vector<double>& c,
                          const std::vector<double>& zeta) {
        const int first = static_cast<int>(sum.functions.size());
        std::vector<double> weight;
        for (size_t f = 0; f < n.size(); ++f)
            if (zeta[f] > 0 && c[f] != 0) {
                sum.functions.push_back(slater(n[f] - 1, zeta[f] * INVERSE_BOHR));
                weight.push_back(c[f]);
            }
        // (sum c_i f_i)^2
        for (int i = 0; i < static_cast<int>(weight.size()); ++i)
            for (int j = i; j < static_cast<int>(weight.size()); ++j)
                sum.pairs.push_back({first + i, first + j, (i == j ? 1.0 : 2.0) * weight[i] * weight[j]});
    };
    auto finish_block = [&] {
        std::istringstream in(block);
        int l = 0, functions = 0, orbitals = 0;
        if (symbol.empty() || !(in >> l >> functions >> orbitals))
            return;
        std::vector<int> n(static_cast<size_t>(functions));
        std::vector<std::vector<double>> c(static_cast<size_t>(orbitals), std::vector<double>(n.size())), zeta = c;
        for (int f = 0; f < functions; ++f) {
            in >> n[f];
            for (int o = 0; o < orbitals; ++o)
                in >> c[o][f] >> zeta[o][f];
        }
        if (sets.empty() || sets.back().name != symbol)
            sets.push_back({symbol, {}});
        const size_t atom = sets.size() - 1;
        for (int o = 0; o < orbitals; ++o) {
            add_orbital(sets[atom].sum, n, c[o], zeta[o]);
            if (l == 2) {
                sets.push_back({symbol + " d orbital " + std::to_string(o + 1), {}});
                add_orbital(sets.back().sum, n, c[o], zeta[o]);
            }
        }
    };
    while (std::getline(file, line)) {
        if (line.size() >= 5 && line.compare(1, 4, "ATOM") == 0) {
            finish_block();
            block.clear();
            symbol = line.substr(6, 4);
        } else if (!line.empty() && line[0] != '!') {
            block += line + "\n";
        }
    }
    finish_block();
    return sets;
}

// The range the evaluator would tabulate: to where the density of one
// electron falls below 1e-10 e/A^3, in quarter Angstroms.
double set_range(const SphericalPairSum& sum)
{
    double r = 30.0;
    for (double g[5], bound[5]; r > 0.25; r -= 0.25) {
        sum_spherical_pairs(sum, r, g, bound);
        if (bound[0] > 1e-10)
            break;
    }
    return r + 0.25;
}

// The table of every set of both banks is made (none left to pair sums) and
// holds the accuracy of the cases above.
TEST(SphericalDensityTable, TabulatesEverySetOfBothBanks)
{
    SKIP_WHEN_SANITIZED();
    for (const std::string bank : {"wavefCR.bnk", "wavefSCM.bnk"}) {
        const std::vector<BankSet> sets = bank_sets(std::string(KD_SOURCE_DIR) + "/data/" + bank);
        ASSERT_GT(sets.size(), 100u) << bank;
        for (const BankSet& set : sets) {
            SCOPED_TRACE(bank + ": " + set.name);
            const double range = set_range(set.sum);
            SphericalDensityTable table;
            ASSERT_TRUE(build_spherical_density_table(set.sum, range, table)) << "range " << range;
            double peak[3] = {0, 0, 0};
            std::vector<double> radii = {0.0, 1e-9, range};
            for (int k = 1; k < 400; ++k)
                radii.push_back(range * std::pow(k / 400.0 + 0.00123, 3.0));
            for (double r : radii) {
                double exact[5], bound[5];
                sum_spherical_pairs(set.sum, r, exact, bound);
                for (int m = 0; m < 3; ++m)
                    peak[m] = std::max(peak[m], bound[m]);
            }
            for (double r : radii) {
                double exact[5], bound[5], found[3];
                sum_spherical_pairs(set.sum, std::min(r, range), exact, bound);
                evaluate_spherical_density_table(table, std::min(r, range), 2, found[0], found[1], found[2]);
                for (int m = 0; m < 3; ++m)
                    ASSERT_LE(std::abs(found[m] - exact[m]), 2e-13 * bound[m] + 1e-15 * peak[m])
                        << "r = " << r << ", derivative " << m;
            }
        }
    }
}

TEST(SphericalDensityTable, PairSumDerivativesFollowTheClosedForm)
{
    // One pair r^2 exp(-2 a r) (two 2p-like functions, N^2 = 1 here).
    const double a = 3.0;
    SphericalPairSum sum{{{1, a, 1.0}}, {{0, 0, 1.0}}};
    for (double r : {0.0, 0.1, 0.7, 2.5}) {
        double g[5], bound[5];
        sum_spherical_pairs(sum, r, g, bound);
        const double e = std::exp(-2.0 * a * r), b = 2.0 * a;
        // d^k/dr^k of r^2 e^(-b r) = (-1)^k e^(-b r) (b^k r^2 - 2 k b^(k-1) r + k (k-1) b^(k-2)).
        const double closed[5] = {r * r * e, (2 * r - b * r * r) * e, (2 - 4 * b * r + b * b * r * r) * e,
                                  (-6 * b + 6 * b * b * r - b * b * b * r * r) * e,
                                  (12 * b * b - 8 * b * b * b * r + b * b * b * b * r * r) * e};
        for (int k = 0; k < 5; ++k)
            EXPECT_NEAR(g[k], closed[k], 1e-13 * (std::abs(closed[k]) + b * b * b * b * e)) << "r " << r << " k " << k;
    }
}

TEST(SphericalDensityTable, RefusesWhatItCannotTabulate)
{
    const SphericalPairSum good{{slater(0, 5.0)}, {{0, 0, 1.0}}};
    SphericalDensityTable table;
    EXPECT_FALSE(build_spherical_density_table(good, 0.0, table));
    EXPECT_FALSE(build_spherical_density_table(good, -1.0, table));
    EXPECT_FALSE(build_spherical_density_table(good, std::nan(""), table));
    EXPECT_FALSE(build_spherical_density_table(good, HUGE_VAL, table));
    EXPECT_TRUE(table.nodes.empty());
    const SphericalPairSum dangling{{slater(0, 5.0)}, {{0, 1, 1.0}}};
    EXPECT_FALSE(build_spherical_density_table(dangling, 5.0, table));
    EXPECT_TRUE(table.nodes.empty());
    ASSERT_TRUE(build_spherical_density_table(good, 5.0, table));
    EXPECT_FALSE(table.nodes.empty());
}

}  // namespace
