#include "keldana/density/property_evaluation.h"

#include "keldana/density/electrostatic_potential.h"
#include "keldana/density/energy_densities.h"
#include "keldana/density/neighbour_grid.h"
#include "keldana/density/numeric_derivatives.h"
#include "keldana/density/property_esd.h"
#include "keldana/density/property_selection.h"
#include "keldana/density/spherical_harmonics.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/run_settings.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A byte copy of the source data a prepared model was built from.
class SourceRecord {
public:
    void begin() { bytes_.clear(); }

    template <typename T>
    void take(const T* data, std::size_t count)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + count * sizeof(T));
    }

    template <typename T>
    void take(const T& value)
    {
        take(&value, 1);
    }

    template <typename ValueOf>
    void take_each(std::size_t count, ValueOf value_of)
    {
        for (std::size_t k = 0; k < count; ++k) {
            const double value = value_of(k);
            take(&value, 1);
        }
    }

    // Slots first..last of a 1-based table.
    template <typename Table>
    void take_slots(const Table& table, int first, int last)
    {
        if (last >= first)
            take(&table[first], static_cast<std::size_t>(last - first + 1));
    }

    const std::vector<unsigned char>& bytes() const { return bytes_; }

private:
    std::vector<unsigned char> bytes_;
};

// Compares the source data with a record in the same order, stopping at the
// first difference, without allocating.  Its position is its own, so threads
// may check one record at the same time.
class SourceCheck {
public:
    explicit SourceCheck(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    template <typename T>
    void take(const T* data, std::size_t count)
    {
        const std::size_t size = count * sizeof(T);
        if (!matches_ || size == 0)
            return;
        if (position_ + size > bytes_.size() || std::memcmp(bytes_.data() + position_, data, size) != 0) {
            matches_ = false;
            return;
        }
        position_ += size;
    }

    template <typename T>
    void take(const T& value)
    {
        take(&value, 1);
    }

    // count doubles value_of(0..count-1), compared one by one without a call.
    template <typename ValueOf>
    void take_each(std::size_t count, ValueOf value_of)
    {
        for (std::size_t k = 0; k < count && matches_; ++k) {
            const double value = value_of(k);
            take(&value, 1);
        }
    }

    template <typename Table>
    void take_slots(const Table& table, int first, int last)
    {
        if (last >= first)
            take(&table[first], static_cast<std::size_t>(last - first + 1));
    }

    bool matches() const { return matches_ && position_ == bytes_.size(); }

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t position_ = 0;
    bool matches_ = true;
};

// Everything prepare_density_model reads, in a fixed order.
template <typename Record>
void take_sources(Record& record, const StructureModel& model, const WavefunctionBank& bank,
                  const RadialLookupTables& tables, const CalculationSettings& settings,
                  const PreparedDensityModel& prepared)
{
    record.take(settings.rCut);
    record.take(settings.lPole);
    const WorkingAtomSet& atoms = model.atoms;
    const PseudoatomParameters& q = model.pseudoatoms;
    record.take(atoms.atom_count);
    const int n = std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS);
    const bool local = prepared.frame == PopulationFrame::local;
    // Local frames may be defined by dummy points, stored after the atoms.
    const int points = local ? std::min(n + std::max(model.dummies.dummy_count, 0), MAX_WORKING_ATOMS) : n;
    record.take_slots(atoms.cart_x, 1, points);
    record.take_slots(atoms.cart_y, 1, points);
    record.take_slots(atoms.cart_z, 1, points);
    record.take_slots(atoms.subset_mask, 1, n);
    record.take_slots(atoms.atomic_number, 1, n);
    record.take_slots(atoms.atom_type_index, 1, n);
    record.take_slots(q.l_max, 1, n);
    record.take_slots(q.core_electron_count, 1, n);
    record.take_slots(q.radial_n, 1, n);
    record.take_slots(q.radial_zeta, 1, n);
    record.take_slots(q.kappa, 1, n);
    record.take_slots(q.kappa_prime, 1, n);
    record.take_slots(q.valence_population, 1, n);
    record.take_slots(q.occupancy, 1, n);
    if (local) {
        record.take_slots(q.multipole_population, 1, n);
        const LocalAxisDefinitions& axes = model.local_axes;
        record.take(atoms.independent_atom_count);
        record.take_slots(axes.frame_atom_1, 1, n);
        record.take_slots(axes.frame_atom_2, 1, n);
        record.take_slots(axes.frame_atom_3, 1, n);
        record.take_slots(axes.frame_axis_1, 1, n);
        record.take_slots(axes.frame_axis_2, 1, n);
        record.take_slots(model.images.parent_atom, 1, n);
    } else {
        record.take_each(static_cast<std::size_t>(n),
                         [&q](std::size_t k) { return q.multipole_population[k + 1](0, 0); });
        record.take_slots(model.global_populations.population, 1, n);
    }
    // The radial tables follow from the bank and the configurations.
    record.take_slots(q.electron_configuration, 1, std::clamp(atoms.independent_atom_count, 0, MAX_INDEPENDENT_ATOMS));
    for (int t : prepared.atom_types) {
        record.take(bank.function_count[t]);
        record.take(bank.shell_count[t]);
        record.take(bank.function_n[t]);
        record.take(bank.orbital_exponent[t]);
        for (int o = 1; o <= BANK_ORBITAL_COUNT; ++o)
            record.take(bank.orbital_coefficient[o][t]);
    }
    const std::vector<std::size_t>& entries = prepared.table_entries;
    record.take_each(entries.size(), [&](std::size_t k) { return tables.orbital_product_sum[entries[k]]; });
    record.take(harmonic_normalisation().n);
    record.take(factorial_table().f);
}

struct EvaluationCache {
    bool valid = false;
    PreparedDensityModel prepared;
    NeighbourGrid grid;
    SourceRecord record;
};

EvaluationCache& cache_of(PopulationFrame frame)
{
    static EvaluationCache caches[2];
    return caches[frame == PopulationFrame::global ? 0 : 1];
}

void invalidate_caches()
{
    cache_of(PopulationFrame::global).valid = false;
    cache_of(PopulationFrame::local).valid = false;
}

// Raised while worker threads evaluate: the prepared copy is then only read.
std::atomic<int> prepared_model_holds{0};

const EvaluationCache& prepared_cache(PopulationFrame frame)
{
    // Every model load drops the prepared models.
    static const bool registered = (register_load_time_reset(invalidate_caches), true);
    (void)registered;
    EvaluationCache& cache = cache_of(frame);
    if (cache.valid && prepared_model_holds.load(std::memory_order_acquire) > 0)
        return cache;
    const StructureModel& model = current_model();
    const WavefunctionBank& bank = wavefunction_bank();
    const RadialLookupTables& tables = radial_lookup_tables();
    const CalculationSettings& settings = run_settings().calculation;
    if (cache.valid) {
        SourceCheck check(cache.record.bytes());
        take_sources(check, model, bank, tables, settings, cache.prepared);
        if (check.matches())
            return cache;
    }
    prepare_density_model(model, bank, tables, settings, frame, cache.prepared);
    std::vector<int> active;
    std::vector<Vector3> positions(cache.prepared.atoms.size());
    for (std::size_t i = 1; i < cache.prepared.atoms.size(); ++i) {
        positions[i] = cache.prepared.atoms[i].position;
        if (cache.prepared.atoms[i].active)
            active.push_back(static_cast<int>(i));
    }
    build_neighbour_grid(active, positions, settings.rCut, cache.grid);
    cache.record.begin();
    take_sources(cache.record, model, bank, tables, settings, cache.prepared);
    cache.valid = true;
    return cache;
}

PopulationFrame frame_of_settings()
{
    return run_settings().calculation.global_frame == 1 ? PopulationFrame::global : PopulationFrame::local;
}

// The selected terms of the active atoms within rCut of the point.
PointDerivatives sum_active_atoms(const Vector3& point, const TermSelection& selection, PopulationFrame frame)
{
    const EvaluationCache& cache = prepared_cache(frame);
    PointDerivatives sum;
    AtomMask mask{};
    mark_neighbour_candidates(cache.grid, point, mask);
    for (std::size_t word = 0; word < mask.size(); ++word)
        for (std::uint64_t bits = mask[word]; bits != 0; bits &= bits - 1) {
            const int atom = static_cast<int>(word * 64) + std::countr_zero(bits);
            const Vector3& position = cache.prepared.atoms[atom].position;
            const Vector3 d = {point[0] - position[0], point[1] - position[1], point[2] - position[2]};
            accumulate_pseudoatom(cache.prepared, atom, d, selection, sum);
        }
    return sum;
}

// The component of code 0..14 or 24.
double component_of(const PointDerivatives& p, int code)
{
    if (code <= 4)
        return p.value;
    if (code <= 7)
        return p.gradient[code - 5];
    if (code == 8)
        return p.hessian[0] + p.hessian[1] + p.hessian[2];
    if (code <= 14)
        return p.hessian[code - 9];
    return std::sqrt(p.gradient[0] * p.gradient[0] + p.gradient[1] * p.gradient[1] + p.gradient[2] * p.gradient[2]);
}

bool is_pseudoatom_code(int code)
{
    return (code >= 0 && code <= 14) || code == 24;
}

double nuclear_potential(const Vector3& point)
{
    const StructureModel& model = current_model();
    const WorkingAtomSet& atoms = model.atoms;
    double sum = 0.0;
    for (int i = 1; i <= std::clamp(atoms.atom_count, 0, MAX_WORKING_ATOMS); ++i)
        if (atoms.subset_mask[i] != 0)
            sum += atoms.atomic_number[i] / floored_length({point[0] - atoms.cart_x[i], point[1] - atoms.cart_y[i],
                                                            point[2] - atoms.cart_z[i]});
    return sum;
}

double pseudoatom_term(PopulationFrame frame, int atom, double dx, double dy, double dz, int code, double& r_out)
{
    r_out = floored_length({dx, dy, dz});
    const EvaluationCache& cache = prepared_cache(frame);
    if (atom < 1 || atom >= static_cast<int>(cache.prepared.atoms.size()))
        return 0.0;
    if (code == 16)
        return cache.prepared.atoms[atom].atomic_number / r_out;
    if (code < 0 || code > 14)
        return 0.0;
    PointDerivatives sum;
    accumulate_pseudoatom(cache.prepared, atom, {dx, dy, dz}, select_terms_for_code(code), sum);
    return component_of(sum, code);
}

}  // namespace

double evaluate_property_at_point(double x, double y, double z, int code)
{
    const Vector3 point = {x, y, z};
    double result = 0.0;
    if (code == 23)
        result = evaluate_atom_electrostatic_potential_sum(x, y, z);
    else if (code == 16)
        result = nuclear_potential(point);
    else if (code == 17 || code == 18)
        result = evaluate_property_esd(x, y, z, code);
    else if (is_pseudoatom_code(code))
        result = component_of(sum_active_atoms(point, select_terms_for_code(code), frame_of_settings()), code);
    if (code == 8 && property_selection().laplacian_sign == -1)
        result = -result;
    return result;
}

void evaluate_property_value_gradient_hessian(const Vector3& point, double& value, Vector3& gradient,
                                              Matrix3& hessian, int code)
{
    if (code >= 30) {
        compute_energy_density_gradient_hessian_numeric(point, value, gradient, hessian, code);
        return;
    }
    if (code < 0 || code > 4) {
        compute_property_gradient_hessian_numeric(point, value, gradient, hessian, code);
        return;
    }
    TermSelection selection = select_terms_for_code(code);
    selection.order = DerivativeOrder::hessian;
    const PointDerivatives sum = sum_active_atoms(point, selection, frame_of_settings());
    value = sum.value;
    gradient = sum.gradient;
    static constexpr int PAIRS[6][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (int k = 0; k < 6; ++k) {
        hessian(PAIRS[k][0], PAIRS[k][1]) = sum.hessian[k];
        hessian(PAIRS[k][1], PAIRS[k][0]) = sum.hessian[k];
    }
}

bool evaluate_density_value_gradient(const Vector3& point, double& value, Vector3& gradient, int code)
{
    if (code < 0 || code > 4)
        return false;
    TermSelection selection = select_terms_for_code(code);
    selection.order = DerivativeOrder::gradient;
    const PointDerivatives sum = sum_active_atoms(point, selection, frame_of_settings());
    value = sum.value;
    gradient = sum.gradient;
    return true;
}

// ---- Parallel evaluation: a local addition until the prepared model is
// rebuilt by revision instead of being checked on every call. ----
void hold_prepared_density_model()
{
    prepared_cache(frame_of_settings());
    prepared_model_holds.fetch_add(1, std::memory_order_release);
}

void release_prepared_density_model()
{
    prepared_model_holds.fetch_sub(1, std::memory_order_release);
}

double evaluate_pseudoatom_term_global_frame(int atom, double dx, double dy, double dz, int code, double& r_out)
{
    return pseudoatom_term(PopulationFrame::global, atom, dx, dy, dz, code, r_out);
}

double evaluate_pseudoatom_term_local_frame(int atom, double dx, double dy, double dz, int code, double& r_out)
{
    return pseudoatom_term(PopulationFrame::local, atom, dx, dy, dz, code, r_out);
}
