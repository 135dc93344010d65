// Shared set-up of the map tests: a fresh working directory with an open
// listing, the program's default calculation settings, models loaded through
// the real loader (written as "*.kdn" text or copied from examples/), and
// readers of the files the map commands write.
#pragma once

#include "common/fortran_format.h"
#include "common/job_control.h"
#include "common/scripted_ui.h"
#include "keldana/model/load_defaults.h"
#include "keldana/model/model_loader.h"
#include "keldana/model/report_output.h"
#include "keldana/model/run_settings.h"
#include "keldana/topology/map_areas.h"
#include "support/text_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace map_tests {

// The Bohr radius in Angstrom as the program converts with it.
constexpr double BOHR = 0.529177249;

inline void write_file(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string right_trimmed(std::string text)
{
    const size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

// A model of neutral spherical atoms (l_max 0) of the elements H, C, N in an
// orthogonal cell, space group P1; coordinates Cartesian (Angstrom).
struct ModelAtom {
    std::string label;  // element symbol first
    double x, y, z;
};

inline std::string spherical_model(const std::vector<ModelAtom>& atoms, double a, double b, double c)
{
    std::string text = "Spherical atoms\n";
    text += format_line("(6F9.4)", {a, b, c, 90.0, 90.0, 90.0}) + "\n";
    text += " " + std::to_string(atoms.size()) + " 0\n";
    for (const ModelAtom& atom : atoms)
        text += format_line("(A8,3F12.6,5X,F8.6)", {atom.label, atom.x / a, atom.y / b, atom.z / c, 1.0}) + "\n";
    for (const ModelAtom& atom : atoms) {
        const char element = atom.label[0];
        const int core = element == 'H' ? 0 : 2;
        const double valence = element == 'H' ? 1.0 : element == 'C' ? 4.0 : 5.0;
        const char* configuration = element == 'H' ? "1s1" : element == 'C' ? "[He]2s2 2p2" : "[He]2s2 2p3";
        text += format_line("(3I6,3X,A1,2I6,3X,A1,10X,'/* atom: ',A6,' */')",
                            {0, core, 0, "X", 0, 0, "Y", atom.label}) + "\n";
        text += std::string(configuration) + "\n     2\n  3.0000\n 1.000000 1.000000\n";
        text += format_line("(32X,F8.4,32X)", {valence}) + "\n";
        text += format_line("(32X,F8.4,32X)", {0.0}) + "\n";
    }
    text += "Space group P1\nNON                  /P\n     X         Y         Z\nEND\n";
    return text;
}

class MapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "kd_map_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        std::filesystem::current_path(directory_);
        RunSettings& settings = run_settings();
        settings.calculation = CalculationSettings{};
        apply_default_calculation_settings(settings.calculation);
        settings.file_dialog.start_directory = KD_RUNTIME_DIR;
        settings.file_dialog.working_directory = directory_.string();
        settings.paths.wavefun_bank_path.clear();
        settings.output_files.map_file_name = "map.dat";
        settings.output_files.post_file_name = "map.pos";
        job_control() = JobControl{};
        map_definition() = MapDefinition{};
        map_frame() = MapFrame{};
        map_post_atoms() = MapPostAtoms{};
        ASSERT_TRUE(open_report_output());
    }

    void TearDown() override
    {
        ui_->on_pump = nullptr;
        close_report_output();
        map_definition() = MapDefinition{};
        map_frame() = MapFrame{};
        map_post_atoms() = MapPostAtoms{};
        std::filesystem::current_path(previous_directory_);
        std::filesystem::remove_all(directory_);
    }

    // Writes `text` as NAME and loads it (the cluster question answered No
    // when no "gspace.cls" is beside it).
    bool load_model(const std::string& name, const std::string& text)
    {
        write_file(directory_ / name, text);
        return load_file(name);
    }

    // Copies a model of examples/ (and its cluster file, if any) and loads it.
    bool load_example(const std::string& relative_path)
    {
        const std::filesystem::path source = std::filesystem::path(KD_SOURCE_DIR) / "examples" / relative_path;
        std::filesystem::copy_file(source, directory_ / source.filename(),
                                   std::filesystem::copy_options::overwrite_existing);
        const std::filesystem::path cluster = source.parent_path() / "gspace.cls";
        if (std::filesystem::exists(cluster))
            std::filesystem::copy_file(cluster, directory_ / "gspace.cls",
                                       std::filesystem::copy_options::overwrite_existing);
        return load_file(source.filename().string());
    }

    std::vector<std::string> listing_lines() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : file_lines(directory_ / listing_file_name()))
            lines.push_back(right_trimmed(line));
        return lines;
    }

    std::vector<std::string> pane_lines(int from = 1) const
    {
        std::vector<std::string> lines;
        for (int k = from; k <= text_pane_state().line_count; ++k)
            lines.push_back(right_trimmed(read_pane_line(k)));
        return lines;
    }

    ScopedScriptedUi ui_;
    std::filesystem::path previous_directory_;
    std::filesystem::path directory_;

private:
    bool load_file(const std::string& name)
    {
        RunSettings& settings = run_settings();
        settings.output_files.input_type = "kdn";
        settings.output_files.input_file_path = (directory_ / name).string();
        settings.file_dialog.dialog_path = (directory_ / name).string();
        settings.file_dialog.file_title = name;
        if (!std::filesystem::exists(directory_ / "gspace.cls"))
            ui_->answers.message_answers.push_back(MessageAnswer::no);
        const bool loaded = load_structure_file();
        if (loaded)
            ui_->answers.messages.clear();
        apply_default_calculation_settings(settings.calculation);
        return loaded;
    }
};

}  // namespace map_tests
