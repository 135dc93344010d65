#include "keldana/model/pseudoatom_report.h"

#include "common/fortran_format.h"
#include "common/user_interface.h"
#include "keldana/model/report_output.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int IMAGES_PER_LINE = 10;

// Population lines of l = 0..4, centred under the m = -4..+4 heading.
constexpr std::array<const char*, MAX_L + 1> POPULATION_FORMATS = {
    "(32X,F8.4,32X)", "(24X,3F8.4,24X)", "(16X,5F8.4,16X)", "(8X,7F8.4,8X)", "(9F8.4)"};

void write_listing_records(const std::vector<std::string>& records)
{
    for (const std::string& record : records)
        write_listing_line(record);
}

// The same line to the listing file and to the pane.
void write_both(const std::string& line)
{
    write_listing_line(line);
    append_pane_line(line);
}

void refresh_pane() { ui().text_pane_changed(); }

// The "Seq. no.s:" lines of an independent atom: its images, ten a line; an
// atom without images gets the text alone.
std::vector<std::string> image_lines(const SymmetryImageMap& images, int atom)
{
    const int count = std::clamp(images.image_count[atom], 0, MAX_IMAGES_PER_ATOM);
    std::vector<std::string> lines;
    int first = 2;
    do {
        std::vector<FortranValue> numbers;
        for (int j = first; j <= count && j < first + IMAGES_PER_LINE; ++j)
            numbers.emplace_back(images.image_list[atom][j]);
        lines.push_back(format_line("('                    Seq. no.s: ',10I3)", numbers));
        first += IMAGES_PER_LINE;
    } while (first <= count);
    return lines;
}

void write_parameterization_report(const StructureModel& model)
{
    const PseudoatomParameters& pseudo = model.pseudoatoms;
    write_listing_records(format_records("(/,'             ----  PSEUDOATOM PARAMETERIZATION  ---- ',/)", {}));
    append_pane_line("");
    append_pane_line("            ===== PSEUDOATOM PARAMETERIZATION =====");
    write_both(format_line("(' Atom no.  label   kappa1   kappa2   l=0    l=1    l=2','    l=3    l=4')", {}));

    const int n_ind = std::clamp(model.atoms.independent_atom_count, 0, MAX_INDEPENDENT_ATOMS);
    for (int i = 1; i <= n_ind; ++i) {
        const std::string label(model.atoms.atom_label[i].data(), 5);
        const std::string atom_line =
            format_line("(3X,I3,5X,A5,2F9.4)", {i, label, pseudo.kappa[i], pseudo.kappa_prime[i]});
        write_listing_line(atom_line);
        append_pane_line("");
        append_pane_line(atom_line);

        std::vector<FortranValue> powers, exponents;
        for (int l = 0; l <= std::clamp(pseudo.l_max[i], 0, MAX_L); ++l) {
            powers.emplace_back(pseudo.radial_n[i][l]);
            exponents.emplace_back(pseudo.radial_zeta[i][l] * BOHR_ANGSTROM);
        }
        write_both(format_line("('                           n(l) ',5I7)", powers));
        write_both(format_line("('                        zeta(l)   ',5F7.3)", exponents));

        const std::string count_line =
            format_line("(' No. of symmery related atoms: ',I3)", {model.images.image_count[i] - 1});
        const std::vector<std::string> lines = image_lines(model.images, i);
        write_listing_line(count_line);
        write_listing_records(lines);
        write_listing_line("");

        append_pane_line(count_line);
        refresh_pane();
        for (const std::string& line : lines) {
            append_pane_line(line);
            refresh_pane();
        }
        append_pane_line("");
    }
    write_listing_line("");
}

void write_population_report(const StructureModel& model)
{
    write_listing_records(format_records("(/,'   POPULATIONS OF PSEUDOATOMS IN GLOBAL FRAME: ')", {}));
    append_pane_line("");
    append_pane_line(" =====  POPULATIONS OF PSEUDOATOMS IN GLOBAL FRAME =====");
    refresh_pane();

    const std::string heading = format_line(
        "(2X,'m=-4',4X,'m=-3',4X,'m=-2',4X,'m=-1',4X,'m= 0',4X,'m=+1',4X,'m=+2',4X,'m=+3',4X,'m=+4')", {});
    const PseudoatomParameters& pseudo = model.pseudoatoms;
    const int n = std::clamp(model.atoms.atom_count, 0, MAX_WORKING_ATOMS);
    for (int i = 1; i <= n; ++i) {
        append_pane_line("");
        const std::initializer_list<FortranValue> atom = {model.atoms.atom_label[i], pseudo.kappa[i],
                                                          pseudo.kappa_prime[i], pseudo.valence_population[i]};
        write_listing_records(
            format_records("(/,3X,A8,'  kappa1: ',F8.4,'  kappa2: ',F8.4,' Pv: ',F8.4,/)", atom));
        append_pane_line(format_line("(3X,A8,'  kappa1: ',F8.4,'  kappa2: ',F8.4,' Pv: ',F8.4)", atom));
        write_both(heading);

        const MultipolePopulations& p = model.global_populations.population[i];
        const int l_max = std::clamp(pseudo.l_max[i], 0, MAX_L);
        for (int l = 0; l <= l_max; ++l) {
            std::vector<FortranValue> level;
            for (int m = -l; m <= l; ++m)
                level.emplace_back(p(l, m));
            write_both(format_line(POPULATION_FORMATS[l], level));
        }
        refresh_pane();
    }
}

}  // namespace

void write_pseudoatom_report(std::string_view selector, const StructureModel& model)
{
    text_pane_state().scroll_to_end = true;
    std::string kind(selector.substr(0, 5));
    kind.resize(5, ' ');
    if (kind == "PARMS" || kind == "parms")
        write_parameterization_report(model);
    else if (kind == "POPS " || kind == "pops ")
        write_population_report(model);
    else
        return;
    refresh_pane();  // the lines after the last group
}
