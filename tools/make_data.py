#!/usr/bin/env python3
"""Generate the program's data files from published tables.

Writes into the repository's data/ folder:
  atoms.axp     element table (elements, then the ion types the banks carry)
  wavefCR.bnk   Clementi-Roetti (1974) Roothaan-Hartree-Fock STO bank
  wavefSCM.bnk  Su-Coppens (1998) / Macchi-Coppens (2001) Dirac-Fock STO bank
  atoms.szt     single-zeta exponents per element
and copies the licences of the sources beside them (LICENSE-DiSCaMB.txt,
LICENSE-bodr.txt, NOTICE-Cordero2008.txt).

Usage: make_data.py [SOURCE_DIR] [--out OUT_DIR]
SOURCE_DIR defaults to ../shared/data next to the repository, OUT_DIR to the
repository's data/ folder. Standard library only.
"""

import argparse
import math
import os
import re
import shutil
import sys
import xml.etree.ElementTree as ET

TYPE_CAPACITY = 120          # atom types the program's table holds
FUNCTION_CAPACITY = 40       # Slater functions per atom type in a bank
ORBITALS_PER_L = {0: 6, 1: 5, 2: 4, 3: 2}   # 1s..6s, 2p..6p, 3d..6d, 4f..5f
L_LETTERS = "spdf"

# Noble-gas cores the configuration syntax knows, as (n, l) -> electrons.
NOBLE_CORES = {}


def _build_noble_cores():
    order = [("He", [(1, 0, 2)]),
             ("Ne", [(2, 0, 2), (2, 1, 6)]),
             ("Ar", [(3, 0, 2), (3, 1, 6)]),
             ("Kr", [(3, 2, 10), (4, 0, 2), (4, 1, 6)]),
             ("Xe", [(4, 2, 10), (5, 0, 2), (5, 1, 6)]),
             ("Rn", [(4, 3, 14), (5, 2, 10), (6, 0, 2), (6, 1, 6)])]
    shells = {}
    for symbol, added in order:
        for n, l, count in added:
            shells[(n, l)] = count
        NOBLE_CORES[symbol] = dict(shells)


_build_noble_cores()


CORDERO_NOTICE = """\
Covalent radii used in atoms.axp where the Blue Obelisk table has none:

  B. Cordero, V. Gomez, A. E. Platero-Prats, M. Reves, J. Echeverria,
  E. Cremades, F. Barragan and S. Alvarez, "Covalent radii revisited",
  Dalton Trans. (2008) 2832-2838, doi:10.1039/b801115j.

The table of numbers was taken from the Debian package python3-periodictable,
where it is distributed as public domain. No licence conditions apply; the
source is cited here as a courtesy.
"""


class DataError(Exception):
    pass


def fail(message):
    raise DataError(message)


# ---------------------------------------------------------------- sources

def read_sto_table(path):
    """Entries of a DiSCaMB-derived STO text bank and its configuration block."""
    entries = []
    configs = {}
    entry = None
    orbital = None
    in_configs = False
    with open(path, encoding="utf-8") as f:
        for line_no, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            words = line.split()
            if in_configs:
                configs[words[0]] = "".join(words[1:])
                continue
            if words[0] == "CONFIGURATIONS":
                in_configs = True
            elif words[0] == "ENTRY":
                entry = {"label": words[1], "z": int(words[2]), "charge": int(words[3]),
                         "orbitals": [], "expected_orbitals": int(words[4])}
                entries.append(entry)
            elif words[0] == "ORBITAL":
                name, n, l, terms = words[1], int(words[2]), int(words[3]), int(words[4])
                orbital = {"name": name, "n": n, "l": l, "terms": [], "expected": terms}
                entry["orbitals"].append(orbital)
            else:
                if orbital is None or len(words) != 3:
                    fail(f"{path}:{line_no}: unexpected line {raw.rstrip()!r}")
                # (coefficient, STO power k = n - 1, zeta, zeta as written)
                orbital["terms"].append((float(words[0]), int(words[1]), float(words[2]),
                                         words[2]))
    for e in entries:
        if len(e["orbitals"]) != e["expected_orbitals"]:
            fail(f"{path}: {e['label']} lists {len(e['orbitals'])} orbitals, header says "
                 f"{e['expected_orbitals']}")
        for o in e["orbitals"]:
            if len(o["terms"]) != o["expected"]:
                fail(f"{path}: {e['label']} {o['name']} has {len(o['terms'])} terms, "
                     f"header says {o['expected']}")
    return entries, configs


def parse_table_configuration(text, label):
    """'K(2)L(8)3S(2)3P(6)4S(0)3D(10)' -> {(n, l): electrons}, zero entries dropped."""
    full_shells = {"K": [(1, 0, 2)],
                   "L": [(2, 0, 2), (2, 1, 6)],
                   "M": [(3, 0, 2), (3, 1, 6), (3, 2, 10)]}
    occupation = {}
    pos = 0
    pattern = re.compile(r"([KLM])\(([\d,]+)\)|(\d)([SPDF])\((\d+)\)")
    while pos < len(text):
        m = pattern.match(text, pos)
        if not m:
            fail(f"configuration of {label}: cannot read {text[pos:]!r}")
        if m.group(1):
            shell = full_shells[m.group(1)]
            # The source writes one M shell as "M(1,8)"; a full shell is meant.
            count = int(m.group(2).replace(",", ""))
            if count != sum(c for _, _, c in shell):
                fail(f"configuration of {label}: {m.group(0)} is not a full shell")
            for n, l, c in shell:
                occupation[(n, l)] = occupation.get((n, l), 0) + c
        else:
            key = (int(m.group(3)), "SPDF".index(m.group(4)))
            occupation[key] = occupation.get(key, 0) + int(m.group(5))
        pos = m.end()
    return {k: v for k, v in occupation.items() if v}


def read_elements(path):
    ns = {"c": "http://www.xml-cml.org/schema"}
    root = ET.parse(path).getroot()
    elements = {}
    for atom in root.findall("c:atom", ns):
        fields = {}
        for item in atom:
            key = item.get("dictRef")
            fields[key] = item.get("value") if item.tag.endswith("label") else item.text
        z = int(fields["bo:atomicNumber"])
        if z == 0:
            continue
        colour = fields.get("bo:elementColor")
        elements[z] = {
            "symbol": fields["bo:symbol"],
            "mass": float(fields["bo:mass"]),
            "vdw": float(fields["bo:radiusVDW"]) if fields.get("bo:radiusVDW") else None,
            "cov": float(fields["bo:radiusCovalent"]) if fields.get("bo:radiusCovalent") else None,
            "rgb": [float(x) for x in colour.split()] if colour else None,
            "config": fields.get("bo:electronicConfiguration"),
            "block": fields.get("bo:periodTableBlock"),
        }
    return elements


def read_cordero(path):
    """Covalent radii by Z; where the table gives several rows, the first counts."""
    radii = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            words = line.split()
            if not words or not words[0].isdigit():
                continue
            z = int(words[0])
            if z not in radii:
                radii[z] = float(words[2])
    return radii


def read_single_zeta(path):
    """Z -> exponents in the source's order 1s 2s 2p 3s 3p 4s 3d 4p 5s 4d 5p."""
    rows = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            words = line.split()
            rows[int(words[0])] = [float(w) for w in words[1:]]
    return rows


# ---------------------------------------------------------- configurations

def parse_element_configuration(text, z):
    """bodr text 'Ar 3d10 4s2' -> (core symbol or None, {(n, l): electrons})."""
    words = text.split()
    core = None
    if words and words[0] in NOBLE_CORES:
        core = words.pop(0)
    occupation = dict(NOBLE_CORES[core]) if core else {}
    for w in words:
        m = re.fullmatch(r"(\d)([spdf])(\d+)", w)
        if not m:
            fail(f"element {z}: cannot read configuration {text!r}")
        key = (int(m.group(1)), L_LETTERS.index(m.group(2)))
        occupation[key] = occupation.get(key, 0) + int(m.group(3))
    return core, occupation


def configuration_text(core, occupation, label, closed=()):
    """The configuration in the element-table syntax: '[Ar]3d10 4s2', or with
    closed subshells inside the core brackets, '[Ar 3d10]4s2 4p1'."""
    core_shells = dict(NOBLE_CORES[core]) if core else {}
    inner = []
    for key in closed:
        core_shells[key] = occupation.get(key, 0)
        inner.append(f" {key[0]}{L_LETTERS[key[1]]}{occupation.get(key, 0)}")
    for key, count in core_shells.items():
        if count == 0 or occupation.get(key, 0) < count:
            fail(f"{label}: configuration lacks part of the core [{core}{''.join(inner)}]")
    valence = []
    for (n, l) in sorted(occupation):
        extra = occupation[(n, l)] - core_shells.get((n, l), 0)
        if extra > 0:
            valence.append(f"{n}{L_LETTERS[l]}{extra}")
    text = (f"[{core}{''.join(inner)}]" if core else "") + " ".join(valence)
    if len(text) > 50:
        fail(f"{label}: configuration text longer than 50 characters")
    return text


def closed_subshells_below_valence(core, occupation):
    """Full d and f subshells outside the noble-gas core of a p-block element
    (3d10 of Ga-Kr, 4d10 of In-Xe): core electrons in the multipole model."""
    core_shells = NOBLE_CORES[core] if core else {}
    return tuple(key for key in sorted(occupation)
                 if key not in core_shells and key[1] >= 2
                 and occupation[key] == 4 * key[1] + 2)


# ------------------------------------------------------------ element table

def charge_suffix(charge):
    if charge == 0:
        return ""
    sign = "+" if charge > 0 else "-"
    return (str(abs(charge)) if abs(charge) > 1 else "") + sign


def build_types(elements, cordero, banks, notes):
    """The rows of the element table: elements by Z, then the ions of the banks."""
    bank_configs = {}     # label -> {(n, l): electrons}
    bank_charge = {}
    bank_z = {}
    for entries, configs in banks:
        for e in entries:
            label = e["label"]
            if label not in configs:
                continue
            occ = parse_table_configuration(configs[label], label)
            if label in bank_configs and bank_configs[label] != occ:
                fail(f"{label}: the banks give different configurations")
            bank_configs[label] = occ
        for e in entries:
            if e["label"] in bank_charge and (bank_charge[e["label"]], bank_z[e["label"]]) \
                    != (e["charge"], e["z"]):
                fail(f"{e['label']}: the banks give different Z or charge")
            bank_charge[e["label"]] = e["charge"]
            bank_z[e["label"]] = e["z"]
            expected = e["label"]
            symbol = elements[e["z"]]["symbol"] + charge_suffix(e["charge"])
            if symbol != expected:
                fail(f"bank label {expected} does not match Z {e['z']}, charge {e['charge']}")
    # Every type needs a configuration from one of the tables (Clementi-Roetti
    # leaves out Br-, which the other table gives).
    for label in bank_charge:
        if label not in bank_configs:
            fail(f"{label}: no configuration in any bank")

    ions = sorted((l for l in bank_charge if bank_charge[l] != 0),
                  key=lambda l: (bank_z[l], bank_charge[l]))
    element_count = TYPE_CAPACITY - len(ions)
    highest_bank_z = max(bank_z[l] for l in bank_charge if bank_charge[l] == 0)
    if element_count < highest_bank_z:
        fail(f"{len(ions)} ion types leave room for only {element_count} elements")

    rows = []
    cores = {}
    for z in range(1, element_count + 1):
        el = elements[z]
        if not el["config"]:
            fail(f"element {z} has no configuration")
        core, occ = parse_element_configuration(el["config"], z)
        symbol = el["symbol"]
        if symbol in bank_configs and bank_configs[symbol] != occ:
            notes.append(f"{symbol}: bodr configuration '{el['config']}' replaced by the "
                         f"banks' configuration")
            occ = bank_configs[symbol]
        if sum(occ.values()) != z:
            fail(f"{symbol}: configuration holds {sum(occ.values())} electrons, Z = {z}")
        closed = closed_subshells_below_valence(core, occ) if el["block"] == "p" else ()
        cores[z] = (core, closed)
        rows.append(make_row(el, z, symbol, configuration_text(core, occ, symbol, closed),
                             cordero, notes))
    for label in ions:
        z = bank_z[label]
        occ = bank_configs[label]
        if sum(occ.values()) != z - bank_charge[label]:
            fail(f"{label}: configuration holds {sum(occ.values())} electrons")
        # An ion keeps its element's core; the rest is valence.
        rows.append(make_row(elements[z], z, label,
                             configuration_text(*cores[z][:1], occ, label, cores[z][1]),
                             cordero, notes))
    return rows


def make_row(el, z, symbol, config, cordero, notes):
    if len(symbol) > 4:
        fail(f"symbol {symbol} longer than 4 characters")
    cov = el["cov"]
    if cov is None:
        if z not in cordero:
            fail(f"{symbol}: no covalent radius")
        cov = cordero[z]
        if symbol == el["symbol"]:
            notes.append(f"{symbol}: covalent radius {cov:.2f} from Cordero et al. (2008)")
    if el["vdw"] is None or el["rgb"] is None:
        fail(f"{symbol}: no van der Waals radius or colour")
    red, green, blue = (int(round(c * 255)) for c in el["rgb"])
    colour = (red << 16) | (green << 8) | blue
    return {"symbol": symbol, "z": z, "mass": el["mass"], "vdw": el["vdw"], "cov": cov,
            "colour": colour, "config": config}


def format_type_line(serial, row):
    # (I3,4X,A4,I3,F10.4,2F7.2,2X,I8,2X,A50)
    line = (f"{serial:3d}    {row['symbol']:<4s}{row['z']:3d}{row['mass']:10.4f}"
            f"{row['vdw']:7.2f}{row['cov']:7.2f}  {row['colour']:8d}  {row['config']:<50s}")
    assert len(line) == 100
    return line.rstrip()


def element_table_lines(rows):
    header = [
        "/ Keldana element table atoms.axp, generated by tools/make_data.py.",
        "/ Elements: Blue Obelisk Data Repository (bodr) v10, MIT licence",
        "/   (LICENSE-bodr.txt): symbol, mass, van der Waals radius, colour,",
        "/   ground-state configuration, covalent radius where it has one;",
        "/   other covalent radii: Cordero et al. (2008), public domain.",
        "/ Ion rows: the types of wavefCR.bnk and wavefSCM.bnk (DiSCaMB tables, MIT",
        "/   licence, LICENSE-DiSCaMB.txt), with the element's data.",
        "/ Columns (I3,4X,A4,I3,F10.4,2F7.2,2X,I8,2X,A50): serial, symbol, Z,",
        "/   mass, vdW radius (A), covalent radius (A), colour (R*65536+G*256+B),",
        "/   configuration ([core: noble gas, for p-block elements with the",
        "/   closed d shell below the valence] then the valence subshells).",
    ]
    assert all(len(line) <= 100 for line in header)
    return header + [format_type_line(serial, row) for serial, row in enumerate(rows, 1)]


# --------------------------------------------------------------- the banks

def sto_norm(n, zeta):
    return (2 * zeta) ** (n + 0.5) / math.sqrt(math.factorial(2 * n))


def orbital_norm(terms):
    """Integral of R^2 r^2 dr of an orbital given as (c, k, zeta, ..) terms."""
    total = 0.0
    for c1, k1, z1, *_ in terms:
        for c2, k2, z2, *_ in terms:
            n1, n2 = k1 + 1, k2 + 1
            total += (c1 * c2 * sto_norm(n1, z1) * sto_norm(n2, z2) * math.factorial(n1 + n2)
                      / (z1 + z2) ** (n1 + n2 + 1))
    return total


def bank_blocks(entry):
    """One block per symmetry: (l, [n of each function],
    {orbital n: [(coefficient text, zeta text) of each function]})."""
    by_l = {}
    for orb in entry["orbitals"]:
        if orb["n"] != int(orb["name"][0]) or "SPDF".index(orb["name"][1]) != orb["l"]:
            fail(f"{entry['label']}: orbital {orb['name']} has n {orb['n']}, l {orb['l']}")
        by_l.setdefault(orb["l"], []).append(orb)
    blocks = []
    for l in sorted(by_l):
        orbitals = sorted(by_l[l], key=lambda o: o["n"])
        if l not in ORBITALS_PER_L:
            fail(f"{entry['label']}: no bank place for l = {l}")
        ns = [o["n"] for o in orbitals]
        if ns != list(range(l + 1, l + 1 + len(ns))):
            fail(f"{entry['label']}: orbitals of l = {l} are not {l + 1}.. in a row: {ns}")
        if len(ns) > ORBITALS_PER_L[l]:
            fail(f"{entry['label']}: {len(ns)} orbitals of l = {l}")
        # Function j of a block has one n but its own exponent in every
        # orbital. Terms are matched by STO power, in file order; an orbital
        # with fewer terms of some power leaves the rest of that power's
        # functions unused (coefficient 0, exponent 0).
        powers = sorted({t[1] for o in orbitals for t in o["terms"]})
        # The published coefficients carry 5 decimals and normalise only to
        # within 3e-4; rescaled to unit norm, the occupation-weighted sums
        # give the atom's electron count.
        norms = {o["n"]: orbital_norm(o["terms"]) for o in orbitals}
        scale = {on: 1.0 / math.sqrt(norm) for on, norm in norms.items()}
        entry["worst_norm"] = max([entry.get("worst_norm", 0.0)]
                                  + [abs(norm - 1.0) for norm in norms.values()])
        slots = []                       # n of each function
        columns = {o["n"]: [] for o in orbitals}
        for k in powers:
            per_orbital = {o["n"]: [(f"{t[0] * scale[o['n']]:.7f}", t[3])
                                    for t in o["terms"] if t[1] == k]
                           for o in orbitals}
            width = max(len(terms) for terms in per_orbital.values())
            if any(len(terms) != width for terms in per_orbital.values()):
                entry["uneven"] = entry.get("uneven", "") + L_LETTERS[l]
            slots.extend([k + 1] * width)
            for on, terms in per_orbital.items():
                columns[on].extend(terms + [("0.0000000", "0.00000")] * (width - len(terms)))
        blocks.append((l, slots, columns))
    count = sum(len(b[1]) for b in blocks)
    if count > FUNCTION_CAPACITY:
        fail(f"{entry['label']}: {count} Slater functions, more than {FUNCTION_CAPACITY}")
    # The program runs over shells 1..(largest orbital count of a block);
    # every orbital must lie in that range.
    shell_count = max(len(b[2]) for b in blocks)
    top_shell = max(max(b[2]) for b in blocks)
    if top_shell > shell_count:
        fail(f"{entry['label']}: orbital in shell {top_shell} beyond the shell count "
             f"{shell_count}")
    return blocks


def format_record(n, pairs):
    """A data record: n, then (coefficient, exponent) pairs, three pairs a line."""
    lines = []
    for start in range(0, len(pairs), 3):
        head = f"{n:3d}" if start == 0 else "   "
        body = "".join(f" {c:>11s} {z:>10s}" for c, z in pairs[start:start + 3])
        lines.append(head + body)
    return lines


def bank_lines(entries, configs, title, header_lines, known_symbols):
    """The bank's lines and the largest norm deviation of the published orbitals."""
    lines = list(header_lines)
    for e in entries:
        label = e["label"]
        if label not in known_symbols:
            fail(f"{label} of {title} has no row in the element table")
        occ = configs[label]
        present = {(o["n"], o["l"]) for o in e["orbitals"]}
        missing = [k for k in occ if k not in present]
        if missing:
            fail(f"{label}: occupied orbitals {missing} not in {title}")
        for l, slots, columns in bank_blocks(e):
            orbital_ns = sorted(columns)
            names = " ".join(f"{n}{L_LETTERS[l]}" for n in orbital_ns)
            plural = "" if len(slots) == 1 else "s"
            lines.append(f" ATOM {label:<4s}  l={l}, {len(slots)} function{plural}: {names}")
            lines.append(f"{l:3d}{len(slots):4d}{len(orbital_ns):4d}")
            for index, n in enumerate(slots):
                lines.extend(format_record(n, [columns[on][index] for on in orbital_ns]))
    assert all(len(line) <= 80 for line in lines)
    return lines, max(e["worst_norm"] for e in entries)


def bank_header(name, source, reference_lines):
    return ([f"! Keldana wavefunction bank {name}, generated by tools/make_data.py."]
            + [f"! {line}" for line in reference_lines]
            + [f"! Numbers from DiSCaMB {source}",
               "! (github.com/discamb-project/DiSCaMB, MIT licence, LICENSE-DiSCaMB.txt).",
               "! Per atom type one block per symmetry: a line with ATOM in columns 2-5 and",
               "! the type symbol in columns 7-10; then l, number of functions, number of",
               "! orbitals; then per Slater function r^(n-1) exp(-zeta r): n and one",
               "! (coefficient, zeta) pair per orbital (l+1, l+2, ...), three pairs a line.",
               "! Coefficients are for normalised Slater functions, each orbital rescaled",
               "! to unit norm (the published 5-decimal coefficients normalise to within",
               "! 3e-4); zeta in 1/bohr (0 where the function takes no part in that",
               "! orbital)."])


# ------------------------------------------------------------- Slater table

def slater_table_lines(rows, elements, notes):
    # Source order 1s 2s 2p 3s 3p 4s 3d 4p 5s 4d 5p; the file's order is
    # 1s 2s 3s 4s 2p 3p 4p 3d 4d 4f 5s 5p.
    source_index = {"1s": 0, "2s": 1, "2p": 2, "3s": 3, "3p": 4, "4s": 5, "3d": 6,
                    "4p": 7, "5s": 8, "4d": 9, "5p": 10}
    file_order = ["1s", "2s", "3s", "4s", "2p", "3p", "4p", "3d", "4d", "4f", "5s", "5p"]
    lines = [
        "! Keldana single-zeta Slater exponents atoms.szt, generated by",
        "! tools/make_data.py. Exponents in 1/bohr: Clementi & Raimondi (1963),",
        "! J. Chem. Phys. 38, 2686, for Z <= 36; Clementi & Roetti (1974), At. Data",
        "! Nucl. Data Tables 14, 177, beyond. Numbers from DiSCaMB",
        "! src/HC_Model/ClementiRaimondiData.cpp (MIT licence, LICENSE-DiSCaMB.txt).",
        "! Columns: symbol (1-4), then from column 6 the exponents of",
        "! 1s 2s 3s 4s 2p 3p 4p 3d 4d 4f 5s 5p (0 where the atom has no such orbital).",
    ]
    previous = None
    for z in sorted(rows):
        values = rows[z]
        # The 1s exponent grows with Z (about Z - 0.3). The source's row for
        # Cs repeats the row of I word for word; such a copy is left out.
        if previous is not None and not values[0] > previous:
            copied = [y for y in rows if y < z and rows[y] == values]
            if not copied:
                fail(f"single-zeta row {z}: 1s exponent below the previous element's")
            notes.append(f"atoms.szt: source row Z = {z} ({elements[z]['symbol']}) is a copy "
                         f"of the row of Z = {copied[0]}; left out")
            continue
        if not z - 1.1 < values[0] <= z:
            fail(f"single-zeta row {z}: 1s exponent {values[0]} implausible")
        previous = values[0]
        padded = values + [0.0] * (len(source_index) - len(values))
        ordered = [0.0 if name == "4f" else padded[source_index[name]] for name in file_order]
        line = f"{elements[z]['symbol']:<4s} " + " ".join(f"{v:9.4f}" for v in ordered)
        assert len(line) <= 127
        lines.append(line)
    return lines


# -------------------------------------------------------------------- main

def main(argv):
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source", nargs="?",
                        default=os.path.join(os.path.dirname(repo), "shared", "data"),
                        help="folder of the published tables (default ../shared/data)")
    parser.add_argument("--out", default=os.path.join(repo, "data"),
                        help="output folder (default: the repository's data/)")
    args = parser.parse_args(argv)
    src = args.source
    out = args.out
    notes = []
    try:
        elements = read_elements(os.path.join(src, "elements", "elements.xml"))
        cordero = read_cordero(os.path.join(src, "elements", "covalent_radii_cordero2008.txt"))
        cr = read_sto_table(os.path.join(src, "sto", "clementi_roetti_1974.txt"))
        scm = read_sto_table(os.path.join(src, "sto", "su_coppens_macchi.txt"))
        zeta_rows = read_single_zeta(os.path.join(src, "sto", "single_zeta_exponents.txt"))

        for name, (entries, configs) in (("Clementi-Roetti", cr), ("Su-Coppens-Macchi", scm)):
            for e in entries:
                if e["label"] not in configs:
                    notes.append(f"{name} lists no configuration for {e['label']}; "
                                 f"the other table's is used")
            for label, text in configs.items():
                if "," in text:
                    notes.append(f"{name} configuration of {label} '{text}' read with "
                                 f"the full shell it stands for")
        rows = build_types(elements, cordero, (cr, scm), notes)
        merged = {}
        for _, configs in (cr, scm):
            for label, text in configs.items():
                merged[label] = parse_table_configuration(text, label)
        known = {r["symbol"] for r in rows}
        cr_lines, worst_cr = bank_lines(
            cr[0], merged, "wavefCR.bnk",
            bank_header("wavefCR.bnk", "src/HC_Model/ClementiRoettiData.cpp",
                        ["Clementi & Roetti (1974), At. Data Nucl. Data Tables 14, 177:",
                         "Roothaan-Hartree-Fock functions, H-Kr and 32 ions."]),
            known)
        scm_lines, worst_scm = bank_lines(
            scm[0], merged, "wavefSCM.bnk",
            bank_header("wavefSCM.bnk", "src/HC_Model/SuCoppensMacchiData.cpp",
                        ["Su & Coppens (1998), Acta Cryst. A54, 357; Macchi & Coppens",
                         "(2001), Acta Cryst. A57, 656: relativistic Dirac-Fock fits,",
                         "H-Xe and ions (Cs+ the one heavier type)."]),
            known)
        for name, (entries, _) in (("Clementi-Roetti", cr), ("Su-Coppens-Macchi", scm)):
            uneven = [f"{e['label']} ({''.join(sorted(set(e['uneven'])))})"
                      for e in entries if "uneven" in e]
            if uneven:
                notes.append(f"{name}: orbitals of one symmetry with different STO powers, "
                             f"spare places zero: {', '.join(uneven)}")
        notes.append(f"orbitals rescaled to unit norm; largest published norm deviation "
                     f"{worst_cr:.1e} (Clementi-Roetti), {worst_scm:.1e} (Su-Coppens-Macchi)")
        szt_lines = slater_table_lines(zeta_rows, elements, notes)

        # Written only when every table has been built, so that a failure
        # leaves the earlier files untouched.
        os.makedirs(out, exist_ok=True)
        for name, lines in (("atoms.axp", element_table_lines(rows)), ("wavefCR.bnk", cr_lines),
                            ("wavefSCM.bnk", scm_lines), ("atoms.szt", szt_lines)):
            with open(os.path.join(out, name), "w", encoding="ascii", newline="\n") as f:
                f.write("".join(line + "\n" for line in lines))
        with open(os.path.join(out, "NOTICE-Cordero2008.txt"), "w", encoding="ascii",
                  newline="\n") as f:
            f.write(CORDERO_NOTICE)
        shutil.copyfile(os.path.join(src, "sto", "LICENSE-DiSCaMB.txt"),
                        os.path.join(out, "LICENSE-DiSCaMB.txt"))
        shutil.copyfile(os.path.join(src, "elements", "LICENSE-bodr.txt"),
                        os.path.join(out, "LICENSE-bodr.txt"))
    except (DataError, OSError, ValueError, KeyError) as error:
        print(f"make_data: error: {error}", file=sys.stderr)
        return 1
    for note in notes:
        print(f"make_data: note: {note}")
    print(f"make_data: {len(rows)} element-table rows, {len(cr[0])} + {len(scm[0])} bank "
          f"types written to {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
