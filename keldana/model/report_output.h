// Report output: every result line goes to the listing file of the current
// model ("keldana0.out".."keldana9.out" in the current directory) and, as a
// 150-character record, to the text pane's line store (kept in memory), which
// the main window paints by record number.
#pragma once

#include "keldana/model/model_store.h"

#include <string>
#include <string_view>

inline constexpr int PANE_LINE_LENGTH = 150;

// The fields of the text pane that the writers touch; painting and scrolling
// belong to the main window.
struct TextPaneState {
    FixedText<PANE_LINE_LENGTH> line_buffer = blank_text<PANE_LINE_LENGTH>();  // the last line stored
    int line_count = 0;          // lines in the store = record number of the last line
    bool scroll_to_end = false;  // the next repaint scrolls to the last line
    int line_extent = 0;         // the pane's vertical scroll range
    int widest_line = 0;         // the pane's horizontal scroll range
};

TextPaneState& text_pane_state();

// Starts the output of a new model: closes the listing file and opens the
// first of "keldana0.out".."keldana9.out" that can be written, then empties
// the line store and resets the pane's counts and scroll ranges.  When none of
// the ten names opens: message " ERROR!" / "Can not open output file!" and
// false (no listing open, the line store left as it was).
bool open_report_output();

// Closes the listing file (at program exit) and discards the line store.
void close_report_output();

// The output of a model being loaded: begin_report_output checks that one of
// the ten listing names can be written (message and false as
// open_report_output when none can) without touching any file; until the load
// ends, listing and pane lines are held back.  commit_report_output then
// starts the new listing with them and the pane afresh; discard_report_output
// drops them, so a refused load leaves the current listing and pane as they
// were.
bool begin_report_output();
void commit_report_output();
void discard_report_output();
bool report_output_held_back();

// By default each listing line is flushed as written.  The window defers
// flushing to flush_listing, which it calls when a job ends or is stopped (a
// flush per line costs more than the line); the content is the same.
void set_listing_flush_deferred(bool deferred);
void flush_listing();

// Name of the open listing file ("" when none is open).
std::string listing_file_name();

// One record of the listing file, flushed at once so that a crash loses
// nothing.  Without an open listing file the text goes nowhere; a failed write
// is reported once per listing file and never ends the program.
void write_listing_line(std::string_view text);

// Appends one pane line: line_count goes up by one and the text, blank-padded
// or cut to 150 characters, becomes record line_count of the line store.
void append_pane_line(std::string_view text);

// Record k (1..line_count) of the line store, 150 characters; blanks for any
// other k.
std::string read_pane_line(int k);
// The same without a copy, for painting.
const std::string& pane_line(int k);

// Empties the line store (line_count 0) and tells the pane, as the unit-cell
// cluster does when it starts the pane afresh.
void reset_pane_line_store();

// One report line: listing text to the listing file, pane text to the pane,
// which scrolls to its end and repaints.
void report_line(std::string_view listing_text, std::string_view pane_text);
