// The cluster dialogs as the user drives them: generation, reading and
// saving cluster files, Apply and Cancel, and the "Lattice" dialog.
#include "keldana/shell/cluster_dialog.h"

#include "common/qt/dialog.h"
#include "common/scripted_ui.h"
#include "keldana/model/cell_geometry.h"
#include "keldana/model/cluster_files.h"
#include "keldana/model/model_store.h"
#include "keldana/model/run_settings.h"
#include "keldana/model/symmetry_cluster.h"
#include "keldana/model/text_fields.h"
#include "keldana/resources/cluster_dialog_resource.h"
#include "support/unreadable_inputs.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void ensure_qt_application()
{
    static int argc = 1;
    static char name[] = "test_shell";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}

// Acts on the dialog as soon as its modal run has started; a dialog the
// actions leave open is a failure and is cancelled so the test goes on.
void when_open(std::function<void(Dialog&)> actions)
{
    QTimer::singleShot(0, [actions] {
        Dialog* dialog = topmost_dialog();
        ASSERT_NE(dialog, nullptr);
        actions(*dialog);
        if (dialog->is_open()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog->end(IDC_CANCEL);
        }
    });
}

std::vector<std::string> list_lines(const Dialog& dialog)
{
    std::vector<std::string> lines;
    for (int j = 0; j < dialog.get_item_count(IDC_CLUSTER_LINES); ++j)
        lines.push_back(dialog.get_item_text(IDC_CLUSTER_LINES, j));
    return lines;
}

struct Entry {
    int operation;
    double x, y, z;
    int first, last;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> entries_of(const SymmetryApplicationList& list)
{
    std::vector<Entry> entries;
    for (int e = 1; e <= list.entry_count; ++e)
        entries.push_back({list.operation[e], list.translation[e][1], list.translation[e][2], list.translation[e][3],
                           list.first_atom[e], list.last_atom[e]});
    return entries;
}

// P2_1/c in a 10 Angstrom cubic cell with two atoms.
std::unique_ptr<StructureModel> make_model(int lattice_type)
{
    auto model = std::make_unique<StructureModel>();
    model->cell = {10, 10, 10, 90, 90, 90, 0};
    const double right = std::acos(0.0);
    EXPECT_TRUE(build_orthogonalisation_matrix(right, right, right, model->cell, model->orthogonalisation));
    const double ops[4][3][4] = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}},
                                 {{-1, 0, 0, 0}, {0, 1, 0, 0.5}, {0, 0, -1, 0.5}},
                                 {{-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, 0}},
                                 {{1, 0, 0, 0}, {0, -1, 0, 0.5}, {0, 0, 1, 0.5}}};
    model->operators.symop_count = 4;
    for (int k = 0; k < 4; ++k)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                model->operators.symop[k + 1][r + 1][c + 1] = ops[k][r][c];
    model->space_group.lattice_type = lattice_type;
    const struct {
        const char* label;
        double x, y, z;
    } atoms[2] = {{"C1", 0.1, 0.2, 0.3}, {"O1", 0.25, 0.15, 0.35}};
    WorkingAtomSet& set = model->atoms;
    set.atom_count = set.independent_atom_count = 2;
    for (int a = 1; a <= 2; ++a) {
        set_text_field(set.atom_label[a], atoms[a - 1].label);
        set.frac_x[a] = atoms[a - 1].x;
        set.frac_y[a] = atoms[a - 1].y;
        set.frac_z[a] = atoms[a - 1].z;
        convert_fractional_to_cartesian(model->orthogonalisation, set.frac_x[a], set.frac_y[a], set.frac_z[a],
                                        set.cart_x[a], set.cart_y[a], set.cart_z[a]);
        set.atomic_number[a] = a == 1 ? 6 : 8;
        model->images.image_count[a] = 1;
        model->images.image_list[a][1] = a;
        model->local_axes.frame_axis_1[a] = 1;
        model->local_axes.frame_axis_2[a] = 2;
    }
    return model;
}

// Every image in the atom list is found once in its parent's image list.
void expect_consistent_image_map(const StructureModel& model)
{
    const int nind = model.atoms.independent_atom_count;
    int images = 0;
    for (int a = 1; a <= nind; ++a) {
        EXPECT_EQ(model.images.image_list[a][1], a);
        for (int j = 2; j <= model.images.image_count[a]; ++j) {
            const int k = model.images.image_list[a][j];
            EXPECT_GT(k, nind);
            EXPECT_LE(k, model.atoms.atom_count);
            EXPECT_EQ(model.images.parent_atom[k], a);
            ++images;
        }
    }
    EXPECT_EQ(images, model.atoms.atom_count - nind);
}

const std::vector<int> ENTRY_FIELDS = {IDC_ATOM_LIST, IDC_RADIUS, IDC_POINT_X, IDC_POINT_Y, IDC_POINT_Z, IDC_BOX_X1,
                                       IDC_BOX_Y1,    IDC_BOX_Z1, IDC_BOX_X2,  IDC_BOX_Y2,  IDC_BOX_Z2};

std::vector<int> enabled_fields(const Dialog& dialog)
{
    std::vector<int> enabled;
    for (int id : ENTRY_FIELDS)
        if (dialog.is_enabled(id))
            enabled.push_back(id);
    return enabled;
}

class ClusterDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensure_qt_application();
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_cluster_dialog_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        saved_settings_ = run_settings().file_dialog;
        run_settings().file_dialog.working_directory = directory_.string();
        cluster_services() = ClusterServices{};
    }

    void TearDown() override
    {
        run_settings().file_dialog = saved_settings_;
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    std::vector<std::string> message_texts()
    {
        std::vector<std::string> texts;
        for (const ShownMessage& m : ui_->answers.messages)
            texts.push_back(m.caption + ": " + m.text);
        return texts;
    }

    ScopedScriptedUi ui_;
    fs::path previous_directory_;
    fs::path directory_;
    FileDialogState saved_settings_;
};

}  // namespace

TEST_F(ClusterDialogTest, OpensWithTheAtomsTheLatticeAndTheSphereAroundAnAtom)
{
    auto model = make_model(7);
    when_open([](Dialog& d) {
        EXPECT_EQ(d.get_resource_id(), IDD_SYMMETRY_GENERATION);
        // (I3,4X,A8,3F8.4)
        ASSERT_EQ(d.get_item_count(IDC_ATOM_LIST), 2);
        EXPECT_EQ(d.get_item_text(IDC_ATOM_LIST, 0), "  1    C1        0.1000  0.2000  0.3000");
        EXPECT_EQ(d.get_item_text(IDC_ATOM_LIST, 1), "  2    O1        0.2500  0.1500  0.3500");
        EXPECT_EQ(d.get_text(IDC_ATOM_LIST), d.get_item_text(IDC_ATOM_LIST, 0));
        EXPECT_TRUE(d.get_checked(IDC_LATTICE_R_HEXAGONAL));
        EXPECT_FALSE(d.get_checked(IDC_LATTICE_P));
        EXPECT_TRUE(d.get_checked(IDC_SPHERE_AROUND_ATOM));
        EXPECT_TRUE(d.get_checked(IDC_FRACTIONAL));
        EXPECT_FALSE(d.get_checked(IDC_CARTESIAN));
        EXPECT_EQ(enabled_fields(d), (std::vector<int>{IDC_ATOM_LIST, IDC_RADIUS}));
        EXPECT_EQ(d.get_text(IDC_RADIUS), "0.0");
        EXPECT_EQ(d.get_text(IDC_POINT_X), "  0.0");
        EXPECT_EQ(d.get_text(IDC_BOX_X1), " 0");
        EXPECT_EQ(d.get_text(IDC_BOX_Z2), " 1");
        EXPECT_EQ(d.get_item_count(IDC_CLUSTER_LINES), 0);
        EXPECT_FALSE(d.is_enabled(IDC_APPLY));
        EXPECT_FALSE(d.is_enabled(IDC_SET_DEFAULT_CLUSTER));
        EXPECT_TRUE(d.user_click(IDC_CANCEL));
    });
    EXPECT_FALSE(run_symmetry_generation_dialog(*model));
}

TEST_F(ClusterDialogTest, TheKindRadiosEnableTheirOwnFields)
{
    auto model = make_model(1);
    when_open([](Dialog& d) {
        EXPECT_TRUE(d.user_click(IDC_SPHERE_AROUND_POINT));
        EXPECT_EQ(enabled_fields(d), (std::vector<int>{IDC_RADIUS, IDC_POINT_X, IDC_POINT_Y, IDC_POINT_Z}));
        EXPECT_TRUE(d.user_click(IDC_BOX));
        EXPECT_FALSE(d.get_checked(IDC_SPHERE_AROUND_POINT));
        EXPECT_EQ(enabled_fields(d),
                  (std::vector<int>{IDC_BOX_X1, IDC_BOX_Y1, IDC_BOX_Z1, IDC_BOX_X2, IDC_BOX_Y2, IDC_BOX_Z2}));
        EXPECT_TRUE(d.user_click(IDC_SPHERE_AROUND_ATOM));
        EXPECT_EQ(enabled_fields(d), (std::vector<int>{IDC_ATOM_LIST, IDC_RADIUS}));
        d.user_click(IDC_CANCEL);
    });
    run_symmetry_generation_dialog(*model);
}

TEST_F(ClusterDialogTest, GenerateThenCancelLeavesTheListAndTheImagesAsTheyWere)
{
    auto model = make_model(1);
    model->applications.entry_count = 0;
    const int e = ++model->applications.entry_count;
    model->applications.operation[e] = 3;
    model->applications.translation[e] = {0, 1, 0, 0};
    model->applications.first_atom[e] = 1;
    model->applications.last_atom[e] = 2;
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    ASSERT_EQ(model->atoms.atom_count, 4);
    const auto before = std::make_unique<StructureModel>(*model);

    int generated = 0;
    when_open([&](Dialog& d) {
        ASSERT_TRUE(d.user_set_text(IDC_RADIUS, "6.0"));
        ASSERT_TRUE(d.user_click(IDC_GENERATE_CLUSTER));
        const auto lines = list_lines(d);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], CLUSTER_TITLE_IN_SPACE);
        EXPECT_EQ(lines[1], CLUSTER_COLUMN_HEADER);
        generated = static_cast<int>(lines.size()) - 2;
        EXPECT_EQ(model->applications.entry_count, generated);
        // Images are numbered from the independent atoms on.
        EXPECT_EQ(lines[2].substr(52), "  3");
        EXPECT_TRUE(d.is_enabled(IDC_APPLY));
        EXPECT_TRUE(d.is_enabled(IDC_SET_DEFAULT_CLUSTER));
        d.user_click(IDC_CANCEL);
    });
    EXPECT_FALSE(run_symmetry_generation_dialog(*model));
    EXPECT_GT(generated, 0);
    EXPECT_EQ(entries_of(model->applications), entries_of(before->applications));
    EXPECT_EQ(model->atoms.atom_count, before->atoms.atom_count);
    EXPECT_EQ(model->atoms.frac_x, before->atoms.frac_x);
    EXPECT_EQ(model->images.image_count, before->images.image_count);
    EXPECT_EQ(model->images.image_list, before->images.image_list);
    expect_consistent_image_map(*model);
    // The old list still makes the same cluster.
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    EXPECT_EQ(model->atoms.frac_x, before->atoms.frac_x);
}

TEST_F(ClusterDialogTest, GenerateThenApplyTakesTheListedEntries)
{
    auto model = make_model(1);
    std::vector<Entry> generated;
    when_open([&](Dialog& d) {
        d.user_set_text(IDC_RADIUS, "5.0");
        d.user_click(IDC_GENERATE_CLUSTER);
        generated = entries_of(model->applications);
        d.user_click(IDC_APPLY);
    });
    ASSERT_TRUE(run_symmetry_generation_dialog(*model));
    ASSERT_FALSE(generated.empty());
    // The lines carry the translations to five decimals, which the
    // generator's integer translations keep exactly.
    EXPECT_EQ(entries_of(model->applications), generated);
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    EXPECT_EQ(model->atoms.atom_count, 2 + static_cast<int>(generated.size()));
    expect_consistent_image_map(*model);
    for (int k = 3; k <= model->atoms.atom_count; ++k) {
        const int a = model->images.parent_atom[k];
        const double d = std::hypot(model->atoms.cart_x[k] - model->atoms.cart_x[1],
                                    model->atoms.cart_y[k] - model->atoms.cart_y[1],
                                    model->atoms.cart_z[k] - model->atoms.cart_z[1]);
        EXPECT_GT(d, 0.1) << k << " of " << a;
        EXPECT_LE(d, 5.0 + 1e-9) << k << " of " << a;
    }
}

TEST_F(ClusterDialogTest, SpheresAroundAnAtomAndAroundItsPositionAgree)
{
    // Around atom 2, around its fractional position and around its
    // Cartesian position (25, 15, 35 times 0.1 of the 10 Angstrom cell).
    struct Case {
        const char* name;
        std::function<void(Dialog&)> choose;
    };
    const std::vector<Case> cases = {
        {"atom", [](Dialog& d) { d.user_select(IDC_ATOM_LIST, 1); }},
        {"fractional point",
         [](Dialog& d) {
             d.user_click(IDC_SPHERE_AROUND_POINT);
             d.user_set_text(IDC_POINT_X, "0.25");
             d.user_set_text(IDC_POINT_Y, "0.15");
             d.user_set_text(IDC_POINT_Z, "0.35");
         }},
        {"Cartesian point",
         [](Dialog& d) {
             d.user_click(IDC_SPHERE_AROUND_POINT);
             d.user_click(IDC_CARTESIAN);
             d.user_set_text(IDC_POINT_X, "2.5");
             d.user_set_text(IDC_POINT_Y, "1.5");
             d.user_set_text(IDC_POINT_Z, "3.5");
         }},
    };
    std::vector<std::vector<Entry>> results;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto model = make_model(1);
        when_open([&](Dialog& d) {
            c.choose(d);
            d.user_set_text(IDC_RADIUS, "8.0");
            d.user_click(IDC_GENERATE_CLUSTER);
            d.user_click(IDC_APPLY);
        });
        ASSERT_TRUE(run_symmetry_generation_dialog(*model));
        results.push_back(entries_of(model->applications));
    }
    ASSERT_FALSE(results[0].empty());
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(results[2], results[0]);
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
}

TEST_F(ClusterDialogTest, UnreadableFieldsAreReportedAndTheDialogStaysOpen)
{
    // The last does not fit the field of eight: refused, not read as 12.34567.
    for (const char* radius : {"", "   ", "abc", "1.5e999", "12.345678"}) {
        SCOPED_TRACE(radius);
        ui_->answers.messages.clear();
        auto model = make_model(1);
        when_open([&](Dialog& d) {
            d.user_set_text(IDC_RADIUS, radius);
            d.user_click(IDC_GENERATE_CLUSTER);
            EXPECT_TRUE(d.is_open());
            EXPECT_EQ(d.get_item_count(IDC_CLUSTER_LINES), 0);
            EXPECT_FALSE(d.is_enabled(IDC_APPLY));
            d.user_click(IDC_CANCEL);
        });
        EXPECT_FALSE(run_symmetry_generation_dialog(*model));
        EXPECT_EQ(message_texts(),
                  std::vector<std::string>{"ERROR!: Can not read data. Please, check data in boxes"});
    }
}

TEST_F(ClusterDialogTest, WithoutALatticeTypeGenerateAsksForOne)
{
    auto model = make_model(0);
    when_open([&](Dialog& d) {
        for (int id : {IDC_LATTICE_P, IDC_LATTICE_A, IDC_LATTICE_B, IDC_LATTICE_C, IDC_LATTICE_F, IDC_LATTICE_I,
                       IDC_LATTICE_R_RHOMBOHEDRAL, IDC_LATTICE_R_HEXAGONAL})
            EXPECT_FALSE(d.get_checked(id)) << id;
        d.user_set_text(IDC_RADIUS, "3.0");
        d.user_click(IDC_GENERATE_CLUSTER);
        EXPECT_EQ(d.get_item_count(IDC_CLUSTER_LINES), 0);
        d.user_click(IDC_LATTICE_C);
        d.user_click(IDC_GENERATE_CLUSTER);
        EXPECT_GT(d.get_item_count(IDC_CLUSTER_LINES), 2);
        d.user_click(IDC_CANCEL);
    });
    EXPECT_FALSE(run_symmetry_generation_dialog(*model));
    EXPECT_EQ(message_texts(), std::vector<std::string>{"ERROR!: Please, set lattice type"});
    // The lattice type chosen for the generation stays.
    EXPECT_EQ(model->space_group.lattice_type, 4);
}

TEST_F(ClusterDialogTest, TheUnitCellIsGeneratedAsTheBoxOfOneCell)
{
    auto model = make_model(1);
    model->translations.unit_cell_mode = 1;
    // An atom at the origin has its 7 other corners in the cell; the two
    // atoms' images by the operators fill the rest.
    model->atoms.frac_x[1] = model->atoms.frac_y[1] = model->atoms.frac_z[1] = 0;
    when_open([&](Dialog& d) {
        for (int id : {IDC_SPHERE_AROUND_ATOM, IDC_SPHERE_AROUND_POINT, IDC_BOX, IDC_CANCEL, IDC_CARTESIAN})
            EXPECT_FALSE(d.is_enabled(id)) << id;
        EXPECT_FALSE(d.get_checked(IDC_SPHERE_AROUND_ATOM));
        EXPECT_FALSE(d.get_checked(IDC_LATTICE_P));
        EXPECT_TRUE(enabled_fields(d).empty());
        EXPECT_EQ(d.get_item_count(IDC_ATOM_LIST), 0);
        // The close box is refused with Cancel.
        d.handle_cancel_request();
        EXPECT_TRUE(d.is_open());
        d.user_click(IDC_GENERATE_CLUSTER);
        const auto lines = list_lines(d);
        ASSERT_GT(lines.size(), 2u);
        EXPECT_EQ(lines[0], CLUSTER_TITLE_UNIT_CELL);
        d.user_click(IDC_APPLY);
    });
    ASSERT_TRUE(run_symmetry_generation_dialog(*model));
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_CURRENT_LIST, *model));
    int corners = 0;
    for (int k = 1; k <= model->atoms.atom_count; ++k) {
        for (double c : {model->atoms.frac_x[k], model->atoms.frac_y[k], model->atoms.frac_z[k]}) {
            EXPECT_GE(c, 0.0) << k;
            EXPECT_LE(c, 1.0) << k;
        }
        if (model->atoms.site_weight[k] == 0.125)
            ++corners;
    }
    EXPECT_EQ(corners, 8);
}

TEST_F(ClusterDialogTest, AFileReadIntoTheListIsAppliedLineByLine)
{
    const fs::path file = directory_ / "my.cls";
    std::ofstream(file) << CLUSTER_TITLE_IN_SPACE << "\n"
                        << CLUSTER_COLUMN_HEADER << "\n"
                        << "  2     0.00000  0.00000  0.00000       1    2        3\n"
                        << " -3,1,0,0.5,1,1\n";
    auto model = make_model(1);
    ui_->answers.file_answers.push_back(file.string());
    when_open([&](Dialog& d) {
        d.user_click(IDC_READ_CLUSTER);
        EXPECT_EQ(list_lines(d).size(), 4u);
        EXPECT_EQ(d.get_item_text(IDC_CLUSTER_LINES, 3), " -3,1,0,0.5,1,1");
        EXPECT_TRUE(d.is_enabled(IDC_APPLY));
        d.user_click(IDC_APPLY);
    });
    ASSERT_TRUE(run_symmetry_generation_dialog(*model));
    ASSERT_EQ(ui_->answers.file_requests.size(), 1u);
    EXPECT_EQ(ui_->answers.file_requests[0].description, "Keldana cluster file (*.cls)");
    EXPECT_EQ(ui_->answers.file_requests[0].pattern, "*.cls");
    EXPECT_EQ(entries_of(model->applications), (std::vector<Entry>{{2, 0, 0, 0, 1, 2}, {-3, 1, 0, 0.5, 1, 1}}));

    // Headers only: an empty list is applied.
    std::ofstream(file) << CLUSTER_TITLE_IN_SPACE << "\n" << CLUSTER_COLUMN_HEADER << "\n";
    ui_->answers.file_answers.push_back(file.string());
    when_open([](Dialog& d) {
        d.user_click(IDC_READ_CLUSTER);
        d.user_click(IDC_APPLY);
    });
    ASSERT_TRUE(run_symmetry_generation_dialog(*model));
    EXPECT_EQ(model->applications.entry_count, 0);
}

TEST_F(ClusterDialogTest, ReadRefusesWhatIsNoClusterFileAndKeepsTheList)
{
    auto model = make_model(1);
    const std::vector<std::string> sources = unreadable_inputs(directory_, ".cls");
    for (const std::string& source : sources)
        ui_->answers.file_answers.push_back(source);
    ui_->answers.file_answers.push_back((directory_ / "missing.cls").string());
    when_open([&](Dialog& d) {
        const std::size_t lines = list_lines(d).size();
        for (std::size_t i = 0; i <= sources.size(); ++i)
            d.user_click(IDC_READ_CLUSTER);
        EXPECT_EQ(list_lines(d).size(), lines);
        d.user_click(IDC_CANCEL);
    });
    run_symmetry_generation_dialog(*model);
    const std::vector<std::string> texts = message_texts();
    // A missing file ends the read without a message.
    ASSERT_EQ(texts.size(), sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        EXPECT_NE(texts[i].find(sources[i]), std::string::npos) << texts[i];
}

TEST_F(ClusterDialogTest, ApplyRefusesLinesThatCannotMakeACluster)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  2 0 0 0 1\n", "line 3"},            // five values
        {"  2 0 0 0 1 x\n", "line 3"},          // not a number
        {"  5 0 0 0 1 1\n", "only 4 operators"},
        {"  2 0 0 0 1 3\n", "2 independent atoms"},
        {"  2 0 0.35 0 1 1\n", "Lattice translations are not correct!"},
    };
    for (const auto& [line, message_part] : cases) {
        SCOPED_TRACE(line);
        ui_->answers.messages.clear();
        const fs::path file = directory_ / "bad.cls";
        std::ofstream(file) << "title\nheader\n" << line;
        auto model = make_model(1);
        const int e = ++model->applications.entry_count;
        model->applications.operation[e] = 1;
        model->applications.translation[e] = {0, 1, 0, 0};
        model->applications.first_atom[e] = model->applications.last_atom[e] = 1;
        ui_->answers.file_answers.push_back(file.string());
        when_open([&](Dialog& d) {
            d.user_click(IDC_READ_CLUSTER);
            d.user_click(IDC_APPLY);
            EXPECT_TRUE(d.is_open());
            d.user_click(IDC_CANCEL);
        });
        EXPECT_FALSE(run_symmetry_generation_dialog(*model));
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_NE(ui_->answers.messages[0].text.find(message_part), std::string::npos)
            << ui_->answers.messages[0].text;
        EXPECT_EQ(entries_of(model->applications), (std::vector<Entry>{{1, 1, 0, 0, 1, 1}}));
    }
}

TEST_F(ClusterDialogTest, SetAsDefaultSavesTheFileTheClusterBuilderReads)
{
    auto model = make_model(1);
    when_open([&](Dialog& d) {
        d.user_set_text(IDC_RADIUS, "4.0");
        d.user_click(IDC_GENERATE_CLUSTER);
        d.user_click(IDC_SET_DEFAULT_CLUSTER);
        d.user_click(IDC_APPLY);
    });
    ASSERT_TRUE(run_symmetry_generation_dialog(*model));
    const fs::path file = directory_ / "gspace.cls";
    ASSERT_TRUE(fs::exists(file));
    std::ifstream input(file);
    int records = 0;
    for (std::string record; std::getline(input, record); ++records)
        EXPECT_EQ(record.size(), 60u);
    EXPECT_EQ(records, model->applications.entry_count + 2);

    auto from_file = make_model(1);
    ASSERT_TRUE(build_symmetry_cluster(CLUSTER_FROM_DEFAULT_FILE, *from_file));
    EXPECT_EQ(entries_of(from_file->applications), entries_of(model->applications));
    EXPECT_TRUE(ui_->answers.messages.empty()) << ui_->answers.message_log();
}

TEST_F(ClusterDialogTest, TheLatticeDialogSetsTheMarkedType)
{
    struct Case {
        int radio;
        bool ok;
        int expected;
    };
    const std::vector<Case> cases = {{IDC_LATTICE_F, true, 5},
                                     {IDC_LATTICE_R_HEXAGONAL, true, 7},
                                     {IDC_LATTICE_R_RHOMBOHEDRAL, true, 1},
                                     {IDC_LATTICE_I, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radio);
        SpaceGroupSymmetry space_group;
        when_open([&](Dialog& d) {
            EXPECT_EQ(d.get_resource_id(), IDD_LATTICE);
            d.user_click(c.radio);
            if (c.ok)
                d.user_click(IDC_OK);
            else
                d.handle_cancel_request();  // the close box
        });
        run_lattice_type_dialog(space_group);
        EXPECT_EQ(space_group.lattice_type, c.expected);
    }
}
