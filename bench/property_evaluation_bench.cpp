// Throughput of the density evaluator on a model with its cluster, at 10^5
// points spread over the unit cell: (a) the density, (b) density, gradient
// and Hessian analytically, (c) the Laplacian by central differences,
// (d) the electrostatic potential.
//
// The model is KELDANA_BENCH_MODEL when set, else the largest examples/**/*.kdn
// (by size), else tests/fixtures/kdn/ethyne.kdn.  Its cluster file is
// "gspace.cls" or "<name>.cls" beside it; without one a cluster is made of the
// model's first symmetry operator and its inversion with every lattice
// translation -1..1 (the rest of a 3 x 3 x 3 block of cells).
#include "bench_model.h"
#include "common/scripted_ui.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/density/spherical_potential_tables.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int POINT_COUNT = 100000;

using bench::chosen_model;

void write_block_cluster(const fs::path& file, int atom_count)
{
    std::ofstream out(file);
    out << "Generation of the symmetry-related atoms in the given space\n"
        << " symm.       translations        appl.for atoms  No.in list\n";
    for (int op : {1, -1})
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b)
                for (int c = -1; c <= 1; ++c)
                    if (op != 1 || a != 0 || b != 0 || c != 0)
                        out << op << ' ' << a << ' ' << b << ' ' << c << " 1 " << atom_count << '\n';
}

struct BenchModel {
    bool loaded = false;
    std::string name;
    std::vector<Vector3> points;
    long long atom_terms = 0;    // pairs of point and active atom within rCut
    long long summed_terms = 0;  // of those, the pairs within the atom's own term radius
};

BenchModel& bench_model()
{
    static BenchModel model = [] {
        BenchModel m;
        ScopedScriptedUi ui;
        const fs::path source = chosen_model();
        const fs::path work = bench::prepare_bench_folder(source, "bench");
        const fs::path beside_default = source.parent_path() / "gspace.cls";
        const fs::path beside_named = fs::path(source).replace_extension(".cls");
        RunSettings& settings = run_settings();
        apply_default_calculation_settings(settings.calculation);
        // Count the atoms first, for the made-up cluster.
        if (fs::exists(beside_default))
            fs::copy_file(beside_default, work / "gspace.cls", fs::copy_options::overwrite_existing);
        else if (fs::exists(beside_named))
            fs::copy_file(beside_named, work / "gspace.cls", fs::copy_options::overwrite_existing);
        else {
            ui->answers.message_answers.push_back(MessageAnswer::no);
            if (!load_structure_file())
                return m;
            write_block_cluster(work / "gspace.cls", current_model().atoms.independent_atom_count);
        }
        if (!load_structure_file() || !build_spherical_potential_tables())
            return m;
        m.loaded = true;
        m.name = source.filename().string();

        const StructureModel& model = current_model();
        const double r_cut = settings.calculation.rCut;
        unsigned long long state = 12345;
        auto next = [&state] {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<double>(state >> 11) / 9007199254740992.0;
        };
        std::vector<double> radius(static_cast<std::size_t>(model.atoms.atom_count) + 1);
        for (int i = 1; i <= model.atoms.atom_count; ++i)
            radius[i] = density_term_radius(i);
        for (int k = 0; k < POINT_COUNT; ++k) {
            Vector3 p{};
            convert_fractional_to_cartesian(model.orthogonalisation, next(), next(), next(), p[0], p[1], p[2]);
            m.points.push_back(p);
            for (int i = 1; i <= model.atoms.atom_count; ++i)
                if (model.atoms.subset_mask[i] != 0) {
                    const double r = std::max(std::hypot(p[0] - model.atoms.cart_x[i], p[1] - model.atoms.cart_y[i],
                                                         p[2] - model.atoms.cart_z[i]),
                                              1e-9);
                    m.atom_terms += r <= r_cut ? 1 : 0;
                    m.summed_terms += r <= radius[i] ? 1 : 0;
                }
        }
        std::fprintf(stderr,
                     "model %s: %d atoms (%d independent), rCut %.2f, %.1f atoms within rCut per point, %.1f within "
                     "their term radius, %u cores\n",
                     m.name.c_str(), model.atoms.atom_count, model.atoms.independent_atom_count, r_cut,
                     static_cast<double>(m.atom_terms) / POINT_COUNT, static_cast<double>(m.summed_terms) / POINT_COUNT,
                     std::thread::hardware_concurrency());
        return m;
    }();
    return model;
}

void report(benchmark::State& state, const BenchModel& m)
{
    state.counters["points/s"] =
        benchmark::Counter(static_cast<double>(m.points.size()) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["atom_terms/s"] =
        benchmark::Counter(static_cast<double>(m.atom_terms) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["summed_terms/s"] =
        benchmark::Counter(static_cast<double>(m.summed_terms) * state.iterations(), benchmark::Counter::kIsRate);
    state.SetLabel(m.name);
}

// Times at_point(p) over every point of the model and reports the rates.
template <typename AtPoint>
void time_points(benchmark::State& state, AtPoint at_point)
{
    const BenchModel& m = bench_model();
    if (!m.loaded) {
        state.SkipWithError("the model did not load");
        return;
    }
    for (auto _ : state)
        for (const Vector3& p : m.points)
            at_point(p);
    report(state, m);
}

void BM_Density(benchmark::State& state)
{
    time_points(state, [](const Vector3& p) { benchmark::DoNotOptimize(evaluate_property_at_point(p[0], p[1], p[2], 3)); });
}

// Density and gradient: what surface paths and trajectories ask for.
void BM_DensityGradient(benchmark::State& state)
{
    double value = 0;
    Vector3 gradient{};
    time_points(state, [&](const Vector3& p) {
        evaluate_density_value_gradient(p, value, gradient, 3);
        benchmark::DoNotOptimize(gradient);
    });
}

void BM_DensityGradientHessian(benchmark::State& state)
{
    double value = 0;
    Vector3 gradient{};
    Matrix3 hessian;
    time_points(state, [&](const Vector3& p) {
        evaluate_property_value_gradient_hessian(p, value, gradient, hessian, 3);
        benchmark::DoNotOptimize(hessian);
    });
}

// Code 8: the value and Laplacian of every term, no gradient or Hessian.
void BM_Laplacian(benchmark::State& state)
{
    time_points(state, [](const Vector3& p) { benchmark::DoNotOptimize(evaluate_property_at_point(p[0], p[1], p[2], 8)); });
}

// The same Laplacian as the trace of the full Hessian (what code 8 cost before).
void BM_LaplacianFromHessian(benchmark::State& state)
{
    double value = 0;
    Vector3 gradient{};
    Matrix3 hessian;
    time_points(state, [&](const Vector3& p) {
        evaluate_property_value_gradient_hessian(p, value, gradient, hessian, 3);
        benchmark::DoNotOptimize(hessian(1, 1) + hessian(2, 2) + hessian(3, 3));
    });
}

void BM_NumericLaplacian(benchmark::State& state)
{
    Vector3 components{};
    time_points(state, [&](const Vector3& p) {
        benchmark::DoNotOptimize(compute_property_gradient_or_laplacian_numeric(2, p[0], p[1], p[2], components, 3));
    });
}

void BM_ElectrostaticPotential(benchmark::State& state)
{
    time_points(state, [](const Vector3& p) { benchmark::DoNotOptimize(evaluate_property_at_point(p[0], p[1], p[2], 23)); });
}

// A point far from every atom: what a call costs besides its terms.
void BM_FixedCostPerCall(benchmark::State& state)
{
    const BenchModel& m = bench_model();
    if (!m.loaded) {
        state.SkipWithError("the model did not load");
        return;
    }
    constexpr int CALLS = 1000000;
    for (auto _ : state)
        for (int k = 0; k < CALLS; ++k)
            benchmark::DoNotOptimize(evaluate_property_at_point(1e4, 1e4, 1e4 + k * 1e-6, 3));
    state.counters["calls/s"] =
        benchmark::Counter(static_cast<double>(CALLS) * state.iterations(), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_FixedCostPerCall)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Density)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DensityGradient)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DensityGradientHessian)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Laplacian)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LaplacianFromHessian)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_NumericLaplacian)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ElectrostaticPotential)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
