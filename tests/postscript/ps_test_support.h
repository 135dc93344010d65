// A PostScript file in a scratch directory for each test, and its lines.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pathgraf/postscript/postscript.h"
#include "pathgraf/postscript/ps_compose.h"

inline std::vector<std::string> read_text_lines(const std::filesystem::path& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline PsClockTime fixed_clock() { return PsClockTime{2024, 3, 5, 14, 7, 9, 42}; }

class PsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_postscript_library();
        set_ps_clock(fixed_clock);
        static int serial = 0;
        dir_ = std::filesystem::temp_directory_path()
               / ("kd_ps_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(dir_);
        previous_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override
    {
        reset_postscript_library();
        set_ps_clock({});
        std::filesystem::current_path(previous_dir_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Opens plot.ps and marks where the drawing under test begins.
    void open_plot(bool portrait = true)
    {
        ASSERT_TRUE(open_ps_file_and_write_prolog(portrait));
        ps_line("%mark");
    }
    // Ends the plot and returns the lines written between the mark and the trailer.
    std::vector<std::string> drawn_lines()
    {
        EXPECT_TRUE(end_ps_plot());
        const std::vector<std::string> all = read_text_lines(dir_ / "plot.ps");
        std::vector<std::string> body;
        bool marked = false;
        for (std::size_t k = 0; k + 4 < all.size(); ++k) {
            if (marked) body.push_back(all[k]);
            if (all[k] == "%mark") marked = true;
        }
        return body;
    }
    // The drawing's lines, the graphics state reset to a known one first.
    template <typename Draw>
    std::vector<std::string> lines_of(Draw draw)
    {
        open_plot();
        draw();
        return drawn_lines();
    }

    std::filesystem::path dir_;
    std::filesystem::path previous_dir_;
};

using Lines = std::vector<std::string>;
