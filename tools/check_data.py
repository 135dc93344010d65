#!/usr/bin/env python3
"""Physics check of the generated data files, read the way the program reads them.

  * atoms.axp: every type line decoded field by field with the fixed layout
    (I3,4X,A4,I3,F10.4,2F7.2,2X,I8,2X,A50); every configuration analysed into
    core and valence electrons per shell, as the program does.
  * wavefCR.bnk, wavefSCM.bnk: read block by block (ATOM line, free-format
    header and records, exponents turned into 1/Angstrom), then
      - every orbital normalises to 1 (integral of R^2 r^2 dr), within 1e-3;
      - the spherical free-atom density, sum over shells and function pairs of
        occupation-weighted coefficient products times f_i f_j / (4 pi), as
        the density evaluator forms it, integrates to Z - charge electrons
        within 1e-3 (analytically and by radial quadrature);
      - the nuclear density of neon from wavefCR.bnk is 620.15 e/bohr^3.
  * atoms.szt: symbol and twelve exponents per line; the 1s exponent lies
    just below Z and every occupied orbital of the table has an exponent.

Usage: check_data.py [DATA_DIR]   (default: the repository's data/)
Standard library only; exits 1 on any failure.
"""

import math
import os
import sys

BOHR_TO_ANGSTROM_INVERSE = 1.8897259885789233   # 1/bohr -> 1/Angstrom
TYPE_CAPACITY = 120
FUNCTION_CAPACITY = 40
ORBITAL_LIMIT = {0: 6, 1: 5, 2: 4, 3: 2}
NORM_TOLERANCE = 1e-3
ELECTRON_TOLERANCE = 1e-3
NEON_NUCLEAR_DENSITY = 620.15                   # e/bohr^3, Clementi-Roetti
NEON_TOLERANCE = 0.01

failures = []


def failure(message):
    failures.append(message)


# ------------------------------------------------------------ element table

def fortran_int(field):
    text = field.strip()
    return int(text) if text else 0


def fortran_real(field, decimals):
    text = field.strip()
    if not text:
        return 0.0
    if "." not in text:
        # Fd.d without a point: the last d digits are the fraction.
        return int(text) / 10 ** decimals
    return float(text)


def read_element_table(path):
    types = []
    with open(path, encoding="ascii") as f:
        for line_no, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if len(line) > 100:
                failure(f"atoms.axp:{line_no}: longer than 100 characters")
            line = line[:100].ljust(100)
            if line.startswith("/"):
                continue
            where = f"atoms.axp:{line_no}"
            try:
                serial = fortran_int(line[0:3])
                symbol = line[7:11]
                z = fortran_int(line[11:14])
                mass = fortran_real(line[14:24], 4)
                vdw = fortran_real(line[24:31], 2)
                cov = fortran_real(line[31:38], 2)
                colour = fortran_int(line[40:48])
                text = line[50:100]
            except ValueError as error:
                failure(f"{where}: field does not fit the layout: {error}")
                continue
            if line[3:7].strip() or line[38:40].strip() or line[48:50].strip():
                failure(f"{where}: text in a skipped column")
            if serial != len(types) + 1:
                failure(f"{where}: serial {serial}, expected {len(types) + 1}")
            if not (1 <= z <= 118 and 0 < mass < 300 and 0 < vdw < 4 and 0 < cov < 3):
                failure(f"{where}: implausible Z, mass or radius")
            if not 0 <= colour <= 0xFFFFFF:
                failure(f"{where}: colour {colour} outside 24 bits")
            types.append({"symbol": symbol, "z": z, "text": text})
    if len(types) > TYPE_CAPACITY:
        failure(f"atoms.axp: {len(types)} types, the table holds {TYPE_CAPACITY}")
    symbols = [t["symbol"] for t in types]
    if len(set(symbols)) != len(symbols):
        failure("atoms.axp: a symbol appears twice")
    return types


NOBLE_GAS_SHELLS = {
    "He": [(1, 0, 2)],
    "Ne": [(1, 0, 2), (2, 0, 2), (2, 1, 6)],
    "Ar": [(1, 0, 2), (2, 0, 2), (2, 1, 6), (3, 0, 2), (3, 1, 6)],
}
NOBLE_GAS_SHELLS["Kr"] = NOBLE_GAS_SHELLS["Ar"] + [(3, 2, 10), (4, 0, 2), (4, 1, 6)]
NOBLE_GAS_SHELLS["Xe"] = NOBLE_GAS_SHELLS["Kr"] + [(4, 2, 10), (5, 0, 2), (5, 1, 6)]
NOBLE_GAS_SHELLS["Rn"] = NOBLE_GAS_SHELLS["Xe"] + [(4, 3, 14), (5, 2, 10), (6, 0, 2),
                                                   (6, 1, 6)]


def analyse_configuration(text, where):
    """Core and valence electrons per (n, l), following the program's rules."""
    conf = text.ljust(80)[:80]
    occ = {0: {}, 1: {}}            # part 0 core, 1 valence

    def digit(pos):                  # 1-based position
        if 1 <= pos <= 80 and conf[pos - 1].isdigit():
            return int(conf[pos - 1])
        return -1

    def entry(pos):
        n = digit(pos - 1)
        count = 10 * digit(pos + 1) + digit(pos + 2) if digit(pos + 2) >= 0 else digit(pos + 1)
        if digit(pos + 1) < 0:
            count = -1
        return n, count

    def add(part, n, l, count):
        occ[part][(n, l)] = occ[part].get((n, l), 0) + count

    opens, closes = conf.count("["), conf.count("]")
    if opens != closes or opens > 1:
        failure(f"{where}: configuration '{text.strip()}' has bad brackets")
        return None
    start = 1
    if opens == 1:
        a, b = conf.index("[") + 1, conf.index("]") + 1
        if b < a + 3:
            failure(f"{where}: configuration '{text.strip()}' has an empty core")
            return None
        for m in range(a + 1, b - 1):
            gas = conf[m - 1:m + 1]
            for n, l, count in NOBLE_GAS_SHELLS.get(gas, []):
                add(0, n, l, count)
        for pos in range(a + 2, b - 1):
            letter = conf[pos - 1].lower()
            if letter in "spdf":
                n, count = entry(pos)
                if n < 0 or count < 0:
                    failure(f"{where}: unreadable core subshell in '{text.strip()}'")
                    return None
                add(0, n, "spdf".index(letter), count)
        start = b + 1
    for pos in range(start, 80):
        letter = conf[pos - 1].lower()
        if letter in "spdf":
            n, count = entry(pos)
            if n < 0 or count < 0:
                failure(f"{where}: unreadable subshell in '{text.strip()}'")
                return None
            add(1, n, "spdf".index(letter), count)
    for part in (0, 1):
        for (n, l), count in occ[part].items():
            if count > (2, 6, 10, 14)[l] or n <= l or n > 7:
                failure(f"{where}: impossible subshell {n}{'spdf'[l]}{count}")
    return occ


# --------------------------------------------------------------- the banks

class RecordReader:
    """Free-format (list-directed) reads: each read starts on a fresh line and
    may continue over further lines; what is left on its last line is dropped."""

    def __init__(self, lines, index):
        self.lines = lines
        self.index = index

    def read(self, count):
        values = []
        while len(values) < count:
            if self.index >= len(self.lines):
                raise EOFError("end of file inside a record")
            words = self.lines[self.index].replace(",", " ").split()
            self.index += 1
            values.extend(words)
        return values[:count]


# The 17 orbitals (n, l) a bank can hold, in the program's order.
ORBITALS = [(1, 0), (2, 0), (2, 1), (3, 0), (3, 1), (3, 2), (4, 0), (4, 1), (4, 2), (4, 3),
            (5, 0), (5, 1), (5, 2), (5, 3), (6, 0), (6, 1), (6, 2)]


def orbital_index(n, l):
    return ORBITALS.index((n, l))


def read_bank(path, types):
    name = os.path.basename(path)
    with open(path, encoding="ascii") as f:
        lines = [line.rstrip("\n")[:80].ljust(80) for line in f]
    bank = {}
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        if line[1:5] != "ATOM":
            continue
        symbol = line[6:10]
        t = next((k for k, ty in enumerate(types) if ty["symbol"] == symbol), None)
        if t is None:
            failure(f"{name}: ATOM line for {symbol.strip()}, which atoms.axp lacks")
            continue
        entry = bank.setdefault(t, {"n": [], "coef": {}, "zeta": {}, "shell_count": 0})
        reader = RecordReader(lines, i)
        try:
            l, nb, norb = (int(v) for v in reader.read(3))
            first = len(entry["n"])
            if first + nb > FUNCTION_CAPACITY:
                failure(f"{name}: {symbol.strip()} has more than {FUNCTION_CAPACITY} functions")
            if l not in ORBITAL_LIMIT or not 1 <= norb <= ORBITAL_LIMIT[l]:
                failure(f"{name}: {symbol.strip()} block l={l} norb={norb} not readable")
                i = reader.index
                continue
            entry["shell_count"] = max(entry["shell_count"], norb)
            for j in range(first, first + nb):
                values = reader.read(1 + 2 * norb)
                entry["n"].append(int(values[0]))
                for k in range(1, norb + 1):
                    shell = l + k
                    entry["coef"][(orbital_index(shell, l), j)] = float(values[2 * k - 1])
                    entry["zeta"][(j, shell)] = float(values[2 * k]) * BOHR_TO_ANGSTROM_INVERSE
        except (EOFError, ValueError) as error:
            failure(f"{name}: {symbol.strip()}: {error}")
        i = reader.index
    return bank


def sto_norm(n, zeta):
    return (2 * zeta) ** (n + 0.5) / math.sqrt(math.factorial(2 * n))


def sto_overlap(n1, z1, n2, z2):
    """Integral of f1 f2 r^2 dr for normalised f = N r^(n-1) exp(-zeta r)."""
    return (sto_norm(n1, z1) * sto_norm(n2, z2) * math.factorial(n1 + n2)
            / (z1 + z2) ** (n1 + n2 + 1))


def product_sums(entry, occ):
    """Per shell and part, the occupation-weighted coefficient products of i <= j."""
    count = len(entry["n"])
    sums = {}
    for shell in range(1, 7):
        for part in (0, 1):
            table = {}
            for i in range(count):
                for j in range(i, count):
                    total = 0.0
                    for o, (n, l) in enumerate(ORBITALS):
                        if n != shell:
                            continue
                        weight = occ[part].get((n, l), 0)
                        if weight:
                            total += (weight * entry["coef"].get((o, i), 0.0)
                                      * entry["coef"].get((o, j), 0.0))
                    if total:
                        table[(i, j)] = total
            sums[(shell, part)] = table
    return sums


def density_pairs(entry, sums):
    """(factor, n_i, zeta_i, n_j, zeta_j) of every term of the evaluator's sum."""
    terms = []
    for shell in range(1, entry["shell_count"] + 1):
        for part in (0, 1):
            for (i, j), d in sums[(shell, part)].items():
                zi = entry["zeta"].get((i, shell), 0.0)
                zj = entry["zeta"].get((j, shell), 0.0)
                if zi == 0.0 or zj == 0.0:
                    continue
                factor = d * (1.0 if i == j else 2.0)
                terms.append((factor, entry["n"][i], zi, entry["n"][j], zj))
    return terms


def density(terms, r):
    """The evaluator's spherical density at distance r (Angstrom), e/Angstrom^3."""
    r = max(r, 1e-9)
    total = 0.0
    for factor, ni, zi, nj, zj in terms:
        total += (factor * sto_norm(ni, zi) * sto_norm(nj, zj) * r ** (ni + nj - 2)
                  * math.exp(-(zi + zj) * r))
    return total / (4 * math.pi)


def merged_terms(terms):
    """The same sum with equal (power, exponent) terms merged, for the grid."""
    merged = {}
    for factor, ni, zi, nj, zj in terms:
        key = (ni + nj - 2, zi + zj)
        merged[key] = merged.get(key, 0.0) + factor * sto_norm(ni, zi) * sto_norm(nj, zj)
    return [(c, p, z) for (p, z), c in merged.items()]


def quadrature_electrons(terms):
    """Integral of 4 pi r^2 rho dr on a logarithmic grid (trapezoid in ln r)."""
    x0, x1, points = math.log(1e-6), math.log(60.0), 1200
    h = (x1 - x0) / (points - 1)
    compact = merged_terms(terms)
    total = 0.0
    for k in range(points):
        r = math.exp(x0 + k * h)
        weight = 0.5 if k in (0, points - 1) else 1.0
        rho = sum(c * r ** p * math.exp(-z * r) for c, p, z in compact) / (4 * math.pi)
        total += weight * 4 * math.pi * r ** 3 * rho
    return total * h


def charge_of(symbol):
    s = symbol.strip()
    if s.endswith("+") or s.endswith("-"):
        sign = 1 if s[-1] == "+" else -1
        digits = "".join(ch for ch in s[:-1] if ch.isdigit())
        return sign * (int(digits) if digits else 1)
    return 0


def check_bank(path, types):
    name = os.path.basename(path)
    bank = read_bank(path, types)
    worst_norm = (0.0, "")
    worst_analytic = (0.0, "")
    worst_numeric = (0.0, "")
    for t, entry in bank.items():
        ty = types[t]
        label = f"{name} {ty['symbol'].strip()}"
        # Orbital normalisation, each orbital with its own exponents.
        for o, (n, l) in enumerate(ORBITALS):
            funcs = [(j, c) for (oo, j), c in entry["coef"].items() if oo == o and c != 0.0]
            if not funcs:
                continue
            norm = 0.0
            for j1, c1 in funcs:
                for j2, c2 in funcs:
                    z1, z2 = entry["zeta"].get((j1, n), 0.0), entry["zeta"].get((j2, n), 0.0)
                    if z1 == 0.0 or z2 == 0.0:
                        failure(f"{label} {n}{'spdf'[l]}: coefficient without exponent")
                        continue
                    norm += c1 * c2 * sto_overlap(entry["n"][j1], z1, entry["n"][j2], z2)
            dev = abs(norm - 1.0)
            if dev > worst_norm[0]:
                worst_norm = (dev, f"{label} {n}{'spdf'[l]} norm {norm:.6f}")
            if dev > NORM_TOLERANCE:
                failure(f"{label} {n}{'spdf'[l]}: norm {norm:.6f}")
        # Free-atom density from the configuration of the element table.
        occ = analyse_configuration(ty["text"], label)
        if occ is None:
            continue
        for part in (0, 1):
            for (n, l), count in occ[part].items():
                if count and n <= 6 and not any(
                        entry["coef"].get((orbital_index(n, l), j), 0.0)
                        for j in range(len(entry["n"]))):
                    failure(f"{label}: occupied {n}{'spdf'[l]} has no orbital in the bank")
        sums = product_sums(entry, occ)
        terms = density_pairs(entry, sums)
        expected = ty["z"] - charge_of(ty["symbol"])
        analytic = sum(f * sto_overlap(ni, zi, nj, zj) for f, ni, zi, nj, zj in terms)
        numeric = quadrature_electrons(terms)
        for value, kind in ((analytic, "analytic"), (numeric, "quadrature")):
            dev = abs(value - expected)
            if dev > ELECTRON_TOLERANCE:
                failure(f"{label}: {kind} electron count {value:.6f}, expected {expected}")
        if abs(analytic - expected) >= worst_analytic[0]:
            worst_analytic = (abs(analytic - expected), f"{label} {analytic:.6f} of {expected}")
        if abs(numeric - expected) >= worst_numeric[0]:
            worst_numeric = (abs(numeric - expected), f"{label} {numeric:.6f} of {expected}")
    return bank, worst_norm, worst_analytic, worst_numeric


def nuclear_density(bank, types, t):
    """Density at the nucleus of type t, e/bohr^3."""
    entry = bank[t]
    occ = analyse_configuration(types[t]["text"], types[t]["symbol"])
    rho = density(density_pairs(entry, product_sums(entry, occ)), 0.0)   # e/Angstrom^3
    return rho / BOHR_TO_ANGSTROM_INVERSE ** 3


# ------------------------------------------------------------- Slater table

def check_slater_table(path, types):
    columns = [(1, 0), (2, 0), (3, 0), (4, 0), (2, 1), (3, 1), (4, 1), (3, 2), (4, 2), (4, 3),
               (5, 0), (5, 1)]
    by_symbol = {ty["symbol"]: ty for ty in types}
    seen = set()
    count = 0
    with open(path, encoding="ascii") as f:
        for line_no, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            where = f"atoms.szt:{line_no}"
            if len(line) > 127:
                failure(f"{where}: longer than 127 characters")
            if line.startswith("!") or line.startswith(" ") or not line:
                continue
            symbol = line[:4]
            word = symbol.strip()
            if word != word[:1].upper() + word[1:].lower() or line[4:5] != " ":
                failure(f"{where}: symbol field '{symbol}' not in the layout")
            try:
                values = [float(v) for v in line[5:127].replace(",", " ").split()[:12]]
            except ValueError:
                failure(f"{where}: exponents unreadable")
                continue
            if len(values) != 12:
                failure(f"{where}: {len(values)} exponents, 12 expected")
                continue
            if symbol in seen:
                failure(f"{where}: {word} appears twice")
            seen.add(symbol)
            ty = by_symbol.get(symbol)
            if ty is None:
                failure(f"{where}: {word} is not in atoms.axp")
                continue
            z = ty["z"]
            if not z - 1.1 < values[0] <= z:
                failure(f"{where}: 1s exponent {values[0]} implausible for Z = {z}")
            occ = analyse_configuration(ty["text"], where)
            if occ:
                for key in set(occ[0]) | set(occ[1]):
                    if key in columns and values[columns.index(key)] <= 0.0:
                        failure(f"{where}: occupied {key[0]}{'spdf'[key[1]]} has no exponent")
            count += 1
    return count


def main(argv):
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    data = argv[0] if argv else os.path.join(repo, "data")
    types = read_element_table(os.path.join(data, "atoms.axp"))
    print(f"atoms.axp: {len(types)} types")
    for ty in types:
        occ = analyse_configuration(ty["text"], f"atoms.axp {ty['symbol'].strip()}")
        if occ is not None:
            electrons = sum(occ[0].values()) + sum(occ[1].values())
            if electrons != ty["z"] - charge_of(ty["symbol"]):
                failure(f"atoms.axp {ty['symbol'].strip()}: configuration holds {electrons} "
                        f"electrons, Z - charge = {ty['z'] - charge_of(ty['symbol'])}")
    banks = {}
    for name in ("wavefCR.bnk", "wavefSCM.bnk"):
        bank, norm, analytic, numeric = check_bank(os.path.join(data, name), types)
        banks[name] = bank
        print(f"{name}: {len(bank)} types")
        print(f"  worst orbital norm deviation  {norm[0]:.2e}  ({norm[1]})")
        print(f"  worst electron count (exact)  {analytic[0]:.2e}  ({analytic[1]})")
        print(f"  worst electron count (grid)   {numeric[0]:.2e}  ({numeric[1]})")
        if name == "wavefCR.bnk":
            neon = next(k for k, ty in enumerate(types) if ty["symbol"] == "Ne  ")
            rho = nuclear_density(bank, types, neon)
            print(f"  neon nuclear density          {rho:.4f} e/bohr^3 "
                  f"(reference {NEON_NUCLEAR_DENSITY})")
            if abs(rho - NEON_NUCLEAR_DENSITY) > NEON_TOLERANCE:
                failure(f"neon nuclear density {rho:.4f}, expected {NEON_NUCLEAR_DENSITY}")
    # The exponents' unit: the relativistic densities at the nucleus lie a
    # little above the non-relativistic ones, never far from them.
    ratios = []
    for t in sorted(set(banks["wavefCR.bnk"]) & set(banks["wavefSCM.bnk"])):
        ratio = (nuclear_density(banks["wavefSCM.bnk"], types, t)
                 / nuclear_density(banks["wavefCR.bnk"], types, t))
        ratios.append((ratio, types[t]["symbol"].strip()))
        if not 0.98 < ratio < 1.3:
            failure(f"{types[t]['symbol'].strip()}: nuclear density SCM/CR = {ratio:.4f}")
    if ratios:
        print(f"nuclear density SCM/CR over {len(ratios)} common types: "
              f"{min(ratios)[0]:.4f} ({min(ratios)[1]}) to {max(ratios)[0]:.4f} "
              f"({max(ratios)[1]})")
    count = check_slater_table(os.path.join(data, "atoms.szt"), types)
    print(f"atoms.szt: {count} elements")
    for message in failures:
        print(f"FAIL: {message}")
    print("check_data: " + ("FAILED" if failures else "all checks passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
