// Formatted and list-directed output, checked case by case against the
// output gfortran gave for the same formats and values
// (gfortran_cases/format_cases.txt -> format_expected.txt).
#include "common/fortran_format.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string CASE_DIR = std::string(KD_TEST_DATA_DIR) + "/common/gfortran_cases/";

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// name -> the records between '|' marks of a capture file.
std::map<std::string, std::vector<std::string>> load_capture(const std::string& path)
{
    std::map<std::string, std::vector<std::string>> cases;
    std::ifstream in(path);
    std::string line, name;
    while (std::getline(in, line)) {
        if (line.rfind("@@ ", 0) == 0) {
            name = line.substr(3);
            cases[name];
        } else if (line == "@@") {
            name.clear();
        } else if (!name.empty() && line.size() >= 2) {
            cases[name].push_back(line.substr(1, line.size() - 2));
        }
    }
    return cases;
}

std::vector<std::string> split_fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = line.find('|', start);
        fields.push_back(trim(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos) return fields;
        start = bar + 1;
    }
}

// The value tokens of the case table (see the table's heading).
std::vector<FortranValue> parse_values(const std::string& text)
{
    std::vector<FortranValue> values;
    std::size_t p = 0;
    while (p < text.size()) {
        if (text[p] == ' ') {
            ++p;
            continue;
        }
        if (text[p] == '"') {
            const std::size_t close = text.find('"', p + 1);
            values.emplace_back(text.substr(p + 1, close - p - 1));
            p = close + 1;
            continue;
        }
        std::size_t end = text.find(' ', p);
        if (end == std::string::npos) end = text.size();
        const std::string token = text.substr(p, end - p);
        p = end;
        if (token == "T" || token == "F") {
            values.emplace_back(token == "T");
        } else if (token == "inf" || token == "-inf") {
            values.emplace_back(token[0] == '-' ? -std::numeric_limits<double>::infinity()
                                                : std::numeric_limits<double>::infinity());
        } else if (token == "nan") {
            values.emplace_back(std::numeric_limits<double>::quiet_NaN());
        } else if (token.find_first_of(".eE") != std::string::npos) {
            double v = 0;
            const char* first = token.data() + (token[0] == '-' ? 1 : 0);
            std::from_chars(first, token.data() + token.size(), v);
            values.emplace_back(token[0] == '-' ? -v : v);
        } else if (token.size() > 2 && token.substr(token.size() - 2) == "_8") {
            values.emplace_back(std::stoll(token.substr(0, token.size() - 2)));
        } else {
            values.emplace_back(std::stoi(token));
        }
    }
    return values;
}

TEST(FortranFormatTest, AgreesWithGfortranCaseByCase)
{
    const auto expected = load_capture(CASE_DIR + "format_expected.txt");
    std::ifstream table(CASE_DIR + "format_cases.txt");
    ASSERT_TRUE(table.good());
    std::string line;
    int checked = 0;
    while (std::getline(table, line)) {
        if (trim(line).empty() || trim(line)[0] == '#') continue;
        const auto fields = split_fields(line);
        ASSERT_GE(fields.size(), 2u) << line;
        const std::string& name = fields[0];
        SCOPED_TRACE("case " + name + ": " + fields[1]);
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end()) << "no gfortran capture for " << name;
        std::vector<std::string> records;
        std::string error;
        const auto values = parse_values(fields.size() > 2 ? fields[2] : "");
        EXPECT_TRUE(try_format_records(fields[1], values.data(), values.size(), records, &error)) << error;
        EXPECT_EQ(records, found->second);
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(expected.size()));
    EXPECT_GT(checked, 150);
}

TEST(FortranFormatTest, FormatWithoutOuterParenthesesBlanksAndLowerCase)
{
    EXPECT_EQ(format_line("I3,F5.1", {7, 2.25}), "  7  2.2");
    EXPECT_EQ(format_line(" ( i3 , f5 . 1 ) ", {7, 2.25}), "  7  2.2");
    EXPECT_EQ(format_line("(1pe16. 3)", {0.5}), "       5.000E-01");
}

TEST(FortranFormatTest, RecordsAndLineJoining)
{
    EXPECT_EQ(format_records("(I2/I2)", {1, 2}), (std::vector<std::string>{" 1", " 2"}));
    EXPECT_EQ(format_line("(I2/I2)", {1, 2}), " 1\n 2");
    const std::vector<FortranValue> values{1, 2, 3};
    EXPECT_EQ(format_records("(2I2)", values), (std::vector<std::string>{" 1 2", " 3"}));
    EXPECT_EQ(format_line("(2I2)", values), " 1 2\n 3");
}

TEST(FortranFormatTest, ValueKindsTheCallersPass)
{
    // Integers are accepted by the real descriptors and written as reals.
    EXPECT_EQ(format_line("(F6.2,E10.2)", {2, -3}), "  2.00 -0.30E+01");
    // Logical values stored as integers: -1 is true, 0 false.
    EXPECT_EQ(format_line("(2L2)", {-1, 0}), " T F");
    // Fixed-length texts, std::string and string_view.
    const std::array<char, 4> label{'C', '1', ' ', ' '};
    const std::string word = "ab";
    EXPECT_EQ(format_line("(A,'|',A,'|',A3)", {label, word, std::string_view("xyz")}), "C1  |ab|xyz");
    EXPECT_EQ(format_line("*", {std::size_t{5}, 7L}), "                    5                    7");
}

TEST(FortranFormatTest, BadFormatsAreReportedNotFatal)
{
    const char* bad[] = {"(I)", "(F5)", "(E10)", "(Q3)", "(I3", "I3)", "(3)", "('abc)", "(I3,,I3)", "(0I3)",
                         "(ES10.3)", "(A0)", "(T0,I2)", "(5H hello)", "(I3,)", "(-I3)", "(E10.2E0)", "(2T5,I2)", "(A99999999)",
                         "(99999999I2)", "(I2.)"};
    for (const char* format : bad) {
        std::vector<std::string> records;
        std::string error;
        EXPECT_FALSE(try_format_records(format, nullptr, 0, records, &error)) << format;
        EXPECT_FALSE(error.empty()) << format;
        EXPECT_NO_THROW(format_records(format, {1, 2.0, "x"})) << format;
    }
}

TEST(FortranFormatTest, HugeRepeatCountsFailInsteadOfRunningForEver)
{
    for (const char* format : {"(999999(999999X))", "(999999(999999/))", "(999999(999999('ab')))"}) {
        std::vector<std::string> records;
        std::string error;
        EXPECT_FALSE(try_format_records(format, nullptr, 0, records, &error)) << format;
        EXPECT_EQ(error, "Format too large to process");
    }
}

TEST(FortranFormatTest, ValuesNotMatchingTheirDescriptorsStopTheWrite)
{
    struct Case {
        const char* format;
        std::vector<FortranValue> values;
        std::vector<std::string> partial;  // what was produced before the fault
    };
    const Case cases[] = {
        {"(I3,I3)", {1, 2.5}, {"  1"}},
        {"(A3)", {7}, {""}},
        {"(F5.1)", {"text"}, {""}},
        {"(L2)", {1.0}, {""}},
        {"('x')", {1}, {""}},                    // no data descriptor at all
        {"(I3,(' x'))", {1, 2}, {"  1 x"}},  // nothing to revert to
    };
    for (const Case& c : cases) {
        std::vector<std::string> records;
        std::string error;
        EXPECT_FALSE(try_format_records(c.format, c.values.data(), c.values.size(), records, &error)) << c.format;
        EXPECT_FALSE(error.empty()) << c.format;
        EXPECT_EQ(records, c.partial) << c.format;
        EXPECT_EQ(format_records(c.format, c.values), c.partial) << c.format;
    }
}

TEST(FortranFormatTest, ScaleFactorOutOfRangeForE)
{
    std::vector<std::string> records;
    std::string error;
    const FortranValue value(1.5);
    EXPECT_FALSE(try_format_records("(5PE10.3)", &value, 1, records, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(try_format_records("(-3PE10.3)", &value, 1, records, &error));
}

}  // namespace
