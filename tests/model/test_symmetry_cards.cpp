// Symmetry cards into operators: fixed-column fields, centrosymmetric
// copies, errors and the capacity of the operator table.  Expected operators
// are copied by hand from International Tables for Crystallography, Vol. A.
#include "keldana/model/symmetry_cards.h"

#include "common/scripted_ui.h"
#include "keldana/model/report_output.h"
#include "keldana/model/text_fields.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One operator as rows (r11 r12 r13 t1).
using Operator = std::array<std::array<double, 4>, 3>;

// A card as its nine 3-character fields, row by row: translation, two terms.
using Card = std::array<const char*, 9>;

std::unique_ptr<SpaceGroupSymmetry> make_space_group(const std::string& word, const std::vector<Card>& cards)
{
    auto space_group = std::make_unique<SpaceGroupSymmetry>();
    set_text_field(space_group->centring_word, word);
    set_text_field(space_group->symmetry_header_line, "SYMMETRY");
    space_group->symmetry_card_count = static_cast<int>(cards.size());
    for (std::size_t k = 0; k < cards.size() && k < MAX_SYMMETRY_CARDS; ++k)
        for (int row = 1; row <= 3; ++row)
            for (int field = 1; field <= 3; ++field)
                set_text_field(space_group->symmetry_card_text[k + 1][row][field], cards[k][(row - 1) * 3 + field - 1]);
    return space_group;
}

void expect_operator(const SymmetryOperators& operators, int k, const Operator& expected)
{
    for (int row = 1; row <= 3; ++row) {
        for (int column = 1; column <= 3; ++column)
            EXPECT_EQ(operators.symop[k][row][column], expected[row - 1][column - 1])
                << "operator " << k << " row " << row << " column " << column;
        EXPECT_NEAR(operators.symop[k][row][4], expected[row - 1][3], 1e-7) << "operator " << k << " row " << row;
    }
}

const Card IDENTITY_CARD = {"   ", "  X", "   ", "   ", "  Y", "   ", "   ", "  Z", "   "};

class SymmetryCardsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_directory_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kd_cards_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        ASSERT_TRUE(open_report_output());
    }

    void TearDown() override
    {
        close_report_output();
        fs::current_path(previous_directory_);
        fs::remove_all(directory_);
    }

    std::vector<std::string> listing() const
    {
        std::ifstream input(directory_ / "keldana0.out");
        std::vector<std::string> lines;
        for (std::string line; std::getline(input, line);)
            lines.push_back(line);
        return lines;
    }

    ScopedScriptedUi ui_;
    fs::path previous_directory_;
    fs::path directory_;
};

}  // namespace

TEST_F(SymmetryCardsTest, CardsGiveTheOperatorsOfInternationalTables)
{
    struct Case {
        const char* group;
        const char* word;
        std::vector<Card> cards;
        std::vector<Operator> expected;
    };
    const std::vector<Case> cases = {
        // P2_1/c (No. 14): x,y,z; -x,y+1/2,-z+1/2; then -x,-y,-z; x,-y+1/2,z+1/2.
        {"P21/c", "CEN", {IDENTITY_CARD, {"   ", " -X", "   ", "1/2", "  Y", "   ", "1/2", " -Z", "   "}},
         {{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}},
          {{{-1, 0, 0, 0}, {0, 1, 0, 0.5}, {0, 0, -1, 0.5}}},
          {{{-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, 0}}},
          {{{1, 0, 0, 0}, {0, -1, 0, 0.5}, {0, 0, 1, 0.5}}}}},
        // P3_1 (No. 144): x,y,z; -y,x-y,z+1/3; -x+y,-x,z+2/3.
        {"P31", "NON",
         {IDENTITY_CARD, {"   ", " -Y", "   ", "   ", "  X", " -Y", "1/3", "  Z", "   "},
          {"   ", " -X", " +Y", "   ", " -X", "   ", "2/3", "  Z", "   "}},
         {{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}},
          {{{0, -1, 0, 0}, {1, -1, 0, 0}, {0, 0, 1, 1.0 / 3}}},
          {{{-1, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 2.0 / 3}}}}},
        // P6_1 (No. 169) operator (6): x-y,x,z+1/6; P6_5 (No. 170) operator
        // (2): -y,x-y,z+2/3 with "+" signs written out; P4_1 (No. 76)
        // operator (4): y,-x,z+3/4.
        {"P61 P65 P41", "NON",
         {{"   ", "  X", " -Y", "   ", "  X", "   ", "1/6", "  Z", "   "},
          {"   ", " -Y", "   ", "   ", " +X", " -Y", "2/3", " +Z", "   "},
          {"   ", "  Y", "   ", "   ", " -X", "   ", "3/4", "  Z", "   "}},
         {{{{1, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 1.0 / 6}}},
          {{{0, -1, 0, 0}, {1, -1, 0, 0}, {0, 0, 1, 2.0 / 3}}},
          {{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0.75}}}}},
        // Translations 1/4, 5/6, 1/2 with the identity.
        {"fractions", "NON", {{"1/4", "  X", "   ", "5/6", "  Y", "   ", "1/2", "  Z", "   "}},
         {{{{1, 0, 0, 0.25}, {0, 1, 0, 5.0 / 6}, {0, 0, 1, 0.5}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        auto space_group = make_space_group(c.word, c.cards);
        auto operators = std::make_unique<SymmetryOperators>();
        ASSERT_TRUE(parse_symmetry_cards(*space_group, *operators, false));
        ASSERT_EQ(operators->symop_count, static_cast<int>(c.expected.size()));
        EXPECT_EQ(operators->centrosymmetric, std::string(c.word) == "CEN" ? 1 : 0);
        for (std::size_t k = 0; k < c.expected.size(); ++k)
            expect_operator(*operators, static_cast<int>(k) + 1, c.expected[k]);
    }
    EXPECT_TRUE(ui_->answers.messages.empty());
}

TEST_F(SymmetryCardsTest, FractionsKeepTheirSinglePrecisionValues)
{
    // The values the cards always had: the nearest floats of the fractions.
    const std::vector<std::pair<std::string, double>> cases = {
        {"   ", 0.0}, {"1/2", 0.5}, {"1/3", 0.3333333432674408}, {"2/3", 0.6666666865348816},
        {"1/4", 0.25}, {"3/4", 0.75}, {"1/6", 0.1666666716337204}, {"5/6", 0.8333333134651184}};
    for (const auto& [field, value] : cases) {
        double read = -1;
        ASSERT_TRUE(look_up_card_translation(field, read)) << field;
        EXPECT_DOUBLE_EQ(read, value) << field;
    }
}

TEST_F(SymmetryCardsTest, ASecondTermOnTheSameAxisOverwritesTheFirst)
{
    auto space_group = make_space_group("NON", {{"   ", "  X", " -X", "   ", "  Y", "   ", "   ", "  Z", "   "}});
    auto operators = std::make_unique<SymmetryOperators>();
    ASSERT_TRUE(parse_symmetry_cards(*space_group, *operators, false));
    expect_operator(*operators, 1, {{{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}});
}

TEST_F(SymmetryCardsTest, MalformedFieldsAreReportedAndNothingIsParsed)
{
    // Lower case, a left-aligned letter, a fraction not in the table, a
    // letter other than X, Y, Z, a sign in the wrong column.
    const Card lower = {"   ", "  x", "   ", "   ", "  Y", "   ", "   ", "  Z", "   "};
    const Card left_aligned = {"   ", "  X", "   ", "   ", "  Y", "   ", "   ", "Z  ", "   "};
    const Card eighth = {"1/8", "  X", "   ", "   ", "  Y", "   ", "   ", "  Z", "   "};
    const Card other_letter = {"   ", "  W", "   ", "   ", "  Y", "   ", "   ", "  Z", "   "};
    const Card sign_first = {"   ", "-X ", "   ", "   ", "  Y", "   ", "   ", "  Z", "   "};
    const std::vector<Card> bad_second_cards = {lower, left_aligned, eighth, other_letter, sign_first};
    for (const Card& card : bad_second_cards) {
        SCOPED_TRACE(std::string(card[0]) + card[1] + card[2] + card[7]);
        ui_->answers.messages.clear();
        auto space_group = make_space_group("NON", {IDENTITY_CARD, card});
        auto operators = std::make_unique<SymmetryOperators>();
        operators->symop_count = 7;  // an earlier model's
        operators->centrosymmetric = 1;
        EXPECT_FALSE(parse_symmetry_cards(*space_group, *operators, false));
        ASSERT_EQ(ui_->answers.messages.size(), 1u);
        EXPECT_EQ(ui_->answers.messages[0].text, "Error in symmetry operator no.  2.  Job terminated.");
        EXPECT_EQ(ui_->answers.messages[0].caption, "ERROR");
        EXPECT_EQ(operators->symop_count, 7);
        EXPECT_EQ(operators->centrosymmetric, 1);
    }
    // Error records reach the listing even without the card listing.
    const auto lines = listing();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ERRORMESSAGE/"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "0ERROR IN SYMMETRY OPERATOR NO.  2."), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), " JOB TERMINATED."), lines.end());
}

TEST_F(SymmetryCardsTest, TheOperatorTableLimitIsEnforcedWithoutEndingTheProgram)
{
    struct Case {
        const char* word;
        int cards;
        bool accepted;
        int operators;
    };
    // 48 operators fit; a centrosymmetric group doubles its cards.
    const std::vector<Case> cases = {
        {"NON", 48, true, 48}, {"NON", 49, false, 0}, {"NON", 50, false, 0},
        {"CEN", 24, true, 48}, {"CEN", 25, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.word) + " " + std::to_string(c.cards));
        ui_->answers.messages.clear();
        auto space_group = make_space_group(c.word, std::vector<Card>(c.cards, IDENTITY_CARD));
        auto operators = std::make_unique<SymmetryOperators>();
        EXPECT_EQ(parse_symmetry_cards(*space_group, *operators, false), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(ui_->answers.messages.empty());
            EXPECT_EQ(operators->symop_count, c.operators);
        } else {
            ASSERT_EQ(ui_->answers.messages.size(), 1u);
            EXPECT_EQ(ui_->answers.messages[0].text, "Too many symmetry cards. Job terminated.");
            EXPECT_EQ(ui_->answers.messages[0].caption, "ERROR");
        }
    }
    // A card count beyond the card table is refused before it is read.
    auto space_group = make_space_group("NON", {IDENTITY_CARD});
    space_group->symmetry_card_count = 1000;
    auto operators = std::make_unique<SymmetryOperators>();
    EXPECT_FALSE(parse_symmetry_cards(*space_group, *operators, false));
}

TEST_F(SymmetryCardsTest, OnlyTheWordCenMakesTheGroupCentrosymmetric)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"CEN", 1}, {"CENTRO", 1}, {"NON", 0}, {"NONCENTRO", 0}, {"   ", 0}, {"cen", 0}, {"XYZ", 0}};
    for (const auto& [word, expected] : cases) {
        SCOPED_TRACE(word);
        auto space_group = make_space_group(word, {IDENTITY_CARD});
        auto operators = std::make_unique<SymmetryOperators>();
        operators->centrosymmetric = 1;  // left by an earlier model
        ASSERT_TRUE(parse_symmetry_cards(*space_group, *operators, false));
        EXPECT_EQ(operators->centrosymmetric, expected);
        EXPECT_EQ(operators->symop_count, expected == 1 ? 2 : 1);
    }
}

TEST_F(SymmetryCardsTest, TheLoadListingShowsHeaderCentringAndCards)
{
    auto space_group =
        make_space_group("CEN", {IDENTITY_CARD, {"   ", " -X", "   ", "1/2", "  Y", "   ", "1/2", " -Z", "   "}});
    auto operators = std::make_unique<SymmetryOperators>();
    ASSERT_TRUE(parse_symmetry_cards(*space_group, *operators, true));
    const auto lines = listing();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "SYMMETRY" + std::string(72, ' '));
    EXPECT_EQ(lines[1], "CENTROSYMMETRIE = CEN");
    // (5X,3(3A3,1X),4X,I4,'. CARD')
    EXPECT_EQ(lines[2], "          X         Y         Z" + std::string(11, ' ') + "1. CARD");
    EXPECT_EQ(lines[3], "         -X    1/2  Y    1/2 -Z" + std::string(11, ' ') + "2. CARD");
}
