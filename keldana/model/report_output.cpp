#include "keldana/model/report_output.h"

#include "common/user_interface.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <fcntl.h>
#include <vector>

namespace {

// The report of a load that has not committed yet.
struct HeldBackOutput {
    bool active = false;
    std::string listing;              // listing records, each ended by a newline
    std::vector<std::string> lines;   // pane records, 150 characters each
};

struct ReportOutput {
    std::FILE* listing = nullptr;
    std::string listing_name;
    bool listing_failure_reported = false;
    bool flush_deferred = false;
    bool unflushed = false;
    // Pane line k is lines[k - 1], blank-padded to 150 characters.
    std::vector<std::string> lines;
    HeldBackOutput held;
};

ReportOutput output;
TextPaneState pane;
const std::string blank_record(PANE_LINE_LENGTH, ' ');

constexpr int LISTING_NAME_DIGIT_POSITION = 7;  // "keldana0.out": the digit is the eighth character

void show_error(const std::string& text, const std::string& caption)
{
    ui().message_box(text, caption, MessageButtons::ok, MessageIcon::warning);
}

std::string listing_name_with_digit(char digit)
{
    std::string name = "keldana0.out";
    name[LISTING_NAME_DIGIT_POSITION] = digit;
    return name;
}

void report_no_listing(int reason)
{
    std::error_code ec;
    const std::string folder = std::filesystem::current_path(ec).string();
    show_error("Can not open output file! Neither keldana0.out nor keldana1.out to " + listing_name_with_digit('9')
                   + " could be written in the folder " + folder + ": " + std::strerror(reason) + ".",
               "ERROR!");
}

void report_listing_failure()
{
    if (!output.listing_failure_reported) {
        output.listing_failure_reported = true;
        show_error("Can not write to the output file " + output.listing_name + ".", "Error!");
    }
}

// Closing writes out what the buffer still holds: its failure counts too.
void close_listing()
{
    if (output.listing && std::fclose(output.listing) != 0)
        report_listing_failure();
    output.listing = nullptr;
    output.listing_name.clear();
    output.unflushed = false;
}

// Opens the first of the ten names that can be written (rewriting it).
bool open_listing()
{
    close_listing();
    for (char digit = '0'; digit <= '9'; ++digit) {
        const std::string name = listing_name_with_digit(digit);
        output.listing = std::fopen(name.c_str(), "we");
        if (output.listing) {
            output.listing_name = name;
            output.listing_failure_reported = false;
            // Lines wait in a large buffer while flushing is deferred.
            std::setvbuf(output.listing, nullptr, _IOFBF, 1 << 16);
            return true;
        }
    }
    report_no_listing(errno);
    return false;
}

// Whether name could be opened for writing, without creating or changing it.
bool listing_name_writable(const std::string& name, int& reason)
{
    const int fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    reason = errno;
    if (errno != ENOENT)
        return false;
    if (::access(".", W_OK | X_OK) == 0)
        return true;
    reason = errno;
    return false;
}

void check_listing_write()
{
    if (std::ferror(output.listing)) {
        std::clearerr(output.listing);
        report_listing_failure();
    }
}

std::string padded_record(std::string_view text)
{
    std::string record(PANE_LINE_LENGTH, ' ');
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), PANE_LINE_LENGTH), record.begin());
    return record;
}

void start_pane(std::vector<std::string> lines)
{
    output.lines = std::move(lines);
    pane.line_count = static_cast<int>(output.lines.size());
    pane.line_extent = 0;
    pane.widest_line = 0;
    ui().text_pane_reset();
}

}  // namespace

TextPaneState& text_pane_state() { return pane; }

bool open_report_output()
{
    output.held = HeldBackOutput{};
    pane.line_extent = 0;
    pane.widest_line = 0;
    if (!open_listing())
        return false;
    start_pane({});
    return true;
}

bool begin_report_output()
{
    int reason = 0;
    bool writable = false;
    for (char digit = '0'; digit <= '9' && !writable; ++digit)
        writable = listing_name_writable(listing_name_with_digit(digit), reason);
    if (!writable) {
        report_no_listing(reason);
        return false;
    }
    output.held = HeldBackOutput{};
    output.held.active = true;
    return true;
}

void commit_report_output()
{
    if (!output.held.active)
        return;
    HeldBackOutput held = std::move(output.held);
    output.held = HeldBackOutput{};
    if (!held.lines.empty())
        std::copy_n(held.lines.back().begin(), PANE_LINE_LENGTH, pane.line_buffer.begin());
    if (open_listing() && !held.listing.empty()) {
        std::fwrite(held.listing.data(), 1, held.listing.size(), output.listing);
        output.unflushed = true;
        if (!output.flush_deferred)
            flush_listing();
    }
    start_pane(std::move(held.lines));
}

void discard_report_output() { output.held = HeldBackOutput{}; }

bool report_output_held_back() { return output.held.active; }

void close_report_output()
{
    output.held = HeldBackOutput{};
    close_listing();
    output.lines.clear();
    output.lines.shrink_to_fit();
    pane.line_count = 0;
}

std::string listing_file_name() { return output.listing_name; }

void set_listing_flush_deferred(bool deferred)
{
    output.flush_deferred = deferred;
    if (!deferred)
        flush_listing();
}

void flush_listing()
{
    if (!output.listing || !output.unflushed)
        return;
    output.unflushed = false;
    std::fflush(output.listing);
    check_listing_write();
}

void write_listing_line(std::string_view text)
{
    if (output.held.active) {
        output.held.listing.append(text);
        output.held.listing.push_back('\n');
        return;
    }
    if (!output.listing)
        return;
    std::fwrite(text.data(), 1, text.size(), output.listing);
    std::fputc('\n', output.listing);
    output.unflushed = true;
    if (!output.flush_deferred)
        flush_listing();
    else
        check_listing_write();
}

void append_pane_line(std::string_view text)
{
    if (output.held.active) {
        output.held.lines.push_back(padded_record(text));
        return;
    }
    output.lines.push_back(padded_record(text));
    ++pane.line_count;
    std::copy_n(output.lines.back().begin(), PANE_LINE_LENGTH, pane.line_buffer.begin());
}

const std::string& pane_line(int k)
{
    if (k < 1 || k > pane.line_count || k > static_cast<int>(output.lines.size()))
        return blank_record;
    return output.lines[static_cast<std::size_t>(k - 1)];
}

std::string read_pane_line(int k) { return pane_line(k); }

void reset_pane_line_store()
{
    if (output.held.active) {
        output.held.lines.clear();
        return;
    }
    start_pane({});
}

void report_line(std::string_view listing_text, std::string_view pane_text)
{
    write_listing_line(listing_text);
    append_pane_line(pane_text);
    if (output.held.active)
        return;
    pane.scroll_to_end = true;
    ui().text_pane_changed();
}
