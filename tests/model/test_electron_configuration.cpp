#include "keldana/model/electron_configuration.h"

#include "common/scripted_ui.h"
#include "keldana/model/report_output.h"
#include "keldana/model/text_fields.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Subshells as written in chemistry, e.g. {"3d", 10}.
using Subshells = std::map<std::string, int>;

FixedText<80> configuration_text(const std::string& text)
{
    FixedText<80> field = blank_text<80>();
    set_text_field(field, text);
    return field;
}

// The non-zero counts of one part, keyed "1s", "2p", ...
Subshells subshells_of(const ShellOccupation& occupation, int part)
{
    Subshells found;
    for (int n = 1; n <= 7; ++n)
        for (int l = 0; l <= 3; ++l)
            if (const int count = occupation[shell_occupation_index(part, l, n)])
                found[std::to_string(n) + "spdf"[l]] = count;
    return found;
}

const Subshells ARGON_CORE = {{"1s", 2}, {"2s", 2}, {"2p", 6}, {"3s", 2}, {"3p", 6}};

Subshells with(Subshells base, const Subshells& added)
{
    for (const auto& [shell, count] : added)
        base[shell] += count;
    return base;
}

struct ConfigurationCase {
    std::string text;
    Subshells core;
    Subshells valence;
};

}  // namespace

TEST(ElectronConfiguration, WellFormedTextsGiveCoreAndValenceShells)
{
    const Subshells krypton_core = with(ARGON_CORE, {{"3d", 10}, {"4s", 2}, {"4p", 6}});
    const Subshells xenon_core = with(krypton_core, {{"4d", 10}, {"5s", 2}, {"5p", 6}});
    const Subshells radon_core = with(xenon_core, {{"4f", 14}, {"5d", 10}, {"6s", 2}, {"6p", 6}});
    const std::vector<ConfigurationCase> cases = {
        {"1s1", {}, {{"1s", 1}}},
        {"[He]2s2 2p4", {{"1s", 2}}, {{"2s", 2}, {"2p", 4}}},
        {"[He]2S2 2P4", {{"1s", 2}}, {{"2s", 2}, {"2p", 4}}},
        {"[Ne]3s2 3p2", {{"1s", 2}, {"2s", 2}, {"2p", 6}}, {{"3s", 2}, {"3p", 2}}},
        {"[Ar]3d10 4s2", ARGON_CORE, {{"3d", 10}, {"4s", 2}}},
        {"[Ar 3d10]4s2", with(ARGON_CORE, {{"3d", 10}}), {{"4s", 2}}},
        {"[Ar]", ARGON_CORE, {}},
        {"[Kr]4d10 5s2 5p5", krypton_core, {{"4d", 10}, {"5s", 2}, {"5p", 5}}},
        {"[Xe]4f1 5d1 6s2", xenon_core, {{"4f", 1}, {"5d", 1}, {"6s", 2}}},
        {"[Rn]7s2", radon_core, {{"7s", 2}}},
    };
    ScopedScriptedUi ui;
    for (const ConfigurationCase& c : cases) {
        SCOPED_TRACE(c.text);
        ShellOccupation occupation{};
        EXPECT_TRUE(analyse_electron_configuration(configuration_text(c.text), occupation));
        EXPECT_EQ(subshells_of(occupation, CORE_ELECTRONS), c.core);
        EXPECT_EQ(subshells_of(occupation, VALENCE_ELECTRONS), c.valence);
    }
    EXPECT_TRUE(ui->answers.messages.empty()) << ui->answers.message_log();
}

TEST(ElectronConfiguration, SubshellEntriesReadTheDigitsAroundTheirLetter)
{
    const FixedText<80> text = configuration_text("4s2 3d10 s2 4p");
    struct EntryCase {
        int position, n, count, error;
    };
    for (const EntryCase& c : std::vector<EntryCase>{{2, 4, 2, 0}, {6, 3, 10, 0}, {10, -1, 2, 1}, {14, 4, -1, 1}}) {
        SCOPED_TRACE(c.position);
        int n = 0, count = 0, error = 0;
        parse_subshell_entry(text, c.position, n, count, error);
        EXPECT_EQ(n, c.n);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(get_configuration_digit_at(text, 1), 4);
    EXPECT_EQ(get_configuration_digit_at(text, 0), -1);
    EXPECT_EQ(get_configuration_digit_at(text, 81), -1);
}

TEST(ElectronConfiguration, MalformedTextsAreReportedAndStopTheAnalysis)
{
    const std::vector<std::string> texts = {
        "[He][Ne]2s2",   // two bracket pairs
        "[He 2s2",       // a lone "["
        "He]2s2",        // a lone "]"
        "[H]1s1",        // brackets too close to hold a core
        "]He[2s2",       // closing before opening
        "[He]2s2 2p",    // count missing
        "[He]s2",        // principal quantum number missing
        "[He]2s2 gold",  // a subshell letter inside a word
        "8s1",           // beyond the seventh shell
        "[He 0s2]",      // no shell 0 in the core either
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        ScopedScriptedUi ui;
        ShellOccupation occupation{};
        EXPECT_FALSE(analyse_electron_configuration(configuration_text(text), occupation));
        ASSERT_EQ(ui->answers.messages.size(), 1u);
        EXPECT_EQ(ui->answers.messages[0].text, "Description of electron shell is incorrect");
        EXPECT_EQ(ui->answers.messages[0].caption, "Error!");
    }
}

TEST(ElectronConfiguration, ImpossibleOrOverfilledSubshellsAreReportedAndKept)
{
    struct SubshellCase {
        std::string text;
        std::string message;
        Subshells valence;
    };
    const std::vector<SubshellCase> cases = {
        {"2d1", "Check carefully d-subshells!!!", {{"2d", 1}}},
        {"[He]2s2 3p7", "Check carefully p-subshells!!!", {{"2s", 2}, {"3p", 7}}},
        {"1p1", "Check carefully p-subshells!!!", {{"1p", 1}}},
        {"3f2", "Check carefully f-subshells!!!", {{"3f", 2}}},
        {"4s3", "Check carefully s-subshells!!!", {{"4s", 3}}},
        {"5d11", "Check carefully d-subshells!!!", {{"5d", 11}}},
        {"[Ne]2p1", "Check carefully p-subshells!!!", {{"2p", 1}}},  // core and valence together
    };
    for (const SubshellCase& c : cases) {
        SCOPED_TRACE(c.text);
        ScopedScriptedUi ui;
        ShellOccupation occupation{};
        EXPECT_FALSE(analyse_electron_configuration(configuration_text(c.text), occupation));
        ASSERT_EQ(ui->answers.messages.size(), 1u);
        EXPECT_EQ(ui->answers.messages[0].text, c.message);
        EXPECT_EQ(ui->answers.messages[0].caption, "Error!");
        EXPECT_EQ(subshells_of(occupation, VALENCE_ELECTRONS), c.valence);
    }
}

TEST(ElectronConfiguration, ListingShowsTheShellsInFixedColumns)
{
    const fs::path previous = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "kd_configuration_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    fs::current_path(pattern);
    {
        ScopedScriptedUi ui;
        ASSERT_TRUE(open_report_output());
        ShellOccupation occupation{};
        EXPECT_TRUE(analyse_electron_configuration(configuration_text("[Ar]3d10 4s2"), occupation));
        close_report_output();
    }
    std::ifstream listing("keldana0.out");
    std::vector<std::string> lines;
    for (std::string line; std::getline(listing, line);)
        lines.push_back(line);
    fs::current_path(previous);
    fs::remove_all(pattern);

    // Adjacent literals follow the edit descriptors: 2X, the letter, the
    // blanks before the first I3 field, then the fields.
    const std::vector<std::string> expected = {
        " " "[Ar]3d10 4s2" + std::string(68, ' '),
        "",
        " Core electrons",
        " n=  1  2  3  4  5  6  7",
        " -----------------------",
        "  " "s" " " "  2" "  2" "  2" "  0" "  0" "  0" "  0",
        "  " "p" "    " "  6" "  6" "  0" "  0" "  0" "  0",
        "  " "d" "       " "  0" "  0" "  0" "  0" "  0",
        "  " "f" "          " "  0" "  0" "  0" "  0",
        "",
        " Valence electrons",
        " n=  1  2  3  4  5  6  7",
        " -----------------------",
        "  " "s" " " "  0" "  0" "  0" "  2" "  0" "  0" "  0",
        "  " "p" "    " "  0" "  0" "  0" "  0" "  0" "  0",
        "  " "d" "       " " 10" "  0" "  0" "  0" "  0",
        "  " "f" "          " "  0" "  0" "  0" "  0",
        "",
        " Electron shells",
        " n=  1  2  3  4  5  6  7",
        " -----------------------",
        "    " "  2" "  8" " 18" "  2" "  0" "  0" "  0",
    };
    EXPECT_EQ(lines, expected);
}

TEST(ElectronConfiguration, ImageAtomsUseTheirParentsConfiguration)
{
    ScopedScriptedUi ui;
    auto model = std::make_unique<StructureModel>();
    model->atoms.atom_count = 3;
    model->atoms.independent_atom_count = 2;
    model->pseudoatoms.electron_configuration[1] = configuration_text("1s1");
    model->pseudoatoms.electron_configuration[2] = configuration_text("[He]2s2 2p4");
    model->images.parent_atom[3] = 2;

    EXPECT_TRUE(analyse_electron_configuration(*model, 3));
    EXPECT_EQ(subshells_of(model->atom_types.shell_occupation, VALENCE_ELECTRONS), (Subshells{{"2s", 2}, {"2p", 4}}));

    // Configurations are kept for 120 atoms: a later image needs its parent.
    EXPECT_FALSE(analyse_electron_configuration(*model, 130));
    EXPECT_EQ(ui->answers.messages.size(), 1u);
}
