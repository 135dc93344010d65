// Parsing of format texts and formatted / list-directed output.
#include "common/fortran_format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace {

// ---- Parsing ----

// The format with blanks outside literals dropped and letters upper-cased.
std::string normalise_format(std::string_view format)
{
    std::string out;
    char quote = 0;
    for (char c : format) {
        if (quote) {
            out += c;
            if (c == quote) quote = 0;  // a doubled quote reopens at the next char
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c != ' ' && c != '\t') {
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

struct FormatParser {
    std::string text;
    std::size_t pos = 0;
    std::string error;

    bool fail(const std::string& message)
    {
        if (error.empty()) error = message + " in format \"" + text + "\" at position " + std::to_string(pos + 1);
        return false;
    }
    bool at_digit() const { return pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); }
    bool peek(char c) const { return pos < text.size() && text[pos] == c; }

    // An unsigned number; false (no fault) when none is there.
    bool number(int& value)
    {
        if (!at_digit()) return false;
        long long v = 0;
        while (at_digit()) {
            v = v * 10 + (text[pos++] - '0');
            if (v > 1000000) return fail("number too large");
        }
        value = static_cast<int>(v);
        return true;
    }

    bool required_number(int& value, const char* what)
    {
        if (!number(value)) return fail(std::string("missing ") + what);
        return true;
    }

    bool literal(FormatItem& item)
    {
        const char quote = text[pos++];
        item.code = FormatCode::literal;
        for (;;) {
            if (pos >= text.size()) return fail("unterminated literal");
            char c = text[pos++];
            if (c == quote) {
                if (peek(quote)) {
                    item.text += quote;
                    ++pos;
                } else {
                    return true;
                }
            } else {
                item.text += c;
            }
        }
    }

    // w.d with d required (F, E, D) or optional (G), then Ee where allowed.
    bool real_descriptor(FormatItem& item, bool digits_required, bool exponent_allowed)
    {
        if (!required_number(item.width, "field width")) return false;
        if (peek('.')) {
            ++pos;
            if (!required_number(item.digits, "number of decimals")) return false;
        } else if (digits_required) {
            return fail("period required");
        }
        if (exponent_allowed && item.digits >= 0 && peek('E')) {
            ++pos;
            if (!required_number(item.exponent, "exponent width")) return false;
            if (item.exponent == 0) return fail("zero exponent width");
        }
        return true;
    }

    bool item_list(std::vector<FormatItem>& items, bool nested)
    {
        bool need_item = true;  // after '(' or ','
        for (;;) {
            if (pos >= text.size()) {
                if (nested) return fail("missing ')'");
                return true;
            }
            char c = text[pos];
            if (c == ')') {
                if (!nested) return fail("unbalanced ')'");
                if (need_item && !items.empty()) return fail("item expected");
                ++pos;
                return true;
            }
            if (c == ',') {
                if (need_item) return fail("item expected");
                ++pos;
                need_item = true;
                continue;
            }
            FormatItem item;
            if (!one_item(item)) return false;
            items.push_back(std::move(item));
            need_item = false;
        }
    }

    bool one_item(FormatItem& item)
    {
        char c = text[pos];
        if (c == '\'' || c == '"') return literal(item);
        if (c == ':') {
            ++pos;
            item.code = FormatCode::colon;
            return true;
        }
        if (c == '/') {
            ++pos;
            item.code = FormatCode::slash;
            return true;
        }
        bool negative = false;
        if (c == '-' || c == '+') {
            negative = c == '-';
            ++pos;
            if (!at_digit()) return fail("number expected after sign");
        }
        int count = -1;
        number(count);
        if (negative || (count >= 0 && peek('P'))) {
            if (!peek('P')) return fail("P expected after signed number");
            ++pos;
            item.code = FormatCode::scale;
            item.width = negative ? -count : count;
            return true;
        }
        if (pos >= text.size()) return fail("edit descriptor expected");
        if (count == 0) return fail("zero repeat count");
        c = text[pos];
        if (c == 'X') {
            ++pos;
            item.code = FormatCode::skip;
            item.width = count < 0 ? 1 : count;
            return true;
        }
        if (c == 'H') return fail("Hollerith descriptors are not supported");
        if (count >= 0) item.repeat = count;
        if (c == '(') {
            ++pos;
            item.code = FormatCode::group;
            return item_list(item.items, true);
        }
        if (c == '/') {
            ++pos;
            item.code = FormatCode::slash;
            return true;
        }
        if (c == '\'' || c == '"' || c == ':' || c == ')' || c == ',')
            return fail("repeat count before a descriptor that takes none");
        ++pos;
        switch (c) {
        case 'I':
            item.code = FormatCode::integer;
            if (!required_number(item.width, "field width")) return false;
            if (peek('.')) {
                ++pos;
                if (!required_number(item.digits, "minimum digits")) return false;
            }
            return true;
        case 'F':
            item.code = FormatCode::fixed;
            return real_descriptor(item, true, false);
        case 'E':
            if (peek('S') || peek('N')) return fail("ES and EN descriptors are not supported");
            item.code = FormatCode::exponent;
            if (!real_descriptor(item, true, true)) return false;
            if (item.width == 0) return fail("positive width required");
            return true;
        case 'D':
            item.code = FormatCode::exponent_d;
            if (!real_descriptor(item, true, false)) return false;
            if (item.width == 0) return fail("positive width required");
            return true;
        case 'G':
            item.code = FormatCode::general;
            if (!real_descriptor(item, false, true)) return false;
            if (item.width == 0) return fail("positive width required");
            return true;
        case 'A':
            item.code = FormatCode::text;
            if (number(item.width) && item.width == 0) return fail("positive width required");
            return true;
        case 'L':
            item.code = FormatCode::logical;
            if (!required_number(item.width, "field width")) return false;
            if (item.width == 0) return fail("positive width required");
            return true;
        case 'T':
            if (count >= 0) return fail("repeat count before T");
            item.code = FormatCode::tab;
            if (peek('L')) {
                item.code = FormatCode::tab_left;
                ++pos;
            } else if (peek('R')) {
                item.code = FormatCode::tab_right;
                ++pos;
            }
            if (!required_number(item.width, "tab position")) return false;
            if (item.code == FormatCode::tab && item.width == 0) return fail("tab position must be positive");
            item.repeat = 1;
            return true;
        default:
            --pos;
            return fail(std::string("unknown edit descriptor '") + c + "'");
        }
    }
};

// ---- Numbers to text ----

std::string asterisks(int width) { return std::string(static_cast<std::size_t>(std::max(width, 0)), '*'); }

std::string right_justify(const std::string& s, int width)
{
    if (width <= 0) return s;
    if (static_cast<int>(s.size()) > width) return asterisks(width);
    return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

std::string format_integer(long long value, int width, int min_digits)
{
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    std::string digits = std::to_string(magnitude);
    if (min_digits == 0 && magnitude == 0) digits.clear();
    if (min_digits > static_cast<int>(digits.size()))
        digits.insert(0, static_cast<std::size_t>(min_digits) - digits.size(), '0');
    if (value < 0) digits.insert(0, 1, '-');
    return right_justify(digits, width);
}

// Infinity and NaN as gfortran writes them in a field of w.
std::string format_special(double value, int width)
{
    std::string s;
    if (std::isnan(value)) {
        s = "NaN";
    } else {
        const bool negative = std::signbit(value);
        int room = width == 0 ? 9 : width;
        if (negative) --room;
        if (room < 3) return asterisks(width == 0 ? 3 : width);
        s = room >= 8 ? "Infinity" : "Inf";
        if (negative) s.insert(0, 1, '-');
    }
    if (width == 0) return s;
    return right_justify(s, width);
}

// |value| in decimal with `precision` digits after the point, correctly
// rounded (half to even on the binary value) and independent of the locale.
std::string to_decimal(double value, std::chars_format format, int precision)
{
    std::string buffer(static_cast<std::size_t>(precision) + 400, '\0');
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value), format, precision);
    buffer.resize(static_cast<std::size_t>(result.ptr - buffer.data()));
    return buffer;
}

// The decimal digits of |value| rounded to `significant` digits and the
// exponent e such that |value| ~ 0.d1d2... x 10^e.
void decimal_digits(double value, int significant, std::string& digits, int& exponent)
{
    const std::string text = to_decimal(value, std::chars_format::scientific, significant - 1);
    digits.clear();
    const char* p = text.c_str();
    for (; *p && *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    exponent = (*p == 'e') ? std::atoi(p + 1) + 1 : 1;
    if (value == 0.0) exponent = 0;
}

// Fw.d with scale factor k (the value times 10^k).
std::string format_fixed(double value, int width, int decimals, int scale, std::string* error)
{
    if (!std::isfinite(value)) return format_special(value, width);
    const bool negative = std::signbit(value);
    std::string s;
    if (scale == 0) {
        s = to_decimal(value, std::chars_format::fixed, decimals);
    } else {
        // The digits of |x| rounded to d+k decimals are those of x*10^k
        // rounded to d decimals: move the point instead of multiplying.
        if (decimals + scale < 0) {
            if (error) *error = "scale factor too small for F descriptor";
            return asterisks(width);
        }
        std::string digits = to_decimal(value, std::chars_format::fixed, decimals + scale);
        digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
        const std::size_t d = static_cast<std::size_t>(decimals);
        if (digits.size() < d + 1) digits.insert(0, d + 1 - digits.size(), '0');
        std::string int_part = digits.substr(0, digits.size() - d);
        const std::size_t first = int_part.find_first_not_of('0');
        int_part = first == std::string::npos ? "0" : int_part.substr(first);
        s = int_part;
        if (decimals > 0) s += "." + digits.substr(digits.size() - d);
    }
    if (decimals == 0) s += '.';
    if (width == 0 && s.size() > 1 && s[0] == '0' && s[1] == '.') s.erase(0, 1);  // F0.d: as gfortran, no leading zero
    if (negative) s.insert(0, 1, '-');
    if (width == 0) return s;
    if (static_cast<int>(s.size()) > width) {
        // The zero before the point is the one character that may go.
        std::size_t zero = negative ? 1 : 0;
        if (s.size() > zero + 1 && s[zero] == '0' && s[zero + 1] == '.') s.erase(zero, 1);
    }
    return right_justify(s, width);
}

// Ew.d, Ew.dEe and Dw.d with scale factor k.
std::string format_exponent(double value, int width, int decimals, int exponent_width, int scale, char letter,
                            std::string* error)
{
    if (!std::isfinite(value)) return format_special(value, width);
    if (scale <= -decimals || scale > decimals + 1 || (decimals == 0 && scale == 0)) {
        if (error) *error = "scale factor out of range for E descriptor";
        return asterisks(width);
    }
    const bool negative = std::signbit(value);
    const int significant = scale > 0 ? decimals + 1 : decimals + scale;
    std::string digits;
    int e10 = 0;
    decimal_digits(value, significant, digits, e10);
    const int shown_exponent = value == 0.0 ? 0 : e10 - scale;

    std::string mantissa;
    if (scale <= 0) {
        mantissa = "0." + std::string(static_cast<std::size_t>(-scale), '0') + digits;
    } else {
        mantissa = digits.substr(0, static_cast<std::size_t>(scale)) + "." + digits.substr(static_cast<std::size_t>(scale));
    }

    const int magnitude = std::abs(shown_exponent);
    const char sign = shown_exponent < 0 ? '-' : '+';
    std::string exp_text;
    if (exponent_width < 0) {
        if (magnitude <= 99) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "%c%c%02d", letter, sign, magnitude);
            exp_text = buffer;
        } else if (magnitude <= 999) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "%c%03d", sign, magnitude);
            exp_text = buffer;
        } else {
            return asterisks(width);
        }
    } else {
        std::string e = std::to_string(magnitude);
        if (static_cast<int>(e.size()) > exponent_width) return asterisks(width);
        exp_text = std::string(1, letter) + sign + std::string(static_cast<std::size_t>(exponent_width) - e.size(), '0') + e;
    }

    std::string s = (negative ? "-" : "") + mantissa + exp_text;
    if (static_cast<int>(s.size()) > width && scale <= 0) s.erase(negative ? 1 : 0, 1);  // drop the leading zero
    return right_justify(s, width);
}

// Gw.d[Ee] for reals: F editing when the rounded value has 0..d digits
// before the point, otherwise E editing with the scale factor.
std::string format_general(double value, int width, int decimals, int exponent_width, int scale, std::string* error)
{
    if (!std::isfinite(value)) return format_special(value, width);
    if (decimals < 0) decimals = 0;
    const int trailing = exponent_width < 0 ? 4 : exponent_width + 2;
    int k = 1;
    if (value != 0.0 && decimals > 0) {
        std::string digits;
        decimal_digits(value, decimals, digits, k);
    }
    if (value == 0.0 || (k >= 0 && k <= decimals && decimals > 0)) {
        const int fixed_decimals = value == 0.0 ? std::max(decimals - 1, 0) : decimals - k;
        std::string f = format_fixed(value, width - trailing, fixed_decimals, 0, error);
        return f + std::string(static_cast<std::size_t>(trailing), ' ');
    }
    return format_exponent(value, width, decimals, exponent_width, scale, 'E', error);
}

std::string format_text(const std::string& text, int width)
{
    if (width < 0) return text;
    if (static_cast<int>(text.size()) >= width) return text.substr(0, static_cast<std::size_t>(width));
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// The list-directed form of a real: 17 significant digits, F editing in 20
// columns plus 5 blanks when 0..17 digits stand before the point, otherwise
// 1PE25.16E3 (gfortran's layout for double precision).
std::string list_directed_real(double value)
{
    if (!std::isfinite(value)) return format_special(value, 25);
    int k = 1;
    if (value != 0.0) {
        std::string digits;
        decimal_digits(value, 17, digits, k);
    }
    if (k >= 0 && k <= 17) return format_fixed(value, 20, 17 - k, 0, nullptr) + "     ";
    return format_exponent(value, 25, 16, 3, 1, 'E', nullptr);
}

std::string list_directed_item(const FortranValue& v)
{
    switch (v.kind) {
    case FortranValue::Kind::integer: return format_integer(v.integer, v.integer_bytes >= 8 ? 20 : 11, -1);
    case FortranValue::Kind::real: return list_directed_real(v.real);
    case FortranValue::Kind::logical: return v.logical ? "T" : "F";
    case FortranValue::Kind::text: return v.text;
    }
    return {};
}

const char* kind_name(FortranValue::Kind kind)
{
    switch (kind) {
    case FortranValue::Kind::integer: return "INTEGER";
    case FortranValue::Kind::real: return "REAL";
    case FortranValue::Kind::logical: return "LOGICAL";
    case FortranValue::Kind::text: return "CHARACTER";
    }
    return "?";
}

// ---- Format control for output ----

enum class Flow { go_on, stop, fail };

constexpr long long MAX_FORMAT_STEPS = 5000000;
constexpr std::size_t MAX_RECORDS = 1000000;
constexpr std::size_t MAX_RECORD_LENGTH = 10000000;

struct OutputRun {
    const FortranValue* values = nullptr;
    std::size_t count = 0;
    std::size_t next = 0;
    std::vector<std::string>* records = nullptr;
    std::string record;
    std::size_t column = 0;  // where the next character goes
    int scale = 0;
    std::string error;
    long long steps = 0;

    void put(const std::string& s)
    {
        if (record.size() < column) record.resize(column, ' ');
        record.replace(column, std::min(s.size(), record.size() - column), s);
        column += s.size();
    }
    void end_record()
    {
        records->push_back(record);
        record.clear();
        column = 0;
    }
    Flow fail(const std::string& message)
    {
        error = message;
        return Flow::fail;
    }

    Flow edit(const FormatItem& item, const FortranValue& v)
    {
        using K = FortranValue::Kind;
        const std::string item_text = " for item " + std::to_string(next) + " in formatted transfer, got ";
        std::string message;
        std::string field;
        switch (item.code) {
        case FormatCode::integer:
            if (v.kind != K::integer) return fail("Expected INTEGER" + item_text + kind_name(v.kind));
            field = format_integer(v.integer, item.width, item.digits);
            break;
        case FormatCode::fixed:
        case FormatCode::exponent:
        case FormatCode::exponent_d: {
            if (v.kind != K::real && v.kind != K::integer)
                return fail("Expected REAL" + item_text + kind_name(v.kind));
            const double x = v.kind == K::real ? v.real : static_cast<double>(v.integer);
            if (item.code == FormatCode::fixed)
                field = format_fixed(x, item.width, item.digits, scale, &message);
            else
                field = format_exponent(x, item.width, item.digits, item.exponent, scale,
                                        item.code == FormatCode::exponent_d ? 'D' : 'E', &message);
            break;
        }
        case FormatCode::general:
            if (v.kind == K::integer) field = format_integer(v.integer, item.width, -1);
            else if (v.kind == K::real) field = format_general(v.real, item.width, item.digits, item.exponent, scale, &message);
            else if (v.kind == K::logical) field = right_justify(v.logical ? "T" : "F", item.width);
            else field = format_text(v.text, item.width);
            break;
        case FormatCode::text:
            if (v.kind != K::text) return fail("Expected CHARACTER" + item_text + kind_name(v.kind));
            field = format_text(v.text, item.width);
            break;
        case FormatCode::logical: {
            if (v.kind != K::logical && v.kind != K::integer)
                return fail("Expected LOGICAL" + item_text + kind_name(v.kind));
            const bool truth = v.kind == K::logical ? v.logical : (v.integer & 1) != 0;
            field = right_justify(truth ? "T" : "F", item.width);
            break;
        }
        default:
            break;
        }
        if (!message.empty()) return fail(message);
        put(field);
        return Flow::go_on;
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
            case FormatCode::literal: put(item.text); break;
            case FormatCode::skip:
            case FormatCode::tab_right: column += static_cast<std::size_t>(item.width); break;
            case FormatCode::tab: column = static_cast<std::size_t>(item.width - 1); break;
            case FormatCode::tab_left:
                column = column > static_cast<std::size_t>(item.width) ? column - static_cast<std::size_t>(item.width) : 0;
                break;
            case FormatCode::slash:
                if (records->size() + static_cast<std::size_t>(item.repeat) > MAX_RECORDS)
                    return fail("Format too large to process");
                for (int r = 0; r < item.repeat; ++r) end_record();
                break;
            case FormatCode::colon:
                if (next == count) return Flow::stop;
                break;
            case FormatCode::scale: scale = item.width; break;
            default:  // data descriptors
                for (int r = 0; r < item.repeat; ++r) {
                    if (next == count) return Flow::stop;
                    ++next;
                    Flow f = edit(item, values[next - 1]);
                    if (f != Flow::go_on) return f;
                }
                break;
            }
        }
        return Flow::go_on;
    }
};

bool list_directed_output(const FortranValue* values, std::size_t count, std::vector<std::string>& records)
{
    std::string line;
    for (std::size_t i = 0; i < count; ++i) {
        const bool text = values[i].kind == FortranValue::Kind::text;
        const bool after_text = i > 0 && values[i - 1].kind == FortranValue::Kind::text;
        if (i == 0 || !(text && after_text)) line += ' ';
        line += list_directed_item(values[i]);
    }
    records.push_back(line);
    return true;
}

}  // namespace

bool is_data_descriptor(FormatCode code)
{
    switch (code) {
    case FormatCode::integer:
    case FormatCode::fixed:
    case FormatCode::exponent:
    case FormatCode::exponent_d:
    case FormatCode::general:
    case FormatCode::text:
    case FormatCode::logical: return true;
    default: return false;
    }
}

bool format_has_data(const std::vector<FormatItem>& items, std::size_t from)
{
    for (std::size_t i = from; i < items.size(); ++i) {
        if (is_data_descriptor(items[i].code)) return true;
        if (items[i].code == FormatCode::group && format_has_data(items[i].items)) return true;
    }
    return false;
}

bool parse_format(std::string_view format, ParsedFormat& parsed, std::string* error)
{
    parsed = ParsedFormat{};
    FormatParser parser;
    parser.text = normalise_format(format);
    if (parser.text == "*") {
        parsed.list_directed = true;
        return true;
    }
    // Outer parentheses are optional: drop them when they enclose the whole text.
    std::string body = parser.text;
    if (!body.empty() && body.front() == '(') {
        int depth = 0;
        char quote = 0;
        std::size_t close = std::string::npos;
        for (std::size_t i = 0; i < body.size(); ++i) {
            char c = body[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                close = i;
                break;
            }
        }
        if (close == body.size() - 1) body = body.substr(1, body.size() - 2);
    }
    parser.text = body;
    if (!parser.item_list(parsed.items, false) || !parser.error.empty()) {
        if (error) *error = parser.error;
        parsed.items.clear();
        return false;
    }
    if (!parsed.items.empty() && parser.text.back() == ',') {
        if (error) *error = "item expected after ',' in format \"" + parser.text + "\"";
        parsed.items.clear();
        return false;
    }
    for (std::size_t i = parsed.items.size(); i-- > 0;) {
        if (parsed.items[i].code == FormatCode::group) {
            parsed.reversion_index = i;
            break;
        }
    }
    return true;
}

namespace {

// A format as parsed, or why it could not be.
struct KnownFormat {
    bool valid = false;
    ParsedFormat parsed;
    std::string error;
};

// The formats a thread has used: a program writes its listing from a few
// dozen, each line of them many times.
const KnownFormat& known_format(std::string_view format)
{
    constexpr std::size_t LIMIT = 1024;
    thread_local std::unordered_map<std::string, KnownFormat> known;
    const auto found = known.find(std::string(format));
    if (found != known.end()) return found->second;
    if (known.size() >= LIMIT) known.clear();
    KnownFormat entry;
    entry.valid = parse_format(format, entry.parsed, &entry.error);
    return known.emplace(std::string(format), std::move(entry)).first->second;
}

}  // namespace

bool try_format_records(std::string_view format, const FortranValue* values, std::size_t count,
                        std::vector<std::string>& records, std::string* error)
{
    records.clear();
    const KnownFormat& known = known_format(format);
    if (!known.valid) {
        if (error) *error = known.error;
        return false;
    }
    const ParsedFormat& parsed = known.parsed;
    if (parsed.list_directed) return list_directed_output(values, count, records);

    OutputRun run;
    run.values = values;
    run.count = count;
    run.records = &records;
    if (count > 0 && !format_has_data(parsed.items)) {
        if (error) *error = "Insufficient data descriptors in format";
        records.push_back("");
        return false;
    }
    Flow flow = run.run(parsed.items, 0);
    while (flow == Flow::go_on && run.next < count) {
        if (!format_has_data(parsed.items, parsed.reversion_index)) {
            flow = run.fail("Insufficient data descriptors in format after reversion");
            break;
        }
        run.end_record();
        flow = run.run(parsed.items, parsed.reversion_index);
    }
    records.push_back(run.record);
    if (flow == Flow::fail) {
        if (error) *error = run.error;
        return false;
    }
    return true;
}

std::vector<std::string> format_records(std::string_view format, const std::vector<FortranValue>& values)
{
    std::vector<std::string> records;
    try_format_records(format, values.data(), values.size(), records, nullptr);
    return records;
}

std::vector<std::string> format_records(std::string_view format, std::initializer_list<FortranValue> values)
{
    std::vector<std::string> records;
    try_format_records(format, values.begin(), values.size(), records, nullptr);
    return records;
}

namespace {
std::string join_records(const std::vector<std::string>& records)
{
    std::string out;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i) out += '\n';
        out += records[i];
    }
    return out;
}
}  // namespace

std::string format_line(std::string_view format, std::initializer_list<FortranValue> values)
{
    return join_records(format_records(format, values));
}

std::string format_line(std::string_view format, const std::vector<FortranValue>& values)
{
    return join_records(format_records(format, values));
}
