// The line writer and the text utilities of the output core.
#include "ps_test_support.h"

namespace {

struct WriterCase {
    std::string buffer;
    std::string written;
};

class LineWriterTest : public PsFileTest {};

TEST_F(LineWriterTest, SqueezesBlanksOutsideStringsOnly)
{
    const std::vector<WriterCase> cases = {
        {"(a  b)  show", "(a  b) show"},
        {"   71.00  142.00 L", " 71.00 142.00 L"},
        {"\\(  x", "\\( x"},                      // an escaped parenthesis opens no string
        {"(a\\)  b)  c", "(a\\)  b) c"},          // nor does an escaped one close it
        {"a)  b  c", "a)  b  c"},                 // unbalanced: blanks kept to the line's end
        {"x  y", "x y"},                          // ... and the next line starts afresh
        {"a\tb" + std::string(1, static_cast<char>(200)) + "c", "abc"},
        {std::string("a") + static_cast<char>(127), std::string("a") + static_cast<char>(127)},
        {std::string(132, ' '), ""},
        {std::string(131, ' ') + "x", " x"},
        {std::string(132, 'x'), std::string(132, 'x')},
        {"text   ", "text"},
    };
    open_plot();
    for (const WriterCase& c : cases) {
        ps_command_buffer().line = c.buffer;
        write_ps_command_line();
    }
    const Lines lines = drawn_lines();
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t k = 0; k < cases.size(); ++k) EXPECT_EQ(lines[k], cases[k].written) << "case " << k;
}

TEST(PsTextUtilities, FindLastNonblankCountsOnlyTheBlank)
{
    EXPECT_EQ(find_last_nonblank("", 0), 0);
    EXPECT_EQ(find_last_nonblank("    ", 4), 0);
    EXPECT_EQ(find_last_nonblank("ab  ", 4), 2);
    EXPECT_EQ(find_last_nonblank("ab  c", 4), 2);  // only the first n characters
    EXPECT_EQ(find_last_nonblank(std::string("a\0 ", 3)), 2);  // NUL counts as text
    EXPECT_EQ(find_last_nonblank("ab", 10), 2);
}

TEST(PsTextUtilities, SqueezeBlanksInPlace)
{
    std::string text = "     12";
    int count = 0;
    squeeze_blanks(text, 7, text, count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(text, "12     ");
    std::string dst;
    squeeze_blanks("a b c", 3, dst, count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(dst, "ab ");
}

TEST(PsTextUtilities, FileNameIsTrimmedAndCut)
{
    reset_postscript_library();
    set_ps_file_name("  ");
    EXPECT_EQ(ps_output_state().name_flag, 999);
    EXPECT_EQ(ps_output_state().file_name, std::string(80, ' '));
    set_ps_file_name(std::string(90, 'n'));
    EXPECT_EQ(ps_output_state().file_name, std::string(80, 'n'));
    set_ps_file_name("out.ps   ");
    EXPECT_EQ(ps_output_state().file_name, "out.ps" + std::string(74, ' '));
    reset_postscript_library();
}

TEST(PsTextUtilities, WritingWithoutAnOpenFileDoesNothing)
{
    reset_postscript_library();
    ps_line("lost");  // no file, no crash
    plot_ps_pen(1.0f, 1.0f, 2);
    EXPECT_FALSE(ps_output_state().file_open);
    EXPECT_FALSE(ps_output_state().failed);
}

TEST(PsTextUtilities, CharacterCodeWordRoundTrips)
{
    EXPECT_EQ(ps_first_word(ps_character_code(245)), 245);
    EXPECT_EQ(ps_first_word(ps_character_code(-7)), -7);
}

}  // namespace
