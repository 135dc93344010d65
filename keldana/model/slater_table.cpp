#include "keldana/model/slater_table.h"

#include "common/file_units.h"

#include "keldana/model/text_fields.h"
#include "keldana/model/xd_files_text.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::size_t SLATER_LINE_WIDTH = 127;

// Digit of an orbital name ("3D" -> 3); -1 when the name starts otherwise.
int principal_number(const FixedText<2>& name) { return name[0] >= '0' && name[0] <= '9' ? name[0] - '0' : -1; }

void fill_all(SlaterRadialFunctions& radial, int n, double zeta)
{
    radial.n.fill(n);
    radial.zeta.fill(zeta);
}

// Orbital columns a (and b, 0 for none) of a closed-shell type with `total`
// electrons; false for a total not in the table.
bool choose_closed_shell_columns(int total, int z, const SlaterExponents& v, int& a, int& b)
{
    switch (total) {
    case 2:
        a = 1, b = 0;
        if (z > 2) {
            a = 2;
            b = v[5] > 0 ? 5 : 0;
        }
        return true;
    case 10:
        a = 2, b = 5;
        if (z > 10) {
            a = 3;
            b = v[6] > 0 ? 6 : 0;
        }
        return true;
    case 18:
        a = 3, b = 6;
        if (z > 18)
            a = 4, b = 0;
        if (z > 20)
            a = 8, b = 0;
        return true;
    case 28:
        a = 8, b = 0;
        if (v[7] > 0)
            a = 4, b = 7;
        return true;
    case 36:
        a = 4, b = 7;
        if (z > 36)
            a = 11, b = 0;
        if (z > 38)
            a = 9, b = 0;
        return true;
    case 46:
        a = 9, b = 0;
        if (v[12] > 0)
            a = 11, b = 12;
        return true;
    case 54:
        a = 11, b = 12;
        return true;
    default:
        return false;
    }
}

}  // namespace

bool read_slater_table_lines(std::istream& input, std::vector<std::string>& lines)
{
    lines.clear();
    for (std::string line; std::getline(input, line);) {
        if (ends_inside_record(input, line))
            break;  // an entry cut short is no entry: its last exponent may be cut
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line.substr(0, SLATER_LINE_WIDTH));
    }
    return !input.bad();
}

FixedText<4> slater_table_symbol(std::span<const char> symbol)
{
    FixedText<4> text = blank_text<4>();
    std::copy_n(symbol.begin(), std::min<std::size_t>(symbol.size(), 4), text.begin());
    convert_to_lower_case(text);
    convert_to_upper_case(std::span<char>(text).first(1));
    return text;
}

SlaterEntryStatus find_slater_table_entry(const std::vector<std::string>& lines, std::span<const char> symbol,
                                          SlaterExponents& exponents)
{
    const std::string key(symbol.data(), std::min<std::size_t>(symbol.size(), 4));
    for (std::string line : lines) {
        if (line.empty() || line[0] == '!' || line[0] == ' ' || line[0] == '\t')
            continue;
        line.resize(SLATER_LINE_WIDTH, ' ');
        if (line.compare(0, 4, key) != 0)
            continue;
        std::vector<FortranTarget> targets;
        for (int k = 1; k <= SLATER_ORBITAL_COUNT; ++k)
            targets.emplace_back(&exponents[static_cast<std::size_t>(k)]);
        std::string error;
        return read_text_list(std::string_view(line).substr(5), targets.data(), targets.size(), error)
                   ? SlaterEntryStatus::found
                   : SlaterEntryStatus::unreadable;
    }
    return SlaterEntryStatus::missing;
}

void derive_slater_radial_functions_form_1(const SlaterOrbitalCodes& codes, const SlaterExponents& v,
                                           SlaterRadialFunctions& radial)
{
    // The outermost occupied s shell: 4s, 3s, 2s or 1s.
    int k = 0;
    for (int column = 4; column >= 1 && k == 0; --column)
        if (codes[static_cast<std::size_t>(column)] != 0)
            k = column;
    if (k == 0) {
        fill_all(radial, 4, 2.0 * v[8]);
        return;
    }
    if (k == 1) {
        for (int l = 0; l <= MAX_L; ++l)
            radial.n[static_cast<std::size_t>(l)] = l;
        radial.zeta.fill(2.0 * v[1]);
        return;
    }
    // Its p partner (2s-2p, 3s-3p, 4s-4p) shares the exponent when occupied.
    const std::size_t s = static_cast<std::size_t>(k);
    radial.zeta.fill(codes[s + 3] != 0 ? v[s] + v[s + 3] : 2.0 * v[s]);
    for (int l = 0; l <= MAX_L; ++l)
        radial.n[static_cast<std::size_t>(l)] = k > 2 ? 4 : std::max(2, l);
}

bool derive_slater_radial_functions_form_2(const SlaterOrbitalCodes& codes, const SlaterOrbitalNames& names,
                                           const SlaterExponents& v, int atomic_number,
                                           SlaterRadialFunctions& radial, std::string& reason)
{
    int total = 0, valence = 0, valence_columns = 0, n_sum = 0;
    for (int k = 1; k <= SLATER_ORBITAL_COUNT; ++k) {
        const int code = codes[static_cast<std::size_t>(k)];
        total += std::abs(code);
        if (code < 0)
            valence += -code;
    }
    double zeta = 0.0;
    int n_valence = 0;
    for (int k = 1; k <= SLATER_ORBITAL_COUNT; ++k) {
        const int code = codes[static_cast<std::size_t>(k)];
        if (code >= 0)
            continue;
        const int n = principal_number(names[static_cast<std::size_t>(k)]);
        if (n < 0) {
            reason = "orbital column " + std::to_string(k) + " of the SCAT table has no principal quantum number";
            return false;
        }
        zeta += -code * v[static_cast<std::size_t>(k)] / valence;
        n_sum += n - 1;
        ++valence_columns;
    }
    if (valence_columns >= 1) {
        zeta *= 2.0;
        n_valence = 2 * n_sum / valence_columns;
    } else {
        int a = 0, b = 0;
        if (!choose_closed_shell_columns(total, atomic_number, v, a, b)) {
            reason = "a closed-shell type with " + std::to_string(total)
                     + " electrons (2, 10, 18, 28, 36, 46 or 54 are known)";
            return false;
        }
        const int n = principal_number(names[static_cast<std::size_t>(a)]);
        if (n < 0) {
            reason = "orbital column " + std::to_string(a) + " of the SCAT table has no principal quantum number";
            return false;
        }
        n_valence = 2 * n - 2;
        const std::size_t ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b);
        if (b == 0)
            zeta = 2.0 * v[ua];
        else if (codes[ua] * codes[ub] == 0)
            zeta = v[ua] + v[ub];
        else
            zeta = 2.0 * (codes[ua] * v[ua] + codes[ub] * v[ub]) / (codes[ua] + codes[ub]);
    }
    for (int l = 0; l <= MAX_L; ++l) {
        radial.zeta[static_cast<std::size_t>(l)] = zeta;
        radial.n[static_cast<std::size_t>(l)] = std::max(l, n_valence);
    }
    return true;
}
