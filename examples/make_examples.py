#!/usr/bin/env python3
"""Write the example models and their default cluster files.

Usage: python3 examples/make_examples.py   (standard library only)

Every model is laid out exactly as Keldana's File > Save Data file as writes
it, so a model opened and saved again gives the same text. The geometries
are idealised (bond lengths and angles below, placed in a chosen cell); the
populations are illustrative values of typical magnitude, not a refinement.
examples/README.md describes each model. The script prints the bond lengths
and the shortest contacts between molecules as they are after rounding the
coordinates to the six decimals of the file.
"""

import itertools
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Deformation exponents in 1/bohr: twice the single-zeta valence exponent,
# the sum of the 2s and 2p exponents of data/atoms.szt (Clementi & Raimondi),
# twice the 1s exponent for hydrogen.
ZETA = {"H": 2.0 * 1.0, "C": 1.6083 + 1.5679, "N": 1.9237 + 1.9170,
        "O": 2.2458 + 2.2266, "Ne": 2.8792 + 2.8792}
RADIAL_N = {"H": [0, 1, 2, 3, 4], "C": [2, 2, 2, 3, 4], "N": [2, 2, 2, 3, 4],
            "O": [2, 2, 2, 3, 4], "Ne": [2, 2, 2, 3, 4]}
CONFIGURATION = {"H": "1s1", "C": "[He]2s2 2p2", "N": "[He]2s2 2p3",
                 "O": "[He]2s2 2p4", "Ne": "[He]2s2 2p6"}
CORE = {"H": 0, "C": 2, "N": 2, "O": 2, "Ne": 2}
VDW = {"H": 1.10, "C": 1.70, "N": 1.55, "O": 1.52}

POPULATION_FORMATS = [(32, 1), (24, 3), (16, 5), (8, 7), (0, 9)]
CLUSTER_TITLE = "Generation of the symmetry-related atoms in the given space"
CLUSTER_HEADER = " symm.       translations        appl.for atoms  No.in list"


# ------------------------------------------------------------ cell geometry

def orthogonalisation(a, b, c, alpha, beta, gamma):
    ca, cb, cg = (math.cos(math.radians(x)) for x in (alpha, beta, gamma))
    sg = math.sin(math.radians(gamma))
    root = math.sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg)
    return [[a, b * cg, c * cb], [0.0, b * sg, c * (ca - cb * cg) / sg], [0.0, 0.0, c * root / sg]]


def multiply(m, v):
    return [sum(m[i][j] * v[j] for j in range(3)) for i in range(3)]


def to_fractional(m, r):
    # back substitution on the upper-triangular matrix
    z = r[2] / m[2][2]
    y = (r[1] - m[1][2] * z) / m[1][1]
    x = (r[0] - m[0][1] * y - m[0][2] * z) / m[0][0]
    return [x, y, z]


def rotation_zyz(alpha, beta, gamma):
    def rz(t):
        t = math.radians(t)
        return [[math.cos(t), -math.sin(t), 0], [math.sin(t), math.cos(t), 0], [0, 0, 1]]

    def ry(t):
        t = math.radians(t)
        return [[math.cos(t), 0, math.sin(t)], [0, 1, 0], [-math.sin(t), 0, math.cos(t)]]

    def product(p, q):
        return [[sum(p[i][k] * q[k][j] for k in range(3)) for j in range(3)] for i in range(3)]

    return product(rz(alpha), product(ry(beta), rz(gamma)))


# ------------------------------------------------------------ Fortran layout

def f(value, width, decimals):
    text = "%*.*f" % (width, decimals, value)
    if text.strip("-0. ") == "" and text.strip().startswith("-"):
        raise ValueError("a negative zero would be written: %r" % value)
    return text


def a80(text):
    assert len(text) <= 80, text
    return text.ljust(80)


class Atom:
    def __init__(self, label, element, frac, l_max, frame, kappa, pv, populations, occupancy=1.0):
        self.label, self.element, self.frac = label, element, frac
        self.l_max, self.frame = l_max, frame
        self.kappa, self.pv, self.populations = kappa, pv, populations
        self.occupancy = occupancy


def kdn_records(title, cell, atoms, dummies, header, centring, lattice, cards):
    records = [a80(title), "".join(f(x, 9, 4) for x in cell), "%12d%12d" % (len(atoms), len(dummies))]
    for atom in atoms:
        records.append(atom.label.ljust(8) + "".join(f(x, 12, 6) for x in atom.frac)
                       + " " * 5 + f(atom.occupancy, 8, 6))
    for label, frac in dummies:
        records.append(label.ljust(8) + "".join(f(x, 12, 6) for x in frac))
    for atom in atoms:
        e = atom.element
        f1, letter1, f2, f3, letter2 = atom.frame
        records.append("%6d%6d%6d   %s%6d%6d   %s%s/* atom: %s */"
                       % (atom.l_max, CORE[e], f1, letter1, f2, f3, letter2, " " * 10, atom.label.ljust(6)[:6]))
        records.append(a80(CONFIGURATION[e]))
        powers = RADIAL_N[e][:atom.l_max + 1]
        records.append("%6d" % powers[0] + "".join("  %6d" % n for n in powers[1:]))
        records.append("".join(f(round(ZETA[e], 4), 8, 4) for _ in powers))
        records.append("".join(f(k, 9, 6) for k in atom.kappa))
        records.append(" " * 32 + f(atom.pv, 8, 4))
        for l in range(atom.l_max + 1):
            indent, count = POPULATION_FORMATS[l]
            level = [atom.populations.get((l, m), 0.0) for m in range(-l, l + 1)]
            assert len(level) == count
            records.append(" " * indent + "".join(f(p, 8, 4) for p in level))
        unknown = [lm for lm in atom.populations if lm[0] > atom.l_max or abs(lm[1]) > lm[0]]
        assert not unknown, (atom.label, unknown)
    records.append(a80(header))
    records.append(centring.ljust(20) + " /" + lattice)
    for card in cards:
        # three rows, each a translation and two variable fields of 3 characters
        fields = [field for row in card for field in (row[0].rjust(3), row[1].rjust(3), row[2].rjust(3))]
        # (3(3A3,1X)): a blank after each row, the last one not written
        records.append(" ".join("".join(fields[3 * row:3 * row + 3]) for row in range(3)))
    records.append("END")
    return records


def cluster_records(entries, independent_atom_count):
    records = [CLUSTER_TITLE.ljust(60), CLUSTER_HEADER.ljust(60)]
    number = independent_atom_count + 1
    for operation, translation, first, last in entries:
        line = ("%3d" % operation + " " * 3 + "".join(" " + f(t, 8, 5) for t in translation)
                + " " * 3 + "%5d%5d" % (first, last) + " " * 6 + "%3d" % number)
        records.append(line.ljust(60))
        number += last - first + 1
    return records


def write(path, records):
    with open(os.path.join(HERE, path), "w", newline="\n") as out:
        for record in records:
            out.write(record + "\n")


# ------------------------------------------------------------ checks

def apply_card(card, p):
    out = []
    for row in card:
        value = {"": 0.0, "1/2": 0.5}[row[0].strip()]
        for field in row[1:]:
            field = field.strip()
            if field:
                sign = -1.0 if field.startswith("-") else 1.0
                value += sign * p["XYZ".index(field[-1])]
        out.append(value)
    return out


def report_geometry(name, m, atoms, operators, bonds):
    print(name)
    cart = {a.label: multiply(m, a.frac) for a in atoms}
    # a primed label is the atom's image through the inversion centre at the origin
    cart.update({a.label + "'": multiply(m, [-x for x in a.frac]) for a in atoms})
    for a, b in bonds:
        print("  %-4s %-4s %.4f" % (a, b, math.dist(cart[a], cart[b])))
    # shortest contacts between the molecule at the origin and the others
    sites = [(a, a.frac) for a in atoms] + [(a, [-x for x in a.frac]) for a in atoms]
    others = []
    for op in operators:
        for t in itertools.product((-1, 0, 1), repeat=3):
            for a in atoms:
                p = apply_card(op, a.frac)
                others.append((a, [p[i] + t[i] for i in range(3)]))
    contacts = []
    for a, p in sites:
        for b, q in others:
            d = math.dist(multiply(m, p), multiply(m, q))
            if d > 0.5 and not any(math.dist(q, s) < 1e-6 for _, s in sites):
                contacts.append((d - VDW[a.element] - VDW[b.element], d, a.label, b.label))
    contacts = sorted(set((round(e, 3), round(d, 3), min(a, b), max(a, b)) for e, d, a, b in contacts))
    for excess, d, a, b in contacts[:3]:
        print("  contact %-4s %-4s %.3f (sum of van der Waals radii %+.3f)" % (a, b, d, excess))


# ------------------------------------------------------------ the models

P1_CARDS = [[("", "X", ""), ("", "Y", ""), ("", "Z", "")]]
P21C_CARDS = [[("", "X", ""), ("", "Y", ""), ("", "Z", "")],
              [("", "-X", ""), ("1/2", "Y", ""), ("1/2", "-Z", "")]]


def free_atom(element, label, title):
    atom = Atom(label, element, [0.0, 0.0, 0.0], 0, (0, "X", 0, 0, "Y"), (1.0, 1.0),
                {"H": 1.0, "Ne": 8.0}[element], {})
    return kdn_records(title, [20.0, 20.0, 20.0, 90.0, 90.0, 90.0], [atom], [],
                       "Space group P1", "NON", "P", P1_CARDS)


def cyanogen():
    cell = [3.5, 3.7, 6.0, 96.0, 104.0, 93.0]
    m = orthogonalisation(*cell)
    theta, phi = math.radians(15.0), math.radians(69.0)
    axis = [math.sin(theta) * math.cos(phi), math.sin(theta) * math.sin(phi), math.cos(theta)]
    c_c, c_n = 1.38, 1.16
    place = lambda s: [round(x, 6) for x in to_fractional(m, [s * u for u in axis])]
    atoms = [
        # z along the molecular axis, x towards the dummy point
        Atom("C1", "C", place(c_c / 2), 4, (2, "Z", 1, 3, "X"), (0.99, 0.85), 3.90,
             {(1, 0): 0.0600, (2, 0): 0.1800, (3, 0): 0.1500, (4, 0): 0.0500}),
        Atom("N1", "N", place(c_c / 2 + c_n), 3, (1, "Z", 2, 3, "X"), (0.98, 0.90), 5.10,
             {(1, 0): -0.1000, (2, 0): 0.1500, (3, 0): -0.0500}),
    ]
    dummies = [("DUM1", [0.5, 0.5, 0.0])]
    records = kdn_records("Cyanogen NC-CN on an inversion centre, P-1, idealised geometry", cell, atoms, dummies,
                          "Space group P-1", "CEN", "P", P1_CARDS)
    inversion = [[("", "-X", ""), ("", "-Y", ""), ("", "-Z", "")]]
    report_geometry("cyanogen", m, atoms, P1_CARDS + inversion, [("C1", "N1"), ("C1", "C1'")])
    # operator 2 is the inverted copy of x, y, z: the other half of the molecule
    cluster = cluster_records([(2, (0.0, 0.0, 0.0), 1, 2)], len(atoms))
    return records, cluster


def benzoquinone():
    cell = [7.0, 6.8, 5.9, 90.0, 101.0, 90.0]
    m = orthogonalisation(*cell)
    # Half a D2h molecule in its own frame: x along O=C...C=O, y in the ring
    # plane.  C=O 1.22, C-C 1.48, C=C 1.34, C-H 1.08 Angstrom; ring angles
    # 118 degrees at C1, 121 at C2 and C3; H on the external bisector.
    half_ring = math.radians(59.0)
    c2 = [0.67, 1.48 * math.sin(half_ring), 0.0]
    c1 = [c2[0] + 1.48 * math.cos(half_ring), 0.0, 0.0]
    o1 = [c1[0] + 1.22, 0.0, 0.0]
    to_c1 = [(c1[i] - c2[i]) / 1.48 for i in range(3)]
    bisector = [-(to_c1[0] - 1.0), -to_c1[1], 0.0]
    norm = math.hypot(bisector[0], bisector[1])
    h2 = [c2[i] + 1.08 * bisector[i] / norm for i in range(3)]
    c3 = [-c2[0], c2[1], 0.0]
    h3 = [-h2[0], h2[1], 0.0]
    turn = rotation_zyz(92.5, 72.5, 302.5)
    place = lambda r: [round(x, 6) for x in to_fractional(m, multiply(turn, r))]
    # Local frames: ring carbons x along a ring bond, y in the ring plane;
    # O1 z towards C1, y in the plane; hydrogens z along C-H.
    atoms = [
        Atom("C1", "C", place(c1), 4, (4, "X", 1, 2, "Y"), (0.99, 0.85), 3.90,
             {(1, 1): 0.0500, (2, 0): -0.1500, (2, 2): 0.0500, (3, 1): -0.0300, (3, 3): 0.2800,
              (4, 0): 0.0200, (4, 2): -0.0100, (4, 4): 0.0100}),
        Atom("C2", "C", place(c2), 4, (3, "X", 2, 1, "Y"), (0.99, 0.85), 4.05,
             {(1, 1): 0.0300, (1, -1): -0.0200, (2, 0): -0.1200, (2, 2): 0.0400, (2, -2): 0.0200,
              (3, 1): 0.0200, (3, -1): -0.0100, (3, 3): 0.2500, (3, -3): 0.0100,
              (4, 0): 0.0200, (4, 2): -0.0100, (4, -2): 0.0050, (4, 4): 0.0100}),
        Atom("C3", "C", place(c3), 4, (2, "X", 3, 6, "Y"), (0.99, 0.85), 4.05,
             {(1, 1): 0.0300, (1, -1): 0.0200, (2, 0): -0.1200, (2, 2): 0.0400, (2, -2): -0.0200,
              (3, 1): 0.0200, (3, -1): 0.0100, (3, 3): 0.2500, (3, -3): -0.0100,
              (4, 0): 0.0200, (4, 2): -0.0100, (4, -2): -0.0050, (4, 4): 0.0100}),
        Atom("O1", "O", place(o1), 4, (1, "Z", 1, 2, "Y"), (0.98, 0.90), 6.15,
             {(1, 0): -0.0500, (2, 0): -0.0800, (2, 2): -0.1000, (3, 0): 0.0200, (3, 2): 0.0100,
              (4, 0): 0.0100, (4, 2): 0.0050}),
        Atom("H2", "H", place(h2), 2, (2, "Z", 2, 1, "X"), (1.10, 1.20), 0.925,
             {(1, 0): 0.1300, (2, 0): 0.0500}),
        Atom("H3", "H", place(h3), 2, (3, "Z", 3, 2, "X"), (1.10, 1.20), 0.925,
             {(1, 0): 0.1300, (2, 0): 0.0500}),
    ]
    records = kdn_records("p-Benzoquinone C6H4O2 on an inversion centre, P21/c, idealised geometry", cell, atoms, [],
                          "Space group P21/c", "CEN", "P", P21C_CARDS)
    negated = lambda field: field[1:] if field.startswith("-") else "-" + field if field else ""
    inverted = [[(row[0], negated(row[1]), negated(row[2])) for row in card] for card in P21C_CARDS]
    report_geometry("benzoquinone", m, atoms, P21C_CARDS + inverted,
                    [("C1", "O1"), ("C1", "C2"), ("C2", "C3"), ("C3", "C1'"), ("C2", "H2"), ("C3", "H3")])
    # Operators: 1 x,y,z; 2 -x,1/2+y,1/2-z; 3 -x,-y,-z; 4 x,1/2-y,1/2+z.
    # 3 completes the molecule at the origin; 2 and 4 together make a whole
    # molecule about (0,1/2,1/2), repeated at the four nearest lattice places.
    entries = [(3, (0.0, 0.0, 0.0), 1, 6)]
    for t in [(0.0, 0.0, 0.0), (0.0, -1.0, 0.0), (0.0, 0.0, -1.0), (0.0, -1.0, -1.0)]:
        entries += [(2, t, 1, 6), (4, t, 1, 6)]
    cluster = cluster_records(entries, len(atoms))
    return records, cluster


def main():
    os.makedirs(os.path.join(HERE, "free_atoms"), exist_ok=True)
    os.makedirs(os.path.join(HERE, "cyanogen"), exist_ok=True)
    os.makedirs(os.path.join(HERE, "benzoquinone"), exist_ok=True)
    write("free_atoms/hydrogen.kdn", free_atom("H", "H1", "Free hydrogen atom in a 20 Angstrom cubic cell"))
    write("free_atoms/neon.kdn", free_atom("Ne", "Ne1", "Free neon atom in a 20 Angstrom cubic cell"))
    records, cluster = cyanogen()
    write("cyanogen/cyanogen.kdn", records)
    write("cyanogen/gspace.cls", cluster)
    records, cluster = benzoquinone()
    write("benzoquinone/benzoquinone.kdn", records)
    write("benzoquinone/gspace.cls", cluster)


if __name__ == "__main__":
    main()
