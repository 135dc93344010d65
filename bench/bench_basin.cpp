// (a) The interatomic surface and the basin integral of the density for one
// carbon atom of the largest example model, at the integration dialog's
// default accuracy: a 32 x 48 surface grid, radius tolerance 0.0005
// Angstrom, path step factor 0.015, cluster radius rCut (10 Angstrom) and a
// 32 x 48 outer quadrature.  Reports the time and the number of evaluations
// of each part (density evaluations of the surface's path steps, integrand
// evaluations of the integral), and the atom's volume and electron count.
// The model is bench_model.h's choice (KELDANA_BENCH_MODEL, else the largest
// example) with its "gspace.cls"; the atom is KELDANA_BENCH_ATOM (default:
// the first carbon atom).
//
// (b) Every atom of the cyanogen crystal (examples/cyanogen, one molecule
// NC-CN on an inversion centre per cell): the surfaces on the grid and with
// the path step factor of the arguments (cluster radius 6 Angstrom,
// tolerance 0.0005 Angstrom), the integrals with a 96 x 120 outer
// quadrature.  Reports the sums over the cell (the asymmetric unit times
// the symmetry operators): the electron count against the molecule's 26,
// the volume against the cell's, and each basin's L(Omega) = -1/4 of its
// Laplacian integral, in atomic units.  Long: up to half an hour a run.
#include "bench_model.h"
#include "common/scripted_ui.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/topology/basin_integration.h"
#include "keldana/topology/basin_integration_workers.h"
#include "keldana/topology/interatomic_surface.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int RHO = 3;

using bench::chosen_model;
using bench::copy_bench_cluster;

// Loads the model in a scratch folder; false when it does not load.  The
// worker threads: KELDANA_BENCH_THREADS when set, else every hardware thread.
bool load_bench_model(const fs::path& source, ScopedScriptedUi& ui)
{
    if (const char* threads = std::getenv("KELDANA_BENCH_THREADS"))
        set_worker_thread_count(std::atoi(threads));
    if (source.empty())
        return false;
    copy_bench_cluster(source, bench::prepare_bench_folder(source, "bench_basin"), ui.get());
    RunSettings& settings = run_settings();
    apply_default_calculation_settings(settings.calculation);
    if (!load_structure_file())
        return false;
    apply_default_calculation_settings(settings.calculation);
    return true;
}

// The atom of benchmark (a), or 0.
int bench_atom()
{
    if (const char* atom = std::getenv("KELDANA_BENCH_ATOM"))
        return std::atoi(atom);
    const WorkingAtomSet& atoms = current_model().atoms;
    for (int a = 1; a <= atoms.independent_atom_count; ++a)
        if (atoms.atomic_number[a] == 6)
            return a;
    return 0;
}

// The surface and the density integral of `atom` at the dialog's defaults
// with the given cluster radius, timed; then its volume.  Counters: the
// processor seconds and evaluations of both, the electrons and the volume.
void time_surface_and_integral(benchmark::State& state, ScopedScriptedUi& ui, int atom, double cluster_radius)
{
    BasinJobRequest surfaces;
    surfaces.mode = BasinJobMode::surfaces;
    surfaces.atoms = {atom};
    surfaces.n_theta = 32;
    surfaces.n_phi = 48;
    surfaces.cluster_radius = cluster_radius;
    surfaces.step_factor = 0.015;
    surfaces.surface_tolerance = 0.0005;
    surfaces.surface_file = "bench.ias";
    BasinJobRequest density = surfaces;
    density.mode = BasinJobMode::property;
    density.code = RHO;
    BasinJobRequest volume = density;
    volume.mode = BasinJobMode::volume;

    double surface_seconds = 0, integral_seconds = 0;
    long long surface_evaluations = 0, integral_evaluations = 0;
    for (auto _ : state) {
        const BasinJobResult s = run_basin_job(surfaces);
        const BasinJobResult d = run_basin_job(density);
        if (!s.completed || !d.completed) {
            state.SkipWithError(("the job failed: " + ui->answers.message_log()).c_str());
            return;
        }
        surface_seconds += s.seconds;
        surface_evaluations += s.evaluations;
        integral_seconds += d.seconds;
        integral_evaluations += d.evaluations;
    }
    run_basin_job(volume);
    const double n = static_cast<double>(state.iterations());
    state.counters["surface_s"] = surface_seconds / n;
    state.counters["surface_evaluations"] = static_cast<double>(surface_evaluations) / n;
    state.counters["integral_s"] = integral_seconds / n;
    state.counters["integral_evaluations"] = static_cast<double>(integral_evaluations) / n;
    state.counters["electrons"] = basin_integration_results().basin_property_integral[atom];
    state.counters["volume"] = basin_integration_results().basin_volume[atom];
}

void BM_SurfaceAndIntegralOfOneCarbon(benchmark::State& state)
{
    ScopedScriptedUi ui;
    const int atom = load_bench_model(chosen_model(), ui) ? bench_atom() : 0;
    if (atom == 0) {
        state.SkipWithError("the model did not load or has no carbon atom");
        return;
    }
    time_surface_and_integral(state, ui, atom, run_settings().calculation.rCut);
    state.SetLabel(chosen_model().filename().string() + " atom " + std::to_string(atom) + ", "
                   + std::to_string(current_model().atoms.atom_count) + " atoms before the cluster");
    close_report_output();
}

// The atoms of the cluster a basin job builds around `atom` with the
// cluster radius `radius` (the job restores the model afterwards).
int cluster_atom_count(int atom, double radius)
{
    StructureModel& model = current_model();
    const auto saved = std::make_unique<StructureModel>(model);
    const double r_cut = run_settings().calculation.rCut;
    run_settings().calculation.rCut = radius;
    const Vector3 centre{model.atoms.cart_x[atom], model.atoms.cart_y[atom], model.atoms.cart_z[atom]};
    generate_cluster_images(model, radius, centre, {}, model.space_group.lattice_type, CLUSTER_AROUND_ATOM);
    const int count = build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST_SILENT, model) ? model.atoms.atom_count : 0;
    model = *saved;
    run_settings().calculation.rCut = r_cut;
    note_model_change();
    return count;
}

// How one basin's cost grows with the cluster: the first carbon of
// cyanogen (argument 0) or benzoquinone (1) as above, with the cluster
// radius argument / 10 A, and the cluster's atom count.
void BM_OneBasinByClusterRadius(benchmark::State& state)
{
    ScopedScriptedUi ui;
    const char* name = state.range(0) == 0 ? "cyanogen" : "benzoquinone";
    const fs::path source = fs::path(KD_SOURCE_DIR) / "examples" / name / (std::string(name) + ".kdn");
    int atom = 0;
    if (load_bench_model(source, ui))
        for (int a = current_model().atoms.independent_atom_count; a >= 1; --a)
            atom = current_model().atoms.atomic_number[a] == 6 ? a : atom;
    if (atom == 0) {
        state.SkipWithError("the example did not load or has no carbon atom");
        return;
    }
    const double radius = 0.1 * static_cast<double>(state.range(1));
    time_surface_and_integral(state, ui, atom, radius);
    state.counters["cluster_atoms"] = cluster_atom_count(atom, radius);
    state.SetLabel(std::string(name) + " atom " + std::to_string(atom));
    close_report_output();
}

constexpr double A0_SQUARED = 0.529177249 * 0.529177249;  // Angstrom^2 per bohr^2
constexpr int LAPLACIAN = 8;
constexpr double CYANOGEN_ELECTRONS = 26.0;
constexpr int OUTER_THETA_POINTS = 96;
constexpr int OUTER_PHI_POINTS = 120;

// The surfaces, then the volume and electron integrals of a whole cell;
// false (the benchmark skipped) when the surfaces failed.
bool surfaces_volume_and_electrons(benchmark::State& state, ScopedScriptedUi& ui, const BasinJobRequest& surfaces,
                                   BasinJobRequest& integral, double& surface_seconds, double& volume,
                                   double& electrons)
{
    const BasinJobResult s = run_basin_job(surfaces);
    if (!s.completed) {
        state.SkipWithError(("the surfaces failed: " + ui->answers.message_log()).c_str());
        return false;
    }
    surface_seconds = s.seconds;
    integral.mode = BasinJobMode::volume;
    volume = run_basin_job(integral).total;
    integral.mode = BasinJobMode::property;
    integral.code = RHO;
    electrons = run_basin_job(integral).total;
    return true;
}

// Arguments: the surface grid (theta and phi intervals) and the path step
// factor in units of 1e-4.
void BM_CrystalBasinSums(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!load_bench_model(fs::path(KD_SOURCE_DIR) / "examples/cyanogen/cyanogen.kdn", ui)) {
        state.SkipWithError("the cyanogen example did not load");
        return;
    }
    const StructureModel& model = current_model();
    std::vector<int> atoms;
    for (int a = 1; a <= model.atoms.independent_atom_count; ++a)
        atoms.push_back(a);
    BasinJobRequest surfaces;
    surfaces.mode = BasinJobMode::surfaces;
    surfaces.atoms = atoms;
    surfaces.n_theta = static_cast<int>(state.range(0));
    surfaces.n_phi = static_cast<int>(state.range(1));
    surfaces.cluster_radius = 6.0;
    surfaces.step_factor = 1e-4 * static_cast<double>(state.range(2));
    surfaces.surface_tolerance = 0.0005;
    surfaces.surface_file = "cyanogen.ias";
    BasinJobRequest integral = surfaces;
    integral.n_theta = OUTER_THETA_POINTS;
    integral.n_phi = OUTER_PHI_POINTS;
    double electrons = 0, volume = 0, surface_seconds = 0;
    std::vector<double> laplacian;
    for (auto _ : state) {
        if (!surfaces_volume_and_electrons(state, ui, surfaces, integral, surface_seconds, volume, electrons))
            return;
        integral.code = LAPLACIAN;
        run_basin_job(integral);
    }
    const int multiplicity = model.operators.symop_count;  // atoms in general positions
    state.counters["surface_s"] = surface_seconds;
    state.counters["cell_electrons"] = multiplicity * electrons;
    state.counters["electron_error"] = multiplicity * electrons - CYANOGEN_ELECTRONS;
    state.counters["cell_volume"] = model.cell.cell_volume;
    state.counters["volume_error_percent"] = 100.0 * (multiplicity * volume / model.cell.cell_volume - 1.0);
    // L(Omega) = -1/4 of the integral of the Laplacian, in atomic units.
    for (int a : atoms)
        state.counters["L_au_" + std::string(model.atoms.atom_label[a].data(), 2)] =
            -0.25 * basin_integration_results().basin_property_integral[a] * A0_SQUARED;
    state.SetLabel("cyanogen, " + std::to_string(multiplicity) + " x the asymmetric unit");
    close_report_output();
}

// Every independent atom of the benzoquinone crystal (examples/benzoquinone,
// P2_1/c, one molecule C6H4O2 on an inversion centre, two a cell) at the
// integration dialog's defaults: a 32 x 48 surface grid, path step factor
// 0.015, tolerance 0.0005 Angstrom, cluster radius rCut, 32 x 48 outer
// quadrature.  Reports the volumes and electron counts times the four
// operators of the group (every atom in a general position) against the
// cell volume and the cell's electrons (the populations' sum).
void BM_BenzoquinoneCellSums(benchmark::State& state)
{
    ScopedScriptedUi ui;
    if (!load_bench_model(fs::path(KD_SOURCE_DIR) / "examples/benzoquinone/benzoquinone.kdn", ui)) {
        state.SkipWithError("the benzoquinone example did not load");
        return;
    }
    const StructureModel& model = current_model();
    std::vector<int> atoms;
    double cell_electrons = 0;
    const int multiplicity = model.operators.symop_count;
    for (int a = 1; a <= model.atoms.independent_atom_count; ++a) {
        atoms.push_back(a);
        cell_electrons += multiplicity * (model.pseudoatoms.core_electron_count[a] + model.pseudoatoms.valence_population[a]);
    }
    BasinJobRequest surfaces;
    surfaces.mode = BasinJobMode::surfaces;
    surfaces.atoms = atoms;
    surfaces.n_theta = 32;
    surfaces.n_phi = 48;
    surfaces.cluster_radius = run_settings().calculation.rCut;
    surfaces.step_factor = 0.015;
    surfaces.surface_tolerance = 0.0005;
    surfaces.surface_file = "benzoquinone.ias";
    BasinJobRequest integral = surfaces;
    double electrons = 0, volume = 0, surface_seconds = 0;
    for (auto _ : state) {
        if (!surfaces_volume_and_electrons(state, ui, surfaces, integral, surface_seconds, volume, electrons))
            return;
    }
    state.counters["surface_cpu_s"] = surface_seconds;
    state.counters["cell_electrons"] = cell_electrons;
    state.counters["electron_error_per_molecule"] = (multiplicity * electrons - cell_electrons) / 2.0;
    state.counters["cell_volume"] = model.cell.cell_volume;
    state.counters["volume_error_percent"] = 100.0 * (multiplicity * volume / model.cell.cell_volume - 1.0);
    const BasinIntegrationResults& results = basin_integration_results();
    for (int a : atoms)
        state.counters["V_" + std::string(model.atoms.atom_label[a].data(), 2)] = results.basin_volume[a];
    state.SetLabel("benzoquinone, " + std::to_string(multiplicity) + " x the asymmetric unit");
    close_report_output();
}

}  // namespace

BENCHMARK(BM_BenzoquinoneCellSums)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_SurfaceAndIntegralOfOneCarbon)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_OneBasinByClusterRadius)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->ArgsProduct({{0, 1}, {40, 60, 80, 100, 120}});
BENCHMARK(BM_CrystalBasinSums)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Args({32, 48, 150})
    ->Args({64, 96, 150})
    ->Args({96, 120, 150})
    ->Args({96, 120, 50});

BENCHMARK_MAIN();
