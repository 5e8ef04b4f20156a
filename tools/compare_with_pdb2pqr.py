#!/usr/bin/env python3
"""Checks the template data against PDB2PQR: assigns charges to the atoms of a PDB2PQR output
file the way the module does, and compares them with the charges PDB2PQR wrote.

Usage: compare_with_pdb2pqr.py [--templates DIR] [--ff auto|amber|parse] [--names file|pdb]
                               [--details N] FILE.pqr...

What is emulated:
  - the loader's token rule for template lines ("!" starts a comment; 2 tokens = generic entry,
    3 = atom residue value; the value is the last token);
  - the lookup: key = atom label (four-character hydrogen names rotated right by one) and
    residue name, matched ignoring case; else a generic entry for the label; element-keyed files
    by element symbol; first match in file order wins;
  - chain ends: a charged N- or C-terminal amino acid is keyed by its terminal set's name
    (NALA, CHIE), as the program's hydrogen step marks it;
  - the command sequences: Amber = prot_amb.crg then nuca_amb.crg, where the second file only
    overwrites atoms it matches; PARSE = parseres.crg (and parseres.siz for radii) followed by
    the N-terminal rule: the N of each chain's first N-terminal amino acid gets exactly 1.0
    (an amino acid is N-terminal when its N is not bonded to another amino acid's C).
Names: "file" looks atoms up by the labels and residue names in the PQR file, as the program
does when it reads that file; "pdb" first turns PDB2PQR's force-field spellings back into PDB v3
names (HN -> H, HB1 -> HB3, OW -> O ...), as the program sees a structure from the PDB whose
hydrogens it named itself.
PQR files have no element column: the element comes from the atom name (leading digits dropped;
two-letter symbols only for single-atom residues named like their atom, such as CL or ZN).
Chains: by chain identifier when the file has one, otherwise a new chain starts where residue
numbers go down.

With --names pdb it also applies default.crg (formal charges plus the N-terminal rule) and
compares chain net charges with PDB2PQR's, which must agree for the same protonation states.

Exit status 0 when every structure meets the targets (internal standard residues equal to
1e-4, chain net charges within 0.01 e, no atom of a standard residue left Missing), 1 otherwise.
"""

import argparse
import math
import os
import re
import sys
from collections import Counter, OrderedDict, defaultdict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate_templates as gt  # noqa: E402  (name maps shared with the generator)

CHARGE_TOL = 1e-4
NET_TOL = 0.01

# ---------------------------------------------------------------------------------------------
# Templates as the module loads and matches them
# ---------------------------------------------------------------------------------------------

_NUMBER = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")


def parse_template_line(line):
    """(atom, residue, value) or None, by the loader's token rule."""
    tokens = []
    for token in line.split():
        if token.startswith("!"):
            break
        tokens.append(token)
    if len(tokens) < 2:
        return None
    match = _NUMBER.match(tokens[-1])
    if not match:
        return None
    value = float(match.group(0))
    residue = tokens[1] if len(tokens) >= 3 else ""
    return tokens[0], residue, value


class Template:
    def __init__(self, path):
        self.name = os.path.basename(path)
        # The module's naming rule: the first substring found decides.
        self.source, self.element_keyed = "Unknown", False
        for part, source, keyed in (("bondi.siz", "Bondi", True), ("default.siz", "Default", True),
                                    ("parseres", "Parse", False), ("default.crg", "Default", False),
                                    ("amb", "Amber", False)):
            if part in self.name:
                self.source, self.element_keyed = source, keyed
                break
        self.index = {}
        with open(path, encoding="latin-1") as f:
            for line in f:
                entry = parse_template_line(line)
                if entry:
                    key = (entry[0].upper(), entry[1].upper())
                    self.index.setdefault(key, entry[2])   # first match in file order wins

    def lookup(self, atom, prefix=""):
        """(source, value) as Template::Lookup returns them; value None when Missing. prefix:
        "N" or "C" for an atom of a charged chain end, keyed by its terminal set (NALA, CHIE)."""
        if self.element_keyed:
            value = self.index.get((atom.element.upper(), ""))
            return (self.source, value) if value is not None else ("HST", None)
        name = atom.name
        if len(name) == 4 and atom.element == "H":
            name = name[3] + name[:3]
        value = self.index.get((name.upper(), (prefix + atom.resname).upper()))
        if value is None:
            value = self.index.get((name.upper(), ""))
        return (self.source, value) if value is not None else ("Missing", None)


# ---------------------------------------------------------------------------------------------
# PQR files
# ---------------------------------------------------------------------------------------------

class Atom:
    __slots__ = ("name", "resname", "resseq", "chain", "xyz", "charge", "radius", "element",
                 "residue", "ours", "source", "ours_radius", "file_name", "file_resname")


def element_of(name, resname):
    bare = name.lstrip("0123456789")
    if bare.upper() == resname.upper() and len(bare) == 2:
        return bare[0].upper() + bare[1].lower()
    return bare[:1].upper()


def read_pqr(path):
    atoms, remarks = [], []
    with open(path, encoding="latin-1") as f:
        for number, line in enumerate(f, 1):
            if line.startswith("REMARK"):
                remarks.append(line.rstrip("\n"))
                continue
            if not line.startswith(("ATOM", "HETATM")):
                continue
            fields = [line[:6].strip()] + line[6:].split()   # serials may touch "HETATM"
            if len(fields) not in (10, 11):
                raise ValueError(f"{path}:{number}: expected 10 or 11 fields, got {len(fields)}")
            atom = Atom()
            atom.name, atom.resname = fields[2], fields[3]
            atom.chain = fields[4] if len(fields) == 11 else ""
            atom.resseq = fields[-6]
            atom.xyz = tuple(float(x) for x in fields[-5:-2])
            atom.charge, atom.radius = float(fields[-2]), float(fields[-1])
            atom.file_name, atom.file_resname = atom.name, atom.resname
            atom.element = element_of(atom.name, atom.resname)
            atoms.append(atom)
    return atoms, remarks


def detect_force_field(path, atoms, remarks):
    for remark in remarks:
        m = re.search(r"Forcefield Used:\s*(\S+)", remark)
        if m:
            return m.group(1).lower()
    base = os.path.basename(path).upper()
    for ff in ("AMBER", "PARSE"):
        if ff in base:
            return ff.lower()
    # Backbone N of internal residues: Amber -0.4157 (most residues), PARSE -0.400.
    votes = Counter()
    for a in atoms:
        if a.name == "N":
            if abs(a.charge + 0.4157) < 1e-4:
                votes["amber"] += 1
            elif abs(a.charge + 0.4) < 1e-4:
                votes["parse"] += 1
    return votes.most_common(1)[0][0] if votes else "amber"


class Residue:
    def __init__(self, chain_index, resname, resseq):
        self.chain_index, self.resname, self.resseq = chain_index, resname, resseq
        self.atoms = []

    def find(self, name):
        for a in self.atoms:
            if a.name == name:
                return a
        return None

    def label(self):
        return f"{self.resname} {self.resseq} (chain {self.chain_index + 1})"


def group_residues(atoms):
    residues, chains = [], []
    last_key, last_number, chain_id = None, None, None
    for atom in atoms:
        key = (atom.chain, atom.resseq, atom.resname)
        if key != last_key:
            number = int(re.match(r"-?\d+", atom.resseq).group(0))
            new_chain = (not chains or atom.chain != chain_id or
                         (not atom.chain and last_number is not None and number < last_number))
            if new_chain:
                chains.append([])
                chain_id = atom.chain
            residue = Residue(len(chains) - 1, atom.resname, atom.resseq)
            residues.append(residue)
            chains[-1].append(residue)
            last_key, last_number = key, number
        atom.residue = residues[-1]
        residues[-1].atoms.append(atom)
    return residues, chains


def is_amino_acid(residue):
    return all(residue.find(n) for n in ("N", "CA", "C"))


def n_terminal_flags(residues):
    """Residues whose N is not within bonding distance of another amino acid's C."""
    carbons = defaultdict(list)
    for r in residues:
        if is_amino_acid(r):
            c = r.find("C")
            carbons[tuple(int(math.floor(x / 2.0)) for x in c.xyz)].append((c, r))
    flags = {}
    for r in residues:
        if not is_amino_acid(r):
            continue
        n = r.find("N")
        cell = tuple(int(math.floor(x / 2.0)) for x in n.xyz)
        bonded = False
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    for c, owner in carbons.get((cell[0] + dx, cell[1] + dy, cell[2] + dz), ()):
                        if owner is not r and math.dist(c.xyz, n.xyz) < 1.75:
                            bonded = True
        flags[id(r)] = not bonded
    return flags


# The residue types the program marks as chain ends (HostChem::ClassifyChainEnd).
TERMINAL_TYPES = set(gt.STANDARD_AMINO_ACIDS + gt.AMBER_VARIANTS)


def c_terminal_flags(residues):
    """Residues whose C is not within bonding distance of another amino acid's N."""
    nitrogens = defaultdict(list)
    for r in residues:
        if is_amino_acid(r):
            n = r.find("N")
            nitrogens[tuple(int(math.floor(x / 2.0)) for x in n.xyz)].append((n, r))
    flags = {}
    for r in residues:
        if not is_amino_acid(r):
            continue
        c = r.find("C")
        cell = tuple(int(math.floor(x / 2.0)) for x in c.xyz)
        flags[id(r)] = not any(owner is not r and math.dist(n.xyz, c.xyz) < 1.75
                               for dx in (-1, 0, 1) for dy in (-1, 0, 1) for dz in (-1, 0, 1)
                               for n, owner in nitrogens.get((cell[0] + dx, cell[1] + dy, cell[2] + dz), ()))
    return flags


def chain_end_prefixes(residues):
    """id(residue) -> "N" or "C" for the charged chain ends the program marks: a free amine with
    all its hydrogens (when the residue has any), a carboxylate with OXT (PARSE naming: O1 and
    O2) and no HXT; a residue that is both is neither."""
    n_flags, c_flags = n_terminal_flags(residues), c_terminal_flags(residues)
    prefixes = {}
    for r in residues:
        if r.resname not in TERMINAL_TYPES or not is_amino_acid(r):
            continue
        names = {a.name for a in r.atoms}
        n_end = n_flags.get(id(r), False)
        if n_end and any(a.element == "H" for a in r.atoms):
            amine = len(names & {"H1", "H2", "H3", "HN1", "HN2", "HN3"})
            n_end = amine >= (2 if r.resname == "PRO" else 3)
        c_end = c_flags.get(id(r), False) and ("OXT" in names or {"O1", "O2"} <= names) \
            and "HXT" not in names
        if n_end != c_end:
            prefixes[id(r)] = "N" if n_end else "C"
    return prefixes


# ---------------------------------------------------------------------------------------------
# From PDB2PQR's force-field spellings back to PDB v3 names
# ---------------------------------------------------------------------------------------------

PARSE_RESIDUES_TO_OURS = {own: ours for own, ours in gt.PARSE_OWN_RESIDUE_NAMES}


class PdbNames:
    """Source spelling -> v3 name per residue, built from the generator's own maps."""

    def __init__(self, ff):
        tables = gt.find_tables()
        self.topo = gt.read_topologies(tables)
        self.ff = ff
        self.source_name = gt.amber_atom_source_name if ff == "amber" \
            else gt.parse_atom_source_name

    def residue_name(self, resname):
        if resname in ("WAT", "H2O"):
            return "HOH"
        nucleic = re.fullmatch(r"([DR])([ACGTU])[35N]?", resname)
        if nucleic:   # PDB2PQR's Amber names of nucleotides and their terminal forms
            return ("D" if nucleic.group(1) == "D" else "") + nucleic.group(2)
        if self.ff == "parse":
            return PARSE_RESIDUES_TO_OURS.get(resname, resname)
        return resname

    def v3_atoms(self, resname):
        if resname in gt.STANDARD_AMINO_ACIDS + gt.AMBER_VARIANTS + ("AR0", "TYM"):
            return gt.amino_acid_atoms(self.topo, resname)
        if resname in gt.DNA + gt.RNA:
            return gt.nucleotide_atoms(self.topo, resname)
        if resname in gt.CAP_ATOMS:
            return gt.CAP_ATOMS[resname]
        if resname == "HOH":
            return gt.WATER_ATOMS
        return ()

    def rename(self, residue):
        ours = self.residue_name(residue.resname)
        inverse = {}
        for v3 in self.v3_atoms(ours):
            inverse.setdefault(self.source_name(ours, v3), []).append(v3)
        terminal = {"H5T": ["HO5'"], "H3T": ["HO3'"]}
        if self.ff == "parse":
            terminal.update({"O1": ["O"], "O2": ["OXT"]})
            if ours == "PRO":
                terminal.update({"HN1": ["H2"], "HN2": ["H3"]})
        for atom in residue.atoms:
            names = inverse.get(atom.name) or terminal.get(atom.name)
            if names:
                atom.name = names.pop(0) if len(names) > 1 else names[0]
            atom.resname = ours
        residue.resname = ours


# ---------------------------------------------------------------------------------------------
# Assignment and comparison
# ---------------------------------------------------------------------------------------------

def apply_charge_template(atoms, template, prefixes):
    for atom in atoms:
        source, value = template.lookup(atom, prefixes.get(id(atom.residue), ""))
        if source != "Missing" or atom.source == "Missing":
            atom.ours = value if value is not None else 0.0
            atom.source = source


def assign(atoms, residues, chains, ff, templates_dir):
    """ff: "amber", "parse" or "default" (the command that uses default.crg)."""
    for atom in atoms:
        atom.ours, atom.source, atom.ours_radius = 0.0, "Missing", None
    files = {"amber": ("prot_amb.crg", "nuca_amb.crg"), "parse": ("parseres.crg",),
             "default": ("default.crg",)}[ff]
    # Only the commands that add hydrogens mark chain ends.
    prefixes = chain_end_prefixes(residues) if ff != "default" else {}
    for name in files:
        template = Template(os.path.join(templates_dir, name))
        apply_charge_template(atoms, template, prefixes)
        if template.source != "Amber":
            flags = n_terminal_flags(residues)
            for chain in chains:
                for residue in chain:
                    if is_amino_acid(residue) and flags.get(id(residue)):
                        n = residue.find("N")
                        n.ours, n.source = 1.0, template.source
                        break
    if ff == "parse":
        radii = Template(os.path.join(templates_dir, "parseres.siz"))
        for atom in atoms:
            source, value = radii.lookup(atom, prefixes.get(id(atom.residue), ""))
            atom.ours_radius = value if value is not None else 0.0


STANDARD = set(gt.STANDARD_AMINO_ACIDS + gt.AMBER_VARIANTS + gt.DNA + gt.RNA +
               ("AR0", "TYM", "HOH", "WAT", "H2O", "ACE", "NME", "NH2") +
               tuple(own for own, _ in gt.PARSE_OWN_RESIDUE_NAMES))
PROTEIN_TERMINAL_ATOMS = {"H1", "H2", "H3", "OXT", "O1", "O2", "HN1", "HN2"}
NUCLEIC_TERMINAL_ATOMS = {"H5T", "H3T", "HO5'", "HO3'"}


def has_terminal_atoms(residue):
    if residue.find("C1'"):
        return any(a.file_name in NUCLEIC_TERMINAL_ATOMS for a in residue.atoms)
    if is_amino_acid(residue):
        return any(a.file_name in PROTEIN_TERMINAL_ATOMS for a in residue.atoms)
    return False


def compare(path, args):
    atoms, remarks = read_pqr(path)
    ff = args.ff if args.ff != "auto" else detect_force_field(path, atoms, remarks)
    residues, chains = group_residues(atoms)
    for r in residues:
        r.file_resname = r.resname
    if args.names == "pdb":
        names = PdbNames(ff)
        for r in residues:
            names.rename(r)
    assign(atoms, residues, chains, ff, args.templates)
    flags = n_terminal_flags(residues)

    def terminal(residue):
        if residue.resname in ("HOH", "WAT", "H2O"):
            return False
        return flags.get(id(residue), False) or has_terminal_atoms(residue)

    total = len(atoms)
    equal = sum(abs(a.ours - a.charge) <= CHARGE_TOL + 1e-9 for a in atoms)
    internal = [a for a in atoms if a.residue.resname in STANDARD and not terminal(a.residue)]
    internal_equal = sum(abs(a.ours - a.charge) <= CHARGE_TOL + 1e-9 for a in internal)
    term = [a for a in atoms if terminal(a.residue)]
    term_equal = sum(abs(a.ours - a.charge) <= CHARGE_TOL + 1e-9 for a in term)
    worst = max(atoms, key=lambda a: abs(a.ours - a.charge))
    missing = [a for a in atoms if a.source == "Missing"]

    ok = True
    print(f"{os.path.basename(path)}: force field {ff.upper()}, names {args.names}, "
          f"{total} atoms, {len(residues)} residues, {len(chains)} chains")
    print(f"  charge equal to PDB2PQR's (|dq| <= {CHARGE_TOL:g}): {equal}/{total} "
          f"({100.0 * equal / total:.2f} %)")
    print(f"    internal residues: {internal_equal}/{len(internal)}; "
          f"terminal residues: {term_equal}/{len(term)}")
    if internal_equal != len(internal):
        ok = False
    print(f"  largest |dq|: {abs(worst.ours - worst.charge):.4f} e at {worst.file_name} "
          f"{worst.residue.label()}: ours {worst.ours:.4f}, PDB2PQR {worst.charge:.4f}")
    for i, chain in enumerate(chains):
        ours = sum(a.ours for r in chain for a in r.atoms)
        theirs = sum(a.charge for r in chain for a in r.atoms)
        kinds = Counter("water" if r.resname in ("HOH", "WAT", "H2O") else "polymer"
                        for r in chain)
        flag = "" if abs(ours - theirs) <= NET_TOL else "   <-- differs"
        if flag:
            ok = False
        print(f"  chain {i + 1} ({kinds['polymer']} residues, {kinds['water']} waters): "
              f"net {ours:+.4f} e, PDB2PQR {theirs:+.4f} e{flag}")
    # Formal charges: default.crg with the N-terminal rule must give the same chain charges
    # (default.crg knows PDB names only, so this needs --names pdb).
    saved = [(a.ours, a.source, a.ours_radius) for a in atoms]
    assign(atoms, residues, chains, "default", args.templates)
    for i, chain in enumerate(chains if args.names == "pdb" else ()):
        ours = sum(a.ours for r in chain for a in r.atoms)
        theirs = sum(a.charge for r in chain for a in r.atoms)
        flag = "" if abs(ours - theirs) <= NET_TOL else "   <-- differs"
        if flag:
            ok = False
        print(f"  chain {i + 1} with default.crg: net {ours:+.4f} e, "
              f"{sum(a.source == 'Missing' for r in chain for a in r.atoms)} atoms Missing{flag}")
    for a, (q, source, radius) in zip(atoms, saved):
        a.ours, a.source, a.ours_radius = q, source, radius
    missing_standard = [a for a in missing if a.residue.resname in STANDARD]
    if missing_standard:
        ok = False
    print(f"  Missing: {len(missing)} atoms" + (
        ": " + ", ".join(f"{n}x {name} {res}" for (name, res), n in
                         Counter((a.file_name, a.file_resname) for a in missing)
                         .most_common(args.details)) if missing else ""))
    if ff == "parse":
        r_equal = sum(abs(a.ours_radius - a.radius) <= CHARGE_TOL + 1e-9 for a in atoms)
        print(f"  radius equal to PDB2PQR's: {r_equal}/{total}")
        radius_diffs = Counter((a.file_name, a.file_resname, a.ours_radius, a.radius)
                               for a in atoms if abs(a.ours_radius - a.radius) > CHARGE_TOL)
        for (name, res, o, t), n in radius_diffs.most_common(args.details):
            print(f"    {n}x radius {name} {res}: ours {o:.3f}, PDB2PQR {t:.3f}")
    diffs = Counter()
    for a in atoms:
        if abs(a.ours - a.charge) > CHARGE_TOL:
            where = "terminal" if terminal(a.residue) else "internal"
            diffs[(where, a.file_name, a.file_resname, round(a.ours, 4), round(a.charge, 4))] += 1
    if diffs:
        print(f"  differences ({len(diffs)} kinds, most frequent first):")
        for (where, name, res, o, t), n in diffs.most_common(args.details):
            print(f"    {n}x {where} {name} {res}: ours {o:+.4f}, PDB2PQR {t:+.4f}")
    return ok


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("pqr", nargs="+")
    parser.add_argument("--templates",
                        default=os.path.join(here, "..", "share", "voltra", "templates"))
    parser.add_argument("--ff", choices=("auto", "amber", "parse"), default="auto")
    parser.add_argument("--names", choices=("file", "pdb"), default="file")
    parser.add_argument("--details", type=int, default=12,
                        help="how many kinds of difference to list (default 12)")
    args = parser.parse_args(argv)
    ok = True
    for path in args.pqr:
        ok = compare(path, args) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
