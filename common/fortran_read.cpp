// Formatted (fixed-column) and list-directed input.
#include "common/fortran_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_integer_target(const FortranTarget& t)
{
    return t.kind == FortranTarget::Kind::int32 || t.kind == FortranTarget::Kind::int64;
}
bool is_text_target(const FortranTarget& t)
{
    return t.kind == FortranTarget::Kind::string || t.kind == FortranTarget::Kind::chars;
}

// Accumulates decimal digits with the target's range as the limit; false on
// overflow.
bool add_digit(unsigned long long& value, char digit, unsigned long long limit)
{
    const unsigned long long d = static_cast<unsigned long long>(digit - '0');
    if (value > (limit - d) / 10) return false;
    value = value * 10 + d;
    return true;
}

unsigned long long magnitude_limit(const FortranTarget& t, bool negative)
{
    const unsigned long long max = t.kind == FortranTarget::Kind::int64
                                       ? static_cast<unsigned long long>(std::numeric_limits<long long>::max())
                                       : static_cast<unsigned long long>(std::numeric_limits<int>::max());
    return negative ? max + 1 : max;
}

void store_integer(const FortranTarget& t, bool negative, unsigned long long magnitude)
{
    const long long value = negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    if (t.kind == FortranTarget::Kind::int64) *static_cast<long long*>(t.address) = value;
    else *static_cast<int*>(t.address) = static_cast<int>(value);
}

void store_real(const FortranTarget& t, double value) { *static_cast<double*>(t.address) = value; }

// Text into a target: a std::string takes it whole; a fixed-length buffer
// takes its first characters, blank-padded.
void store_text(const FortranTarget& t, std::string_view text)
{
    if (t.kind == FortranTarget::Kind::string) {
        *static_cast<std::string*>(t.address) = std::string(text);
        return;
    }
    char* buffer = static_cast<char*>(t.address);
    const std::size_t n = std::min(text.size(), t.length);
    if (n) std::memcpy(buffer, text.data(), n);
    std::fill(buffer + n, buffer + t.length, ' ');
}

// The value of sign, digits (with '.') and a decimal exponent, correctly
// rounded and independent of the C locale.
double decimal_to_double(bool negative, const std::string& mantissa, long long exponent)
{
    std::string text = mantissa.empty() || mantissa == "." ? "0" : mantissa;
    if (text.back() == '.') text.pop_back();
    if (text.front() == '.') text.insert(0, 1, '0');
    exponent = std::clamp(exponent, -100000LL, 100000LL);
    text += 'e' + std::to_string(exponent);
    double value = 0.0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity; too small, zero.
        const bool all_zero = text.find_first_of("123456789") > text.find('e');
        value = (exponent > 0 && !all_zero) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

// ---- Formatted input of numeric fields (gfortran rules, blanks null) ----

bool read_integer_field(std::string_view field, const FortranTarget& t, std::string& error)
{
    std::size_t p = 0;
    while (p < field.size() && field[p] == ' ') ++p;
    if (p == field.size()) {
        store_integer(t, false, 0);
        return true;
    }
    bool negative = false;
    if (field[p] == '-' || field[p] == '+') {
        negative = field[p] == '-';
        if (++p == field.size()) {  // a sign needs something after it
            error = "Bad value during integer read";
            return false;
        }
    }
    unsigned long long value = 0;
    const unsigned long long limit = magnitude_limit(t, negative);
    for (; p < field.size(); ++p) {
        const char c = field[p];
        if (c == ' ') continue;
        if (!is_digit(c)) {
            error = "Bad value during integer read";
            return false;
        }
        if (!add_digit(value, c, limit)) {
            error = "Value overflowed during integer read";
            return false;
        }
    }
    store_integer(t, negative, value);
    return true;
}

bool read_real_field(std::string_view field, int decimals, int scale, double& value, std::string& error)
{
    std::size_t p = 0;
    auto skip_blanks = [&] {
        while (p < field.size() && field[p] == ' ') ++p;
    };
    skip_blanks();
    value = 0.0;
    if (p == field.size()) return true;
    bool negative = false;
    if (field[p] == '-' || field[p] == '+') {
        negative = field[p] == '-';
        ++p;
    }
    skip_blanks();
    if (p == field.size()) return true;  // a lone sign reads as 0
    std::string mantissa;
    bool seen_point = false;
    bool seen_exponent = false;
    long long exponent = 0;
    for (; p < field.size(); ++p) {
        const char c = field[p];
        if (c == ' ') continue;
        if (c == '.') {
            if (seen_point) {
                error = "Bad value during floating point read";
                return false;
            }
            seen_point = true;
            mantissa += c;
        } else if (is_digit(c)) {
            mantissa += c;
        } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q' || c == '+' || c == '-') {
            seen_exponent = true;
            break;
        } else {
            error = "Bad value during floating point read";
            return false;
        }
    }
    if (seen_exponent) {
        if (field[p] != '+' && field[p] != '-') ++p;
        skip_blanks();
        int sign = 1;
        if (p < field.size() && (field[p] == '+' || field[p] == '-')) {
            sign = field[p] == '-' ? -1 : 1;
            ++p;
        }
        if (p == field.size()) {  // nothing after the exponent letter or sign
            error = "Bad value during floating point read";
            return false;
        }
        for (; p < field.size(); ++p) {
            const char c = field[p];
            if (c == ' ') continue;
            if (!is_digit(c)) {
                error = "Bad value during floating point read";
                return false;
            }
            if (exponent < 1000000) exponent = exponent * 10 + (c - '0');
        }
        exponent *= sign;
    } else {
        exponent = -scale;
    }
    if (!seen_point) exponent -= decimals;
    if (exponent >= 10000 || exponent <= -10000) {
        error = "Bad value during floating point read";
        return false;
    }
    value = decimal_to_double(negative, mantissa, exponent);
    return true;
}

// ---- Format control for input ----

enum class Flow { go_on, stop, fail };

constexpr long long MAX_FORMAT_STEPS = 5000000;
constexpr std::size_t MAX_RECORD_LENGTH = 10000000;

struct InputRun {
    const std::function<int(std::string&)>* next_record = nullptr;
    std::string record;
    std::size_t column = 0;
    const FortranTarget* targets = nullptr;
    std::size_t count = 0;
    std::size_t next = 0;
    int scale = 0;
    std::string error;
    long long steps = 0;

    Flow fail(const std::string& message)
    {
        error = message;
        return Flow::fail;
    }

    Flow new_record()
    {
        if (!next_record || !*next_record) {
            // A single record: a '/' after the last value asks for nothing more.
            if (next == count) return Flow::stop;
            return fail("The format needs more than one record");
        }
        const int status = (*next_record)(record);
        if (status < 0) return fail("End of file");
        if (status > 0) return fail("Error reading the next record");
        if (!record.empty() && record.back() == '\r') record.pop_back();
        column = 0;
        return Flow::go_on;
    }

    // The field of w columns at the current position, cut at the record's
    // end; numeric fields as gfortran's internal reads see them, also cut
    // where the record's trailing blanks begin.
    std::string_view take_field(int width, bool numeric)
    {
        std::string_view rec(record);
        if (numeric) rec = rec.substr(0, rec.find_last_not_of(' ') + 1);
        std::string_view field = column < rec.size() ? rec.substr(column, static_cast<std::size_t>(width)) : std::string_view();
        column += static_cast<std::size_t>(width);
        return field;
    }

    Flow edit(const FormatItem& item, const FortranTarget& t)
    {
        const std::string item_text = " for item " + std::to_string(next) + " in formatted transfer";
        FormatCode code = item.code;
        if (code == FormatCode::general) {
            code = is_integer_target(t) ? FormatCode::integer : is_text_target(t) ? FormatCode::text : FormatCode::fixed;
        }
        if (code == FormatCode::logical) return fail("L editing is not supported for input");
        if (code != FormatCode::text && item.width == 0) return fail("Positive width required for input");
        std::string message;
        switch (code) {
        case FormatCode::integer:
            if (!is_integer_target(t)) return fail("Expected INTEGER target" + item_text);
            if (!read_integer_field(take_field(item.width, true), t, message)) return fail(message + item_text);
            return Flow::go_on;
        case FormatCode::fixed:
        case FormatCode::exponent:
        case FormatCode::exponent_d: {
            if (t.kind != FortranTarget::Kind::real) return fail("Expected REAL target" + item_text);
            double value = 0.0;
            if (!read_real_field(take_field(item.width, true), std::max(item.digits, 0), scale, value, message))
                return fail(message + item_text);
            store_real(t, value);
            return Flow::go_on;
        }
        case FormatCode::text: {
            if (!is_text_target(t)) return fail("Expected CHARACTER target" + item_text);
            if (item.width < 0 && t.kind == FortranTarget::Kind::string) {
                store_text(t, column < record.size() ? std::string_view(record).substr(column) : std::string_view());
                column = std::max(column, record.size());
                return Flow::go_on;
            }
            const std::size_t width = item.width < 0 ? t.length : static_cast<std::size_t>(item.width);
            std::string field(take_field(static_cast<int>(width), false));
            field.resize(width, ' ');  // blank padding of a short record
            if (t.kind == FortranTarget::Kind::chars && width > t.length) field.erase(0, width - t.length);
            store_text(t, field);
            return Flow::go_on;
        }
        default:
            return Flow::go_on;
        }
    }

    Flow run(const std::vector<FormatItem>& items, std::size_t from)
    {
        for (std::size_t i = from; i < items.size(); ++i) {
            const FormatItem& item = items[i];
            // Huge repeat counts of positioning items would run for ever.
            if (++steps > MAX_FORMAT_STEPS || column > MAX_RECORD_LENGTH)
                return fail("Format too large to process");
            switch (item.code) {
            case FormatCode::group:
                for (int r = 0; r < item.repeat; ++r) {
                    Flow f = run(item.items, 0);
                    if (f != Flow::go_on) return f;
                }
                break;
            case FormatCode::literal: column += item.text.size(); break;
            case FormatCode::skip:
            case FormatCode::tab_right: column += static_cast<std::size_t>(item.width); break;
            case FormatCode::tab: column = static_cast<std::size_t>(item.width - 1); break;
            case FormatCode::tab_left:
                column = column > static_cast<std::size_t>(item.width) ? column - static_cast<std::size_t>(item.width) : 0;
                break;
            case FormatCode::slash:
                steps += item.repeat;
                for (int r = 0; r < item.repeat; ++r) {
                    Flow f = new_record();
                    if (f != Flow::go_on) return f;
                }
                break;
            case FormatCode::colon:
                if (next == count) return Flow::stop;
                break;
            case FormatCode::scale: scale = item.width; break;
            default:
                for (int r = 0; r < item.repeat; ++r) {
                    if (next == count) return Flow::stop;
                    ++next;
                    Flow f = edit(item, targets[next - 1]);
                    if (f != Flow::go_on) return f;
                }
                break;
            }
        }
        return Flow::go_on;
    }
};

// ---- List-directed values ----

bool parse_list_integer(std::string_view token, const FortranTarget& t, std::size_t item, std::string& error)
{
    std::size_t p = 0;
    bool negative = false;
    if (p < token.size() && (token[p] == '+' || token[p] == '-')) negative = token[p++] == '-';
    if (p == token.size()) {
        error = "Bad integer for item " + std::to_string(item) + " in list input";
        return false;
    }
    unsigned long long value = 0;
    const unsigned long long limit = magnitude_limit(t, negative);
    for (; p < token.size(); ++p) {
        if (!is_digit(token[p])) {
            error = "Bad integer for item " + std::to_string(item) + " in list input";
            return false;
        }
        if (!add_digit(value, token[p], limit)) {
            error = "Integer overflow while reading item " + std::to_string(item);
            return false;
        }
    }
    store_integer(t, negative, value);
    return true;
}

bool parse_list_real(std::string_view token, const FortranTarget& t, std::size_t item, std::string& error)
{
    const std::string bad = "Bad real number in item " + std::to_string(item) + " of list input";
    std::size_t p = 0;
    bool negative = false;
    if (p < token.size() && (token[p] == '+' || token[p] == '-')) negative = token[p++] == '-';
    std::string mantissa;
    bool seen_point = false;
    int digits = 0;
    for (; p < token.size(); ++p) {
        const char c = token[p];
        if (is_digit(c)) {
            ++digits;
            mantissa += c;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
            mantissa += c;
        } else {
            break;
        }
    }
    if (digits == 0) {
        error = bad;
        return false;
    }
    long long exponent = 0;
    if (p < token.size()) {
        const char c = token[p];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q') ++p;
        else if (c != '+' && c != '-') {
            error = bad;
            return false;
        }
        int sign = 1;
        if (p < token.size() && (token[p] == '+' || token[p] == '-')) sign = token[p++] == '-' ? -1 : 1;
        if (p == token.size()) {
            error = bad;
            return false;
        }
        for (; p < token.size(); ++p) {
            if (!is_digit(token[p])) {
                error = bad;
                return false;
            }
            if (exponent < 1000000) exponent = exponent * 10 + (token[p] - '0');
        }
        exponent *= sign;
    }
    store_real(t, decimal_to_double(negative, mantissa, exponent));
    return true;
}

}  // namespace

// ---- Formatted reads ----

bool read_records(const std::function<int(std::string&)>& next_record, std::string_view first_record,
                  std::string_view format, const FortranTarget* targets, std::size_t count, std::string* error)
{
    ParsedFormat parsed;
    if (!parse_format(format, parsed, error)) return false;
    InputRun run;
    run.next_record = &next_record;
    run.record = std::string(first_record);
    if (!run.record.empty() && run.record.back() == '\r') run.record.pop_back();
    run.targets = targets;
    run.count = count;
    Flow flow = Flow::go_on;
    if (parsed.list_directed) {
        flow = run.fail("A list-directed read needs ListReader");
    } else if (count > 0 && !format_has_data(parsed.items)) {
        flow = run.fail("Insufficient data descriptors in format");
    } else {
        flow = run.run(parsed.items, 0);
        while (flow == Flow::go_on && run.next < count) {
            if (!format_has_data(parsed.items, parsed.reversion_index)) {
                flow = run.fail("Insufficient data descriptors in format after reversion");
                break;
            }
            flow = run.new_record();
            if (flow == Flow::go_on) flow = run.run(parsed.items, parsed.reversion_index);
        }
    }
    if (flow == Flow::fail) {
        if (error) *error = run.error;
        return false;
    }
    return true;
}

bool read_record(std::string_view record, std::string_view format, const std::vector<FortranTarget>& targets,
                 std::string* error)
{
    return read_records(nullptr, record, format, targets.data(), targets.size(), error);
}

bool read_record(std::string_view record, std::string_view format, std::initializer_list<FortranTarget> targets,
                 std::string* error)
{
    return read_records(nullptr, record, format, targets.begin(), targets.size(), error);
}

// ---- List-directed reads ----

ListReader::ListReader(std::istream& input)
    : next_line_([&input](std::string& line) {
          if (std::getline(input, line)) return 0;
          return input.bad() ? 1 : -1;
      })
{
}

ListReader::ListReader(std::function<int(std::string&)> next_line) : next_line_(std::move(next_line)) {}

int ListReader::fetch_line()
{
    int status = 0;
    if (have_peeked_) {
        have_peeked_ = false;
        status = peeked_status_;
        line_ = std::move(peeked_line_);
    } else {
        status = next_line_ ? next_line_(line_) : -1;
    }
    if (status != 0) line_.clear();
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    position_ = 0;
    return status;
}

bool ListReader::at_end()
{
    if (!have_peeked_) {
        peeked_status_ = next_line_ ? next_line_(peeked_line_) : -1;
        have_peeked_ = true;
    }
    return peeked_status_ != 0;
}

bool ListReader::read(std::initializer_list<FortranTarget> targets) { return read(targets.begin(), targets.size()); }

bool ListReader::read(const FortranTarget* targets, std::size_t count)
{
    error_.clear();
    end_of_file_ = false;
    status_ = 0;
    auto fail_status = [&](int status) {
        status_ = status;
        end_of_file_ = status < 0;
        error_ = status < 0 ? "End of file" : "Error reading a line (code " + std::to_string(status) + ")";
        return false;
    };
    auto fail_value = [&](const std::string& message) {
        status_ = 1;
        error_ = message;
        return false;
    };

    if (int s = fetch_line(); s != 0) return fail_status(s);

    // A comma now stands for an empty value: at the start of the first line
    // of the read, and after another comma.
    bool comma_opens_null = true;
    bool seen_anything = false;
    long long repeat_left = 0;
    bool repeat_null = false;
    bool repeat_quoted = false;
    int repeat_type = 0;  // type class of the first item a repeated value went to
    std::string value;
    std::size_t t = 0;
    auto type_class = [](const FortranTarget& target) {
        return is_integer_target(target) ? 1 : is_text_target(target) ? 3 : 2;
    };
    while (t < count) {
        if (repeat_left > 0) {
            --repeat_left;
            if (!repeat_null) {
                const FortranTarget& target = targets[t];
                // As gfortran: one repeated value feeds items of one type.
                if (repeat_type == 0) repeat_type = type_class(target);
                else if (repeat_type != type_class(target))
                    return fail_value("Repeated value of another type for item " + std::to_string(t + 1)
                                      + " of list input");
                std::string message;
                if (is_text_target(target)) {
                    store_text(target, value);
                } else if (repeat_quoted) {
                    return fail_value("Quoted text for numeric item " + std::to_string(t + 1) + " in list input");
                } else if (is_integer_target(target) ? !parse_list_integer(value, target, t + 1, message)
                                                     : !parse_list_real(value, target, t + 1, message)) {
                    return fail_value(message);
                }
            }
            ++t;
            continue;
        }
        while (position_ < line_.size() && is_blank(line_[position_])) ++position_;
        if (position_ >= line_.size()) {
            if (int s = fetch_line(); s != 0) return fail_status(s);
            if (!seen_anything) comma_opens_null = false;
            continue;
        }
        const char c = line_[position_];
        seen_anything = true;
        if (c == ',') {
            ++position_;
            if (comma_opens_null) ++t;
            comma_opens_null = true;
            continue;
        }
        if (c == '/') {
            position_ = line_.size();
            return true;
        }
        comma_opens_null = false;

        // Optional repeat count r*.
        long long repeat = 1;
        bool has_repeat = false;
        std::size_t p = position_;
        while (p < line_.size() && is_digit(line_[p])) ++p;
        if (p > position_ && p < line_.size() && line_[p] == '*') {
            unsigned long long r = 0;
            for (std::size_t i = position_; i < p; ++i)
                if (!add_digit(r, line_[i], 1000000000ULL)) return fail_value("Repeat count too large in list input");
            if (r == 0) return fail_value("Zero repeat count in item " + std::to_string(t + 1) + " of list input");
            repeat = static_cast<long long>(r);
            has_repeat = true;
            position_ = p + 1;
        }

        repeat_null = false;
        repeat_quoted = false;
        value.clear();
        const char first = position_ < line_.size() ? line_[position_] : ' ';
        if (has_repeat && (is_blank(first) || first == ',' || first == '/')) {
            repeat_null = true;
        } else if (first == '\'' || first == '"') {
            repeat_quoted = true;
            ++position_;
            for (;;) {
                if (position_ >= line_.size()) {  // the text goes on in the next line
                    if (int s = fetch_line(); s != 0) return fail_status(s);
                    continue;
                }
                const char ch = line_[position_++];
                if (ch == first) {
                    if (position_ < line_.size() && line_[position_] == first) {
                        value += first;
                        ++position_;
                    } else {
                        break;
                    }
                } else {
                    value += ch;
                }
            }
            if (position_ < line_.size() && !is_blank(line_[position_]) && line_[position_] != ','
                && line_[position_] != '/')
                return fail_value("Missing separator after text in item " + std::to_string(t + 1) + " of list input");
        } else {
            const std::size_t start = position_;
            while (position_ < line_.size() && !is_blank(line_[position_]) && line_[position_] != ','
                   && line_[position_] != '/')
                ++position_;
            value = line_.substr(start, position_ - start);
        }
        repeat_left = repeat;
        repeat_type = 0;
    }
    return true;
}

bool read_list(std::string_view text, std::initializer_list<FortranTarget> targets, std::string* error)
{
    std::istringstream input{std::string(text)};
    ListReader reader(input);
    const bool ok = reader.read(targets);
    if (!ok && error) *error = reader.error();
    return ok;
}
