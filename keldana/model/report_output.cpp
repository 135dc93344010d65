#include "keldana/model/report_output.h"

#include "common/user_interface.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

struct ReportOutput {
    std::FILE* listing = nullptr;
    std::string listing_name;
    bool listing_failure_reported = false;
    // Scratch file of fixed 150-byte records; record k is pane line k.
    std::FILE* line_store = nullptr;
    bool store_failure_reported = false;
};

ReportOutput output;
TextPaneState pane;

constexpr int LISTING_NAME_DIGIT_POSITION = 7;  // "keldana0.out": the digit is the eighth character

void show_error(const std::string& text, const std::string& caption)
{
    ui().message_box(text, caption, MessageButtons::ok, MessageIcon::warning);
}

void report_store_failure()
{
    if (!output.store_failure_reported) {
        output.store_failure_reported = true;
        show_error("Can not write to the text pane's line store.", "Error!");
    }
}

void close_line_store()
{
    if (output.line_store)
        std::fclose(output.line_store);
    output.line_store = nullptr;
}

bool create_line_store()
{
    close_line_store();
    output.line_store = std::tmpfile();
    output.store_failure_reported = false;
    return output.line_store != nullptr;
}

long record_offset(int k) { return static_cast<long>(k - 1) * PANE_LINE_LENGTH; }

}  // namespace

TextPaneState& text_pane_state() { return pane; }

bool open_report_output()
{
    if (output.listing)
        std::fclose(output.listing);
    output.listing = nullptr;
    output.listing_name.clear();

    std::string name = "keldana0.out";
    for (char digit = '0'; digit <= '9'; ++digit) {
        name[LISTING_NAME_DIGIT_POSITION] = digit;
        output.listing = std::fopen(name.c_str(), "w");
        if (output.listing)
            break;
    }
    if (!output.listing) {
        const int reason = errno;
        std::error_code ec;
        const std::string folder = std::filesystem::current_path(ec).string();
        show_error("Can not open output file! Neither keldana0.out nor keldana1.out to " + name
                       + " could be written in the folder " + folder + ": " + std::strerror(reason) + ".",
                   "ERROR!");
        return false;
    }
    output.listing_name = name;
    output.listing_failure_reported = false;

    pane.line_extent = 0;
    pane.widest_line = 0;
    if (!create_line_store()) {
        show_error("Can not create the text pane's line store.", "Error!");
        return false;
    }
    pane.line_count = 0;
    ui().text_pane_reset();
    return true;
}

void close_report_output()
{
    if (output.listing)
        std::fclose(output.listing);
    output.listing = nullptr;
    output.listing_name.clear();
    close_line_store();
    pane.line_count = 0;
}

std::string listing_file_name() { return output.listing_name; }

void write_listing_line(std::string_view text)
{
    if (!output.listing)
        return;
    std::fwrite(text.data(), 1, text.size(), output.listing);
    std::fputc('\n', output.listing);
    if (std::fflush(output.listing) != 0 || std::ferror(output.listing)) {
        std::clearerr(output.listing);
        if (!output.listing_failure_reported) {
            output.listing_failure_reported = true;
            show_error("Can not write to the output file " + output.listing_name + ".", "Error!");
        }
    }
}

void append_pane_line(std::string_view text)
{
    // A line written before any model opened the output still finds a store.
    if (!output.line_store && !create_line_store()) {
        report_store_failure();
        return;
    }
    ++pane.line_count;
    pane.line_buffer.fill(' ');
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), PANE_LINE_LENGTH), pane.line_buffer.begin());
    if (std::fseek(output.line_store, record_offset(pane.line_count), SEEK_SET) != 0
        || std::fwrite(pane.line_buffer.data(), 1, PANE_LINE_LENGTH, output.line_store) != PANE_LINE_LENGTH) {
        std::clearerr(output.line_store);
        report_store_failure();
    }
}

std::string read_pane_line(int k)
{
    std::string line(PANE_LINE_LENGTH, ' ');
    if (!output.line_store || k < 1 || k > pane.line_count)
        return line;
    if (std::fseek(output.line_store, record_offset(k), SEEK_SET) != 0
        || std::fread(line.data(), 1, PANE_LINE_LENGTH, output.line_store) != PANE_LINE_LENGTH) {
        std::clearerr(output.line_store);
        line.assign(PANE_LINE_LENGTH, ' ');
    }
    return line;
}

void reset_pane_line_store()
{
    if (!create_line_store())
        report_store_failure();
    pane.line_count = 0;
    ui().text_pane_reset();
}

void report_line(std::string_view listing_text, std::string_view pane_text)
{
    pane.scroll_to_end = true;
    write_listing_line(listing_text);
    append_pane_line(pane_text);
    ui().text_pane_changed();
}
