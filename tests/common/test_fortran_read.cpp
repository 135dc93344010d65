// Fixed-column and list-directed input, checked case by case against what
// gfortran read from the same records (gfortran_cases/read_cases.txt and
// list_cases.txt -> read_expected.txt and list_expected.txt).
#include "common/fortran_format.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
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

std::vector<std::string> split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find(separator, start);
        fields.push_back(trim(line.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) return fields;
        start = at + 1;
    }
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// The "[...]" lines of a case, with <TAB> standing for a tab.
std::vector<std::string> bracketed(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t p = 0;
    while ((p = text.find('[', p)) != std::string::npos) {
        const std::size_t close = text.find(']', p);
        std::string line = text.substr(p + 1, close - p - 1);
        for (std::size_t tab; (tab = line.find("<TAB>")) != std::string::npos;) line.replace(tab, 5, "\t");
        lines.push_back(line);
        p = close + 1;
    }
    return lines;
}

double parse_real(const std::string& text)
{
    const std::string t = trim(text);
    if (t == "Infinity") return std::numeric_limits<double>::infinity();
    if (t == "-Infinity") return -std::numeric_limits<double>::infinity();
    double v = 0;
    const bool negative = t[0] == '-';
    std::from_chars(t.data() + (negative ? 1 : 0), t.data() + t.size(), v);
    return negative ? -v : v;
}

// Variables of the kinds the case tables name, holding their initial
// values (-99, -99.0, '#'), and how each prints in the capture.
struct Variables {
    std::vector<std::string> kinds;
    std::vector<int> ints;
    std::vector<long long> longs;
    std::vector<double> reals;
    std::vector<std::vector<char>> texts;
    std::vector<FortranTarget> targets;

    explicit Variables(const std::vector<std::string>& k) : kinds(k)
    {
        ints.assign(kinds.size(), -99);
        longs.assign(kinds.size(), -99);
        reals.assign(kinds.size(), -99.0);
        texts.resize(kinds.size());
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            const std::string& kind = kinds[i];
            if (kind == "i") targets.emplace_back(&ints[i]);
            else if (kind == "l") targets.emplace_back(&longs[i]);
            else if (kind == "r") targets.emplace_back(&reals[i]);
            else {
                texts[i].assign(static_cast<std::size_t>(std::stoi(kind.substr(1))), '#');
                targets.emplace_back(texts[i].data(), texts[i].size());
            }
        }
    }

    // Compares variable i with its printed form in the capture.
    void expect_matches(std::size_t i, const std::string& printed) const
    {
        const std::string& kind = kinds[i];
        if (kind == "i") EXPECT_EQ(std::to_string(ints[i]), printed) << "item " << i + 1;
        else if (kind == "l") EXPECT_EQ(std::to_string(longs[i]), printed) << "item " << i + 1;
        else if (kind == "r") {
            const double expected = parse_real(printed);
            EXPECT_EQ(reals[i], expected) << "item " << i + 1;
            EXPECT_EQ(std::signbit(reals[i]), std::signbit(expected)) << "item " << i + 1;
        } else {
            EXPECT_EQ("[" + std::string(texts[i].begin(), texts[i].end()) + "]", printed) << "item " << i + 1;
        }
    }
};

TEST(FortranReadTest, FixedColumnReadsAgreeWithGfortran)
{
    const auto expected = load_capture(CASE_DIR + "read_expected.txt");
    std::ifstream table(CASE_DIR + "read_cases.txt");
    ASSERT_TRUE(table.good());
    std::string line;
    int checked = 0;
    while (std::getline(table, line)) {
        if (trim(line).empty() || trim(line)[0] == '#') continue;
        const auto fields = split(line, '|');
        ASSERT_EQ(fields.size(), 4u) << line;
        const std::string& name = fields[0];
        SCOPED_TRACE("case " + name);
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end()) << "no gfortran capture for " << name;
        Variables vars(words(fields[3]));
        const std::string record = bracketed(fields[2]).at(0);
        std::string error;
        const bool ok = read_record(record, fields[1], vars.targets, &error);
        if (found->second == std::vector<std::string>{"ERROR"}) {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(error.empty());
        } else {
            ASSERT_TRUE(ok) << error;
            ASSERT_EQ(found->second.size(), vars.kinds.size());
            for (std::size_t i = 0; i < vars.kinds.size(); ++i) vars.expect_matches(i, found->second[i]);
        }
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(expected.size()));
}

TEST(FortranReadTest, ListDirectedReadsAgreeWithGfortran)
{
    const auto expected = load_capture(CASE_DIR + "list_expected.txt");
    std::ifstream table(CASE_DIR + "list_cases.txt");
    ASSERT_TRUE(table.good());
    std::string line;
    int checked = 0;
    while (std::getline(table, line)) {
        if (trim(line).empty() || trim(line)[0] == '#') continue;
        const auto fields = split(line, '|');
        ASSERT_EQ(fields.size(), 3u) << line;
        const std::string& name = fields[0];
        SCOPED_TRACE("case " + name);
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end()) << "no gfortran capture for " << name;

        std::string text;
        for (const std::string& l : bracketed(fields[1])) text += l + "\n";
        std::istringstream input(text);
        ListReader reader(input);
        std::size_t printed = 0;
        const auto& out = found->second;
        for (const std::string& group : split(fields[2], ';')) {
            std::vector<std::string> kinds = words(group);
            if (kinds == std::vector<std::string>{"-"}) kinds.clear();
            Variables vars(kinds);
            const bool ok = reader.read(vars.targets.data(), vars.targets.size());
            const int status = ok ? 0 : reader.end_of_file() ? -1 : 1;
            ASSERT_LT(printed, out.size());
            EXPECT_EQ("status " + std::to_string(status), out[printed++]) << reader.error();
            if (status <= 0) {
                for (std::size_t i = 0; i < kinds.size(); ++i) {
                    ASSERT_LT(printed, out.size());
                    vars.expect_matches(i, out[printed++]);
                }
            } else {
                EXPECT_FALSE(reader.error().empty());
            }
        }
        EXPECT_EQ(printed, out.size());
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(expected.size()));
}

TEST(FortranReadTest, TextTargetsOfEveryKind)
{
    std::string whole;
    std::string field;
    std::array<char, 4> fixed{};
    ASSERT_TRUE(read_record("abcdefgh", "(A3,A)", {&field, &whole}));
    EXPECT_EQ(field, "abc");
    EXPECT_EQ(whole, "defgh");
    ASSERT_TRUE(read_record("ab", "(A5,A)", {&field, &whole}));
    EXPECT_EQ(field, "ab   ");  // a short record is blank-padded
    EXPECT_EQ(whole, "");
    ASSERT_TRUE(read_record("xy", "(A)", {&fixed}));
    EXPECT_EQ(std::string(fixed.data(), 4), "xy  ");
    ASSERT_TRUE(read_list("'quoted text' bare", {&whole, &field}));
    EXPECT_EQ(whole, "quoted text");
    EXPECT_EQ(field, "bare");
}

TEST(FortranReadTest, FormattedReadFaultsAreReported)
{
    int i = 0;
    double x = 0;
    std::string s;
    std::string error;
    EXPECT_FALSE(read_record("12", "(I", {&i}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(read_record("12", "(F5.2)", {&i}, &error));  // a real field into an integer
    EXPECT_FALSE(read_record("12", "(I5)", {&x}, &error));
    EXPECT_FALSE(read_record("12", "(I5)", {&s}, &error));
    EXPECT_FALSE(read_record("T", "(L1)", {&i}, &error));
    EXPECT_FALSE(read_record("12", "*", {&i}, &error));
    EXPECT_FALSE(read_record("1", "(I1/I1)", {&i, &i}, &error));
    // A '/' after the last value asks for no further record.
    EXPECT_TRUE(read_record("7", "(I1/)", {&i}, &error));
    EXPECT_EQ(i, 7);
}

TEST(FortranReadTest, FormattedReadOverSeveralRecords)
{
    const std::vector<std::string> more{" 20", " 30", " 40"};
    std::size_t next = 0;
    auto next_record = [&](std::string& r) {
        if (next == more.size()) return -1;
        r = more[next++];
        return 0;
    };
    int a = 0, b = 0, c = 0, d = 0;
    const FortranTarget targets[] = {&a, &b, &c};
    ASSERT_TRUE(read_records(next_record, " 10", "(I3/I3)", targets, 3, nullptr));  // reversion takes " 30"
    EXPECT_EQ(a, 10);
    EXPECT_EQ(b, 20);
    EXPECT_EQ(c, 30);
    std::string error;
    const FortranTarget four[] = {&a, &b, &c, &d};
    next = 2;
    EXPECT_FALSE(read_records(next_record, " 10", "(I3)", four, 4, &error));
    EXPECT_EQ(error, "End of file");
}

TEST(FortranReadTest, ListReaderLinesPositionsAndEnd)
{
    std::istringstream input("1 2 3\r\n'text that\ngoes on' 4\n\n5\n");
    ListReader reader(input);
    int a = 0, b = 0;
    std::string s;
    EXPECT_FALSE(reader.at_end());
    ASSERT_TRUE(reader.read({&a}));
    EXPECT_EQ(a, 1);  // 2 and 3 are surplus
    ASSERT_TRUE(reader.read({&s, &b}));
    EXPECT_EQ(s, "text thatgoes on");  // a quoted text may go on in the next line
    EXPECT_EQ(b, 4);
    ASSERT_TRUE(reader.read({}));  // skips the empty line
    ASSERT_TRUE(reader.read({&a}));
    EXPECT_EQ(a, 5);
    EXPECT_TRUE(reader.at_end());
    EXPECT_FALSE(reader.read({&a}));
    EXPECT_TRUE(reader.end_of_file());
    EXPECT_EQ(reader.status(), -1);
    EXPECT_EQ(reader.error(), "End of file");
}

TEST(FortranReadTest, ListReaderOverACallbackReportsItsErrors)
{
    int calls = 0;
    ListReader reader([&calls](std::string& line) {
        if (++calls == 1) {
            line = "7";
            return 0;
        }
        return 5;  // a read error of the source
    });
    int a = 0, b = 0;
    EXPECT_FALSE(reader.read({&a, &b}));
    EXPECT_EQ(a, 7);
    EXPECT_FALSE(reader.end_of_file());
    EXPECT_EQ(reader.status(), 5);
    EXPECT_FALSE(reader.error().empty());
}

TEST(FortranReadTest, ReadListFromOneString)
{
    double x = 0, y = 0;
    int n = 0;
    std::string error;
    ASSERT_TRUE(read_list("3, 1.5d0\n-2.5e-1", {&n, &x, &y}, &error)) << error;
    EXPECT_EQ(n, 3);
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, -0.25);
    EXPECT_FALSE(read_list("x", {&x}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(read_list("", {&x}, &error));
    EXPECT_EQ(error, "End of file");
}

}  // namespace
