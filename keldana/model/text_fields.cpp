#include "keldana/model/text_fields.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

namespace {

bool is_blank(char c) { return static_cast<unsigned char>(c) <= 32; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The scratch length through which a word is left-adjusted.
constexpr std::size_t WORD_SCRATCH_LENGTH = 80;

std::size_t trimmed_size(std::span<const char> text)
{
    std::size_t k = text.size();
    while (k > 0 && is_blank(text[k - 1]))
        --k;
    return k;
}

}  // namespace

int get_trimmed_length(std::span<char> text)
{
    const std::size_t k = trimmed_size(text);
    if (k > 0 && k < text.size()) {
        text[k] = '\0';
        std::fill(text.begin() + static_cast<std::ptrdiff_t>(k) + 1, text.end(), ' ');
    }
    return static_cast<int>(k);
}

bool parse_real_ignoring_letters(std::span<char> text, double& value)
{
    for (char& c : text)
        if (!is_digit(c) && c != '.')
            c = ' ';
    // Only digits, "." and blanks are left: the first run of them is the
    // number a free-format read takes.
    auto first = std::find_if(text.begin(), text.end(), [](char c) { return c != ' '; });
    if (first == text.end())
        return false;
    auto last = std::find(first, text.end(), ' ');
    const char* begin = &*first;
    const char* end = begin + (last - first);
    double number = 0;
    auto [stop, error] = std::from_chars(begin, end, number, std::chars_format::fixed);
    if (error != std::errc() || stop != end)
        return false;
    value = number;
    return true;
}

void count_nonzero_digits(std::span<const char> text, int& count, int& offset)
{
    count = 0;
    offset = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= '1' && text[i] <= '9') {
            if (count == 0)
                offset = static_cast<int>(i);
            ++count;
        }
    }
}

void left_adjust_first_word(std::span<char> text, int& word_length)
{
    const auto scratch = text.first(std::min(text.size(), WORD_SCRATCH_LENGTH));
    auto first = std::find_if(scratch.begin(), scratch.end(), [](char c) { return !is_blank(c); });
    auto last = std::find_if(first, scratch.end(), is_blank);
    const std::string word(first, last);
    std::copy(word.begin(), word.end(), text.begin());
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(word.size()), text.end(), ' ');
    word_length = static_cast<int>(word.size());
}

void convert_to_upper_case(std::span<char> text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
}

void convert_to_lower_case(std::span<char> text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

void blank_non_numeric_characters(std::span<char> text)
{
    for (char& c : text)
        if (!is_digit(c) && c != '-' && c != '.')
            c = ' ';
}

void set_text_field(std::span<char> field, std::string_view text)
{
    const std::size_t n = std::min(field.size(), text.size());
    std::copy_n(text.begin(), n, field.begin());
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), ' ');
}

std::string text_field_string(std::span<const char> field)
{
    return std::string(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(trimmed_size(field)));
}
