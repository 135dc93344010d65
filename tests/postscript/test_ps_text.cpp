// Texts, numbers, Greek letters, signs, scripts and overbars as PostScript lines.
#include <algorithm>

#include "ps_test_support.h"

namespace {

class PsTextTest : public PsFileTest {
protected:
    // The lines and the console output of a drawing.
    template <typename Draw>
    std::pair<Lines, std::string> with_console(Draw draw)
    {
        open_plot();
        testing::internal::CaptureStdout();
        draw();
        const std::string console = testing::internal::GetCapturedStdout();
        return {drawn_lines(), console};
    }
};

bool contains(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(PsTextTest, MainTextRoutine)
{
    EXPECT_EQ(lines_of([] { draw_ps_text(1.0f, 2.0f, 0.15f, "A(1)", 0.0f, 4, 1); }),
              (Lines{"S", " 17 Setf", " 71.00 Xposd", " 142.00 Yposd", "(A\\(1\\)) Lend 0.500 Xposjd",
                     "xydef mover (A\\(1\\)) show", " 0.0 Xyprset"}));
    // The size is written only when it changes (0.151 is also 17 points).
    const Lines twice = lines_of([] {
        draw_ps_text(1.0f, 2.0f, 0.15f, "a", 0.0f, 1, 0);
        draw_ps_text(1.0f, 2.0f, 0.151f, "b", 0.0f, 1, 0);
    });
    EXPECT_EQ(std::count(twice.begin(), twice.end(), " 17 Setf"), 1);
    EXPECT_EQ(lines_of([] { draw_ps_text(0.0f, 0.0f, 0.1f, "abc", 0.0f, 0, 0); }),
              (Lines{"S", " 11 Setf", " 0.00 Xposd", " 0.00 Yposd", "() Lend", "xydef mover () show", " 0.0 Xyprset"}));
}

TEST_F(PsTextTest, CountModesContinuationAndRotation)
{
    // count -3: the first three characters, left-justified whatever was asked.
    EXPECT_EQ(lines_of([] { draw_ps_text(0.0f, 0.0f, 0.1f, "abcdef", 0.0f, -3, 2); })[4], "(abc) Lend");
    // count -1: one character centred on the point.
    EXPECT_EQ(lines_of([] { draw_ps_text(1.0f, 1.0f, 0.2f, "X", 0.0f, -1, 2); })[4],
              "(X) Lend /Xpos Xpos -4.26 add def /Ypos Ypos -7.10 add def");
    // 999 continues after the previous text, left-justified; y alone may continue.
    EXPECT_EQ(lines_of([] { draw_ps_text(999.0f, 1.0f, 0.1f, "ab", 0.0f, 2, 1); }),
              (Lines{"S", " 11 Setf", "/Xpos Xpres def", " 71.00 Yposd", "(ab) Lend", "xydef mover (ab) show",
                     " 0.0 Xyprset"}));
    EXPECT_EQ(lines_of([] { draw_ps_text(1.0f, 999.0f, 0.1f, "ab", 0.0f, 2, 2); })[3], "/Ypos Ypres def");
    const Lines turned = lines_of([] { draw_ps_text(1.0f, 1.0f, 0.1f, "A", 30.0f, 1, 1); });
    EXPECT_EQ(turned[4], "(A) Lend 0.433 Xposjd 0.250 Yposjd");
    EXPECT_EQ(turned[5], "xydef mover 30.0 rotate (A) show -30.0 rotate");
    EXPECT_EQ(turned[6], " 30.0 Xyprset");
    // count -999: the first word is a character code, written as an octal escape.
    EXPECT_EQ(lines_of([] { draw_ps_text(1.0f, 1.0f, 0.1f, ps_character_code(101), 0.0f, -999, 0); })[4],
              "(\\101) Lend");
    // A size that does not fit I3.
    EXPECT_EQ(lines_of([] { draw_ps_text(1.0f, 1.0f, 10.0f, "A", 0.0f, 1, 0); })[1], "*** Setf");
}

TEST_F(PsTextTest, BadJustificationIsReportedAndDrawnLeftJustified)
{
    const auto [lines, console] = with_console([] { draw_ps_text(1.0f, 1.0f, 0.1f, "ab", 0.0f, 2, 5); });
    EXPECT_EQ(console, " incorrect justification code     5found in TXTOUT, zero used\n");
    EXPECT_EQ(lines[4], "(ab) Lend");
}

struct NumsymCase {
    float value;
    int ndec;
    bool exponential;
    std::string text;
    int count;
};

TEST(PsNumsym, FixedAndExponentialForms)
{
    reset_postscript_library();
    const std::vector<NumsymCase> cases = {
        {3.14159f, 2, false, "3.14", 4},     {3.14159f, 0, false, "3.", 2},     {3.14159f, -1, false, "3", 1},
        {12.34f, -1, false, "12", 2},        {-0.5f, 1, false, "-0.5", 4},      {3.14159f, 3, true, "3.142E+00", 9},
        {3.14159f, 0, true, "3.E+00", 6},    {1234.5f, 1, true, "1.2E+03", 7},  {1e20f, 0, false, "", 0},
        {1e20f, -1, false, "", -1},
    };
    for (const NumsymCase& c : cases) {
        std::string text;
        int count = 0;
        ASSERT_TRUE(numsym(c.value, c.ndec, text, count, c.exponential)) << c.value;
        EXPECT_EQ(count, c.count) << c.value << " " << c.ndec;
        EXPECT_EQ(text.size(), 80u);
        if (c.count > 0) {
            EXPECT_EQ(text.substr(0, static_cast<std::size_t>(c.count)), c.text);
        }
    }
}

TEST(PsNumsym, BadDecimalsAreRefusedWithTheirMessage)
{
    reset_postscript_library();
    std::string text;
    int count = 0;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(numsym(1.0f, 16, text, count, false));
    EXPECT_FALSE(numsym(1.0f, -1, text, count, true));
    EXPECT_FALSE(draw_ps_number_fixed(0.0f, 0.0f, 0.1f, 1.0f, 0.0f, 20, 0));
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find(" In call to numsym, ndec gt 15                   16 program abandoned\n"), std::string::npos);
    EXPECT_NE(console.find(" in numsym, exponential format specified with ndec=  -1 program abandoned\n"),
              std::string::npos);
    EXPECT_TRUE(ps_output_state().failed);
    reset_postscript_library();
}

TEST_F(PsTextTest, TextVariants)
{
    EXPECT_EQ(lines_of([] { draw_ps_text_chars(0.0f, 0.0f, 0.1f, "abcde", 0.0f, 10, 0); })[4], "(abcde     ) Lend");
    const Lines outlined = lines_of([] { draw_ps_text_outlined(0.0f, 0.0f, 0.1f, "ab", 0.0f, 2, 0); });
    EXPECT_EQ(outlined.front(), " 11 Setf");
    EXPECT_EQ(outlined[4], "xydef mover (ab) false charpath stroke");
    EXPECT_EQ(lines_of([] { draw_ps_text_advance(2.0f, 999.0f, 0.1f, "ab", 0.0f, 2); }),
              (Lines{" 11 Setf", "/Xpos 0.1420E+03 def", "/Ypos Ypres def", "xydef mover", "(ab) show"}));

    const Lines boxes = lines_of([] {
        draw_ps_text_in_color_box(1.0f, 1.0f, 0.1f, "one", 0.0f, 0.2f, 1, 1, 0, 0, 0, 1, 1, 0);
        draw_ps_text_in_color_box(1.0f, 1.0f, 0.1f, "two", 45.0f, 0.2f, 1, 1, 0, 0, 0, 1, 1, 0);
        draw_ps_text_in_gray_box(1.0f, 1.0f, 0.1f, "three", 0.0f, 0.2f, 0, 0, 1.5f, -0.2f);
    });
    const auto definitions = std::count_if(boxes.begin(), boxes.end(), [](const std::string& l) { return l.rfind("/Fwidth", 0) == 0; });
    EXPECT_EQ(definitions, 2);
    EXPECT_TRUE(contains(boxes, "/edg 0.20 sheight mul def"));
    EXPECT_TRUE(contains(boxes, " 45.00 rotate"));
    EXPECT_TRUE(contains(boxes, " -45.00 rotate"));
    const auto box = std::find(boxes.begin(), boxes.end(), "/text (three) def");
    ASSERT_NE(box, boxes.end());
    const Lines grey(box, boxes.end());
    const Lines sg_lines = [&] {
        Lines out;
        for (const std::string& l : grey)
            if (l.find(" Sg") != std::string::npos) out.push_back(l);
        return out;
    }();
    EXPECT_EQ(sg_lines, (Lines{" 0.000 Sg", " 1.000 Sg", " 0.000 Sg"}));
}

TEST_F(PsTextTest, BoxMeasuringProcedureIsDefinedInEveryFile)
{
    EXPECT_EQ(lines_of([] { draw_ps_text_in_gray_box(1.0f, 1.0f, 0.1f, "a", 0.0f, 0.2f, 0, 0, 0, 1) ; })[0],
              "/Fwidth { newpath 0 0 moveto text false charpath flattenpath pathbbox");
    EXPECT_EQ(lines_of([] { draw_ps_text_in_gray_box(1.0f, 1.0f, 0.1f, "a", 0.0f, 0.2f, 0, 0, 0, 1); })[0],
              "/Fwidth { newpath 0 0 moveto text false charpath flattenpath pathbbox");
}

TEST_F(PsTextTest, GreekLettersAndOneHalf)
{
    EXPECT_EQ(lines_of([] { grksym(1.0f, 1.0f, 0.15f, 1, 0.0f, 1, 0); }),
              (Lines{"/Symbol findfont 17 scalefont setfont", " 71.00 Xposd", " 71.00 Yposd", "(A) Lend",
                     "xydef mover (A) show", " 0.0 Xyprset", "/Curfnt /Helvetica findfont def", " 12 Setf"}));
    EXPECT_EQ(lines_of([] { grksym(1.0f, 1.0f, 0.15f, 20, 0.0f, 1, 0); })[3], "(\\241) Lend");
    EXPECT_EQ(lines_of([] { grksym(1.0f, 1.0f, 0.15f, 25, 0.0f, 1, 0); })[3], "(a) Lend");
    EXPECT_EQ(lines_of([] { grksym(1.0f, 1.0f, 0.15f, 50, 0.0f, 1, 0); })[3], "(f) Lend");
    EXPECT_EQ(lines_of([] { grksym(1.0f, 1.0f, 0.2f, 3, 0.0f, -1, 0); })[3],
              "(G) Lend /Xpos Xpos -4.26 add def /Ypos Ypos -7.10 add def");
    // After the letter a text of the same size needs no size line of its own.
    const Lines after = lines_of([] {
        grksym(1.0f, 1.0f, 0.15f, 1, 0.0f, 1, 0);
        draw_ps_text(999.0f, 999.0f, 0.1f, "b", 0.0f, 1, 0);
        draw_ps_text(999.0f, 999.0f, 0.1f, "c", 0.0f, 1, 0);
    });
    EXPECT_EQ(std::count(after.begin(), after.end(), " 11 Setf"), 1);
    const Lines halves = lines_of([] {
        ONEHLF(1.0f, 1.0f, 0.15f, 0.0f, 0);
        ONEHLF(999.0f, 999.0f, 0.15f, 0.0f, 0);
    });
    EXPECT_EQ(std::count(halves.begin(), halves.end(), "/Latino exch definefont pop"), 2);
    EXPECT_TRUE(contains(halves, "(\\275) Lend"));
}

TEST_F(PsTextTest, PlusMinusAndSummation)
{
    EXPECT_EQ(lines_of([] { PLSMIN(1.0f, 1.0f, 0.15f, 0.0f, 1); }),
              (Lines{"/Symbol findfont 17 scalefont setfont", " 71.00 Xposd", " 71.00 Yposd",
                     "(\\261) Lend 0.500 Xposjd 0.000 Yposjd xydef mover (\\261) show", " 0.0 Xyprset",
                     "/Curfnt /Helvetica findfont def", " 12 Setf"}));
    EXPECT_EQ(lines_of([] { PRIME(999.0f, 1.0f, 0.15f, 0.0f, 1); })[3],
              "(\\242) Lend 0.000 Xposjd 0.000 Yposjd xydef mover (\\242) show");
    EXPECT_EQ(lines_of([] { SIGMA(1.0f, 1.0f, 0.15f, 0.0f, "", 0, "", 0); }),
              (Lines{"S", " 71.00 67.75 SM", " 71.00 67.75 translate", "/Curfnt /Helvetica findfont def", " 12 Setf",
                     " -71.00 -67.75 SM", " -71.00 -67.75 translate", "/Symbol findfont 25 scalefont setfont",
                     " 71.00 Xposd", " 67.75 Yposd", "(\\345) Lend 0.500 Xposjd", "xydef mover (\\345) show",
                     "/Xpos Xpos 0.00 sub def", " /Ypos Ypos -3.25 sub def", "(\\345) Lends", " 0.0 Xyprset",
                     "/Curfnt /Helvetica findfont def", " 12 Setf"}));
    // Continued: the offset stays a number of its own.
    EXPECT_TRUE(contains(lines_of([] { SIGMA(999.0f, 999.0f, 0.15f, 0.0f, "", 0, "", 0); }), "/Ypos Ypres -3.25 add def"));
}

TEST_F(PsTextTest, IntegralWithLimits)
{
    const Lines lines = lines_of([] { integral(1.0f, 1.0f, 0.15f, 0.0f, "0", 1, "1", 1); });
    EXPECT_EQ(lines[1], " 71.00 67.75 SM");
    EXPECT_TRUE(contains(lines, " 8 Setf"));  // limits of trunc(0.2 x 25) / 71 inch
    EXPECT_TRUE(contains(lines, "/Symbol findfont 25 scalefont setfont"));
    EXPECT_TRUE(contains(lines, " 67.75 Yposd"));
    EXPECT_TRUE(contains(lines, "(\\362) Lendi"));
    EXPECT_TRUE(contains(lines, "/Xpint Xp def /Ypint Yp def /Intsz 25 def"));
    EXPECT_EQ(lines.back(), " 0.0 Xyprset");
}

TEST_F(PsTextTest, SubscriptsAndSuperscripts)
{
    const Lines sub = lines_of([] {
        draw_ps_text(1.0f, 1.0f, 0.16f, "X", 0.0f, 1, 0);
        draw_ps_single_subscript("2", 1, 0.16f, 0.0f);
    });
    const Lines tail(sub.end() - 6, sub.end());
    EXPECT_EQ(tail, (Lines{"Xypos0d", "/Xpos Xpres 0.00 add def", "/Ypos Ypres 4.26 sub def", " 14 Setf",
                           "(2) Lend xydef mover (2) show", " 0.0 Xyprset0"}));
    EXPECT_EQ(lines_of([] { draw_ps_single_superscript("'", 1, 0.16f, 0.0f); }),
              (Lines{"Xypos0d", "/Xpos Xpres 0.00 sub def", "/Ypos Ypres 6.82 add def",
                     "/Symbol findfont 14 scalefont setfont", "(\\242) Lend xydef mover (\\242) show", " 0.0 Xyprset0",
                     "/Curfnt /Helvetica findfont def", " 12 Setf"}));
    EXPECT_EQ(lines_of([] { draw_ps_single_superscript("''", 2, 0.16f, 0.0f); })[4], "('') Lend xydef mover ('') show");

    const std::vector<int> fonts = {29};
    const std::vector<std::string> texts = {ps_character_code(141)};
    const std::vector<int> counts = {0};
    const Lines code = lines_of([&] { draw_ps_text_subscript(1, fonts, texts, counts, 0.16f, 0.0f); });
    EXPECT_TRUE(contains(code, "(\\141) Lend xydef mover (\\141) show"));
    EXPECT_EQ(lines_of([&] { draw_ps_text_subscript(0, fonts, texts, counts, 0.16f, 0.0f); }),
              (Lines{"/Curfnt /Helvetica findfont def", " 12 Setf"}));
    // Without subscripts the superscripts of the pair start where the text ended.
    const Lines pair = lines_of([&] { draw_ps_text_sub_sup(0, fonts, texts, counts, 1, fonts, texts, counts, 0.16f, 0.0f); });
    EXPECT_FALSE(contains(pair, "/Xpres Xposv def /Ypres Yposv def"));
}

TEST_F(PsTextTest, OverbarredText)
{
    EXPECT_EQ(lines_of([] { OVERBAR(1.0f, 2.0f, 0.15f, "AB", 0.0f, 2, 0); }),
              (Lines{" 17 Setf", " 71.00 Xposd", " 142.00 Yposd",
                     "(AB) Lend 0.000 Xposjd 0.000 Yposjd xydef mover (AB) show", "/Xpsav Xpos def /Ypsav Ypos def",
                     "/Xpos Xpos 0.00 sub def", "/Ypos Ypos 16.33 add def", "xydef mover",
                     "/Xpos Strlen 0.0 cos mul Xpos add def", "/Ypos Strlen 0.0 sin mul Ypos add def", " 0.010 Slw",
                     "xydef lsm /Xpos Xpsav def /Ypos Ypsav def", "Slw0", " 0.0 Xyprset"}));
    EXPECT_EQ(lines_of([] { OVERBAR(1.0f, 2.0f, 0.15f, "ace", 0.0f, 3, 0); })[6], "/Ypos Ypos 11.36 add def");
    EXPECT_EQ(lines_of([] { OVERBAR(1.0f, 2.0f, 0.15f, "acb", 0.0f, 3, 0); })[6], "/Ypos Ypos 16.33 add def");
    // The tall test looks at the escaped text: "a(b" counts "a\(" only.
    EXPECT_EQ(lines_of([] { OVERBAR(1.0f, 2.0f, 0.15f, "a(b", 0.0f, 3, 0); })[6], "/Ypos Ypos 11.36 add def");
    EXPECT_EQ(lines_of([] { OVRGRK(1.0f, 2.0f, 0.15f, 20, 0.0f, 1, 0); })[3],
              "(\\241) Lend 0.000 Xposjd 0.000 Yposjd xydef mover (\\241) show");

    const auto [lines, console] = with_console([] { OVERSUPG(1.0f, 2.0f, 0.15f, 1, 0.0f, 1, 7, "2", 1); });
    EXPECT_EQ(console, " Incorrect justification code     7found in OVERSUPG, zero used\n");
    EXPECT_TRUE(contains(lines, "(2) Lenssd"));
    EXPECT_TRUE(contains(lines, "/Xpos Strlen Strlenss add 0.0 cos mul Xpos add def"));

    const Lines both = lines_of([] { OVERSBSP(1.0f, 2.0f, 0.15f, "x", 0.0f, 1, 0, "i", 1, "2", 1); });
    EXPECT_TRUE(contains(both, "Strlensb Strlenss ge {/Strlenss Strlensb def} if"));
    EXPECT_EQ(std::count_if(both.begin(), both.end(), [](const std::string& l) { return l.find("(x) show") != std::string::npos; }), 2);

    // A long escaped text is split into its width line and its show line.
    const std::string long_text(60, '(');
    const Lines split = lines_of([&] { OVERBAR(1.0f, 2.0f, 0.15f, long_text, 0.0f, 60, 0); });
    EXPECT_EQ(split[3].rfind("(\\(", 0), 0u);
    EXPECT_EQ(split[4].rfind("xydef mover (\\(", 0), 0u);
}

}  // namespace
