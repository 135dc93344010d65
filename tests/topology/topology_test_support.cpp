#include "topology_test_support.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "keldana/density/eigen_solver.h"
#include "keldana/density/property_evaluation.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/cluster_files.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/critical_point_list.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

struct ElementData {
    const char* configuration;
    int core;
    double valence;
};

// Neutral free atoms as the bank describes them.
const std::map<std::string, ElementData> ELEMENTS = {
    {"H", {"1s1", 0, 1.0}},
    {"C", {"[He]2s2 2p2", 2, 4.0}},
    {"N", {"[He]2s2 2p3", 2, 5.0}},
    {"Ne", {"[He]2s2 2p6", 2, 8.0}},
};

std::string element_of(const std::string& label)
{
    size_t end = 0;
    while (end < label.size() && std::isalpha(static_cast<unsigned char>(label[end])))
        ++end;
    return label.substr(0, end);
}

}  // namespace

std::string right_trimmed(std::string text)
{
    const size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::string spherical_atoms_model(const std::string& title, const std::vector<SphericalAtom>& atoms, double a,
                                  double b, double c)
{
    std::string text = title + "\n";
    text += format_line("(6F9.4)", {a, b, c, 90.0, 90.0, 90.0}) + "\n";
    text += " " + std::to_string(atoms.size()) + " 0\n";
    for (const SphericalAtom& atom : atoms)
        text += format_line("(A8,3F12.6,5X,F8.6)", {atom.label, atom.x / a, atom.y / b, atom.z / c, 1.0}) + "\n";
    for (const SphericalAtom& atom : atoms) {
        const ElementData& e = ELEMENTS.at(element_of(atom.label));
        text += format_line("(3I6,3X,A1,2I6,3X,A1,10X,'/* atom: ',A6,' */')",
                            {0, e.core, 0, "X", 0, 0, "Y", atom.label}) + "\n";
        text += std::string(e.configuration) + "\n";
        text += "     2\n  3.0000\n 1.000000 1.000000\n";
        text += format_line("(32X,F8.4,32X)", {e.valence}) + "\n";
        text += format_line("(32X,F8.4,32X)", {0.0}) + "\n";
    }
    text += "Space group P1\nNON                  /P\n     X         Y         Z\nEND\n";
    return text;
}

void TopologyTest::SetUp()
{
    previous_directory_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "kd_topology_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    fs::current_path(directory_);
    RunSettings& settings = run_settings();
    settings.calculation = CalculationSettings{};
    apply_default_calculation_settings(settings.calculation);
    settings.file_dialog.start_directory = KD_RUNTIME_DIR;
    settings.file_dialog.working_directory = directory_.string();
    settings.paths.wavefun_bank_path.clear();
    critical_point_list().cp_count = 0;
    job_control().stop_requested = false;
    ASSERT_TRUE(open_report_output());
}

void TopologyTest::TearDown()
{
    close_report_output();
    critical_point_list().cp_count = 0;
    fs::current_path(previous_directory_);
    fs::remove_all(directory_);
}

bool TopologyTest::load_model(const std::string& name, const std::string& text)
{
    {
        std::ofstream out(directory_ / name);
        out << text;
    }
    RunSettings& settings = run_settings();
    settings.output_files.input_type = "kdn";
    settings.output_files.input_file_path = (directory_ / name).string();
    settings.file_dialog.dialog_path = (directory_ / name).string();
    settings.file_dialog.file_title = name;
    if (!fs::exists(directory_ / "gspace.cls"))
        ui_->answers.message_answers.push_back(MessageAnswer::no);
    const bool loaded = load_structure_file();
    if (loaded)
        ui_->answers.messages.clear();  // the load's own question
    // The load leaves the settings it found; the tests use the defaults.
    apply_default_calculation_settings(settings.calculation);
    return loaded;
}

void TopologyTest::write_translation_cluster(int n, int range)
{
    std::vector<std::string> lines = {CLUSTER_TITLE_IN_SPACE, CLUSTER_COLUMN_HEADER};
    for (int a = -range; a <= range; ++a)
        for (int b = -range; b <= range; ++b)
            for (int c = -range; c <= range; ++c)
                if (a != 0 || b != 0 || c != 0)
                    lines.push_back(format_line("(I3,3X,3(1X,F8.5),3X,2I5)",
                                                {1, double(a), double(b), double(c), 1, n}));
    ASSERT_TRUE(write_cluster_file((directory_ / "gspace.cls").string(), lines));
}

std::vector<std::string> TopologyTest::pane_lines(int from) const
{
    std::vector<std::string> lines;
    for (int k = from; k <= text_pane_state().line_count; ++k)
        lines.push_back(right_trimmed(read_pane_line(k)));
    return lines;
}

std::vector<std::string> TopologyTest::listing_lines() const
{
    std::vector<std::string> lines;
    std::ifstream in(directory_ / listing_file_name());
    std::string line;
    while (std::getline(in, line))
        lines.push_back(right_trimmed(line));
    return lines;
}

bool TopologyTest::contains_line(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& l : lines)
        if (l == line)
            return true;
    return false;
}

void CrystalSum::derivatives(const Vector3& point, Vector3& g, Matrix3& h) const
{
    static constexpr int PAIRS[6][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 2}, {1, 3}, {2, 3}};
    Vector3 f{}, p{};
    convert_cartesian_to_fractional(orthogonalisation, point[0], point[1], point[2], f[0], f[1], f[2]);
    convert_fractional_to_cartesian(orthogonalisation, f[0] - std::floor(f[0]), f[1] - std::floor(f[1]),
                                    f[2] - std::floor(f[2]), p[0], p[1], p[2]);
    g = {};
    h = Matrix3{};
    for (const Site& site : sites) {
        const Vector3 d = vector_difference(p, site.position);
        if (vector_length(d) > r_cut)
            continue;
        Vector3 e{};  // d in the atom's own orientation
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j)
                e[i - 1] += site.rotation(j, i) * d[j - 1];
        double r = 0;
        Vector3 g_atom{};
        Matrix3 h_atom;
        for (int k = 0; k < 3; ++k)
            g_atom[k] = evaluate_pseudoatom_term_global_frame(site.atom, e[0], e[1], e[2], 5 + k, r);
        for (int k = 0; k < 6; ++k) {
            const double v = evaluate_pseudoatom_term_global_frame(site.atom, e[0], e[1], e[2], 9 + k, r);
            h_atom(PAIRS[k][0], PAIRS[k][1]) = v;
            h_atom(PAIRS[k][1], PAIRS[k][0]) = v;
        }
        // Turned back: R g and R H R^T.
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) {
                g[i - 1] += site.rotation(i, j) * g_atom[j - 1];
                for (int k = 1; k <= 3; ++k)
                    for (int l = 1; l <= 3; ++l)
                        h(i, l) += site.rotation(i, j) * h_atom(j, k) * site.rotation(l, k);
            }
        }
    }
}

double CrystalSum::gradient_norm(const Vector3& point) const
{
    Vector3 g{};
    Matrix3 h;
    derivatives(point, g, h);
    return vector_length(g);
}

double CrystalSum::newton_shift(const Vector3& point) const
{
    Vector3 g{};
    Matrix3 h;
    derivatives(point, g, h);
    std::array<double, 3> lambda{};
    solve_symmetric_eigenproblem(h, lambda);  // h now holds the eigenvectors by column
    double sum = 0;
    for (int e = 1; e <= 3; ++e) {
        const double along = (h(1, e) * g[0] + h(2, e) * g[1] + h(3, e) * g[2]) / lambda[e - 1];
        sum += along * along;
    }
    return std::sqrt(sum);
}

CrystalSum crystal_sum()
{
    const StructureModel& model = current_model();
    CrystalSum crystal;
    crystal.r_cut = run_settings().calculation.rCut;
    crystal.orthogonalisation = model.orthogonalisation;
    // The sites within rCut of some point of the cell.
    Vector3 centre{};
    convert_fractional_to_cartesian(model.orthogonalisation, 0.5, 0.5, 0.5, centre[0], centre[1], centre[2]);
    double half_diagonal = 0;
    for (int corner = 0; corner < 8; ++corner) {
        Vector3 c{};
        convert_fractional_to_cartesian(model.orthogonalisation, corner & 1, (corner >> 1) & 1, (corner >> 2) & 1,
                                        c[0], c[1], c[2]);
        half_diagonal = std::max(half_diagonal, point_distance(c, centre));
    }
    const double reach = crystal.r_cut + half_diagonal;
    const UnitCell& cell = model.cell;
    const int translations = 2 + static_cast<int>(reach / std::min({cell.cell_a, cell.cell_b, cell.cell_c}));
    const int count = std::max(model.operators.symop_count, 1);
    for (int a = 1; a <= model.atoms.independent_atom_count; ++a) {
        const Vector3 x{model.atoms.frac_x[a], model.atoms.frac_y[a], model.atoms.frac_z[a]};
        for (int o = 1; o <= count; ++o) {
            const auto& s = model.operators.symop[o];
            const auto turn = [&](const Vector3& f) {
                Vector3 t{};
                for (int row = 1; row <= 3; ++row)
                    t[row - 1] = model.operators.symop_count > 0
                                     ? s[row][1] * f[0] + s[row][2] * f[1] + s[row][3] * f[2]
                                     : f[row - 1];
                return t;
            };
            Vector3 base = turn(x);
            for (int row = 1; row <= 3 && model.operators.symop_count > 0; ++row)
                base[row - 1] += s[row][4];
            // The operator in Cartesian axes, column j the image of unit vector j.
            Matrix3 rotation;
            for (int j = 1; j <= 3; ++j) {
                Vector3 unit{}, f{}, c{};
                unit[j - 1] = 1.0;
                convert_cartesian_to_fractional(model.orthogonalisation, unit[0], unit[1], unit[2], f[0], f[1], f[2]);
                const Vector3 t = turn(f);
                convert_fractional_to_cartesian(model.orthogonalisation, t[0], t[1], t[2], c[0], c[1], c[2]);
                for (int i = 1; i <= 3; ++i)
                    rotation(i, j) = c[i - 1];
            }
            for (int t1 = -translations; t1 <= translations; ++t1)
                for (int t2 = -translations; t2 <= translations; ++t2)
                    for (int t3 = -translations; t3 <= translations; ++t3) {
                        Vector3 image{};
                        convert_fractional_to_cartesian(model.orthogonalisation, base[0] + t1, base[1] + t2,
                                                        base[2] + t3, image[0], image[1], image[2]);
                        if (point_distance(image, centre) > reach)
                            continue;
                        bool known = false;
                        for (const CrystalSum::Site& site : crystal.sites)
                            known = known || (site.atom == a && point_distance(site.position, image) < 0.01);
                        if (!known)
                            crystal.sites.push_back({a, image, rotation});
                    }
        }
    }
    return crystal;
}
