#include "keldana/properties/population_checks.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/density/pseudoatom_terms.h"
#include "keldana/model/radial_tables.h"
#include "keldana/model/report_output.h"
#include "keldana/model/wavefunction_bank.h"

#include <algorithm>
#include <string>

namespace {

constexpr double FOUR_PI = 12.566370964050293;  // single precision, as the counts were always printed
constexpr double INVERSE_SQRT_3 = 0.5773502691896258;
constexpr int DENSITY_CODE = 3;

}  // namespace

double integrate_simpson(const std::vector<double>& values, int n, double h)
{
    n = std::min<int>(n, static_cast<int>(values.size()));
    if (n < 1)
        return 0.0;
    double sum = values[0] + values[n - 1];
    double even = 0;  // y_2, y_4, .., in 1-based numbering
    for (int j = 2; j <= n - 1; j += 2)
        even += values[j - 1];
    double odd = 0;  // y_3, y_5, .., y_(n-2)
    for (int j = 3; j <= n - 2; j += 2)
        odd += values[j - 1];
    sum += 4 * even + 2 * odd;
    return sum * h * (1.0 / 3.0);
}

double integrate_atomic_density_set(int set, int atom, double h)
{
    std::vector<double> integrand(POPULATION_CHECK_POINTS);
    for (int j = 1; j <= POPULATION_CHECK_POINTS; ++j) {
        const double r = j * h;
        const double c = r * INVERSE_SQRT_3;
        integrand[j - 1] = evaluate_orbital_density_term(DENSITY_CODE, set, atom, 1.0, c, c, c) * r * r;
    }
    return integrate_simpson(integrand, POPULATION_CHECK_POINTS, h) * FOUR_PI;
}

void check_atomic_density_integrals()
{
    text_pane_state().scroll_to_end = true;
    const std::string header = "  Atom     Z    Core electrons    Valence electrons";
    write_listing_line("");
    write_listing_line(" Numerical integration checks of atomic densities ...");
    write_listing_line("");
    append_pane_line("");
    append_pane_line(" ===== NUMERICAL INTEGRATION CHECKS OF ATOMIC DENSITIES =====");
    write_listing_line(header);
    write_listing_line("");
    append_pane_line("");
    append_pane_line(header);
    append_pane_line("");

    const RadialLookupTables& tables = radial_lookup_tables();
    const StructureModel& model = current_model();
    for (int k = 1; k <= std::clamp(tables.distinct_type_count, 0, MAX_ATOM_TYPES); ++k) {
        const int atom = tables.distinct_type_first_atom[k];
        const int z = tables.distinct_type_atomic_number[k];
        if (atom < 1 || atom > std::min(model.atoms.atom_count, MAX_WORKING_ATOMS))
            continue;
        const double core = z == 1 ? 0.0 : integrate_atomic_density_set(CORE_SET, atom, CORE_RADIAL_STEP);
        const double valence = integrate_atomic_density_set(VALENCE_SET, atom, VALENCE_RADIAL_STEP);
        const std::string line =
            format_line("(2X,A8,I2,5X,F4.1,16X,F4.1)", {model.atoms.atom_label[atom], z, core, valence});
        write_listing_line(line);
        append_pane_line(line);
    }
    ui().text_pane_changed();
}

void check_atomic_populations()
{
    if (!ensure_wavefunction_bank())
        return;
    check_atomic_density_integrals();
}
