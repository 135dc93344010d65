#include "keldana/model/text_fields.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

std::span<char> field(std::string& text) { return {text.data(), text.size()}; }

}  // namespace

TEST(TextFields, TrimmedLengthTerminatesAndBlanksTheRest)
{
    struct {
        std::string field;
        int length;
        std::string after;
    } cases[] = {
        {"ab   ", 2, "ab\0  "s},
        {"abcde", 5, "abcde"},
        {"ab c ", 4, "ab c\0"s},
        {"     ", 0, "     "},
        {"", 0, ""},
        {"ab\t\r ", 2, "ab\0  "s},         // tab and carriage return count as blanks
        {"\xE9 \0\x1F "s, 1, "\xE9\0   "s},  // bytes above 127 are not blanks
    };
    for (auto& c : cases) {
        std::string text = c.field;
        EXPECT_EQ(get_trimmed_length(field(text)), c.length) << c.after;
        EXPECT_EQ(text, c.after);
    }
}

TEST(TextFields, ParseRealIgnoringLetters)
{
    struct {
        std::string field;
        bool ok;
        double value;
        std::string after;
    } cases[] = {
        {"1.25e-3", true, 1.25, "1.25  3"},  // exponent letter and sign blanked: first number taken
        {"-4.5", true, 4.5, " 4.5"},         // a negative number loses its sign
        {"x=12.", true, 12, "  12."},
        {"Cu10", true, 10, "  10"},
        {"  .5 ", true, 0.5, "  .5 "},
        {"007 9", true, 7, "007 9"},
        {"abc", false, 0, "   "},  // nothing left to read
        {"", false, 0, ""},
        {"a.b", false, 0, " . "},       // a lone point is no number
        {"1.2.3", false, 0, "1.2.3"},   // malformed first number
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.field);
        std::string text = c.field;
        double value = -99;
        EXPECT_EQ(parse_real_ignoring_letters(field(text), value), c.ok);
        EXPECT_DOUBLE_EQ(value, c.ok ? c.value : -99);
        EXPECT_EQ(text, c.after);
    }
}

TEST(TextFields, CountNonzeroDigits)
{
    struct {
        std::string field;
        int count, offset;
    } cases[] = {
        {"Cu10", 1, 2}, {"Si205", 2, 2}, {"H", 0, 0}, {"C00", 0, 0}, {"7ab", 1, 0}, {"x0y05", 1, 4}, {"", 0, 0},
    };
    for (const auto& c : cases) {
        int count = -1, offset = -1;
        count_nonzero_digits(c.field, count, offset);
        EXPECT_EQ(count, c.count) << c.field;
        EXPECT_EQ(offset, c.offset) << c.field;
    }
}

TEST(TextFields, LeftAdjustFirstWord)
{
    struct {
        std::string field;
        std::string after;
        int word_length;
    } cases[] = {
        {"   Rho  total", "Rho          ", 3},
        {"  abc", "abc  ", 3},
        {"abcde", "abcde", 5},  // the word runs to the end of the field
        {"     ", "     ", 0},
        {"", "", 0},
        {"\t\tRho\0 x"s, "Rho     ", 3},  // control characters are blanks, also as word ends
        {std::string(78, ' ') + "abcdef" + std::string(16, ' '), "ab" + std::string(98, ' '), 2},  // 80 characters take part
        {std::string(85, ' ') + "word" + std::string(11, ' '), std::string(100, ' '), 0},
    };
    for (auto& c : cases) {
        std::string text = c.field;
        int word_length = -1;
        left_adjust_first_word(field(text), word_length);
        EXPECT_EQ(text, c.after) << c.field;
        EXPECT_EQ(word_length, c.word_length) << c.field;
    }
}

TEST(TextFields, CaseConversionTouchesAsciiLettersOnly)
{
    std::string text = "aZ9_\xE9q.";
    convert_to_upper_case(field(text));
    EXPECT_EQ(text, "AZ9_\xE9Q.");
    convert_to_lower_case(field(text));
    EXPECT_EQ(text, "az9_\xE9q.");
}

TEST(TextFields, BlankNonNumericKeepsDigitsMinusAndPoint)
{
    std::string text = "1/2+3-4.5e,x";
    blank_non_numeric_characters(field(text));
    EXPECT_EQ(text, "1 2 3-4.5   ");
}

TEST(TextFields, SetAndReadFixedFields)
{
    std::array<char, 8> label{};
    set_text_field(label, "C1");
    EXPECT_EQ(std::string(label.data(), 8), "C1      ");
    EXPECT_EQ(text_field_string(label), "C1");
    set_text_field(label, "Cu(12)long");
    EXPECT_EQ(std::string(label.data(), 8), "Cu(12)lo");
    EXPECT_EQ(text_field_string(label), "Cu(12)lo");
}
