#include "topology_test_support.h"

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "keldana/model/cluster_files.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/model_store.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/critical_point_list.h"

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
