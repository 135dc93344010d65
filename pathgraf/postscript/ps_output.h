// The PostScript plotting library's output core: its three records, the line
// writer that every routine goes through, and the small text utilities that
// the library and the plot program share.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class SafeWrite;

constexpr int PS_FILE_NAME_LENGTH = 80;   // characters of the name the %%Title line shows
constexpr int PS_RECORD_LENGTH = 132;     // one composed PostScript line
constexpr int PS_TEXT_LENGTH = 80;        // a text argument of the library
constexpr int PS_FIRST_UNIT = 60;         // file units are searched from here
constexpr float PS_CONTINUE = 999.0f;     // coordinate: go on where the last text ended

struct PsOutputState {
    int unit = 0;  // number of the open file (first free unit from 60); 0 before the first opening
    std::string file_name = std::string(PS_FILE_NAME_LENGTH, ' ');  // blank-padded, for the %%Title line
    std::string file_path;  // the whole trimmed name: the file that is written
    int name_flag = 0;         // 0 no name yet, 999 name set, 1 after opening (+1 per page change)
    int page_number = 0;
    int page_change_flag = 0;  // 999 from the first page change on
    bool portrait = false;
    float scale = 0.0f;
    float page_factor = 0.0f;  // PostScript units per library inch (71 after opening)
    // Whether a file is open: writes go nowhere otherwise.
    bool file_open = false;
    // The open file: its lines go to a temporary that replaces the file only
    // when the plot ends without a write failure.
    std::shared_ptr<SafeWrite> file;
    // The first failure since opening (a write that failed, or a routine that
    // gave up); the plot goes on being written where it can.
    bool failed = false;
    std::string error_text;
};

// One composed line (normally 132 characters; a long text may make it longer).
struct PsCommandBuffer {
    std::string line;
};

struct PsGraphicsState {
    int font_size = 0;      // points, last written with "Setf"
    int font_number = 0;    // 1..35, last selected by setfnt
    int saved_font_size = 0;
    int saved_font_number = 0;
    float line_width = 0.0f;     // library inches; 0 = the thin line "Slw0"
    float height_factor = 0.0f;  // text height factor for centring offsets
    float red = 0.0f, green = 0.0f, blue = 0.0f;
    float grey = 0.0f;
};

// The library's records: one instance each for the whole run.
PsOutputState& ps_output_state();
PsCommandBuffer& ps_command_buffer();
PsGraphicsState& ps_graphics_state();

// Writes the command buffer as one line to the open file: trailing blanks
// dropped, blank runs outside PostScript strings squeezed to one blank,
// characters outside codes 32..127 dropped.  Does nothing when no file is open.
void write_ps_command_line();

// Position (1-based) of the last non-blank among the first n characters of
// text (characters past its end count as blanks); 0 when all are blanks.
int find_last_nonblank(std::string_view text, int n);
int find_last_nonblank(std::string_view text);

// Copies the non-blank characters among the first n of src to the front of
// dst (resized to n, the rest blanks) and sets count to their number.  dst
// may be the same string as src.
void squeeze_blanks(std::string_view src, int n, std::string& dst, int& count);

// Names the file of the next opening: the trimmed name, whole (a path of any
// length); the %%Title line shows at most its first 80 characters.
void set_ps_file_name(std::string_view name);

// The clock of the header's creation date (local time).
struct PsClockTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};
// Installs a clock (tests); an empty function restores the system clock.
void set_ps_clock(std::function<PsClockTime()> clock);
PsClockTime read_ps_clock();

// A text argument whose first word carries a character code (count -999 of
// the text routines, fonts 29 and 35 of the script lists): the code's four
// bytes as the library reads them back.
std::string ps_character_code(std::int32_t code);

// Resets every record of the library (output, graphics, contouring) to its
// state at program start, closing an open file first (as it stands).
void reset_postscript_library();
