#!/usr/bin/env python3
"""Writes the seven template files of share/voltra/templates from their published sources.

Sources (read at generation time only; the program never needs them):
  - AMBER.DAT, PARSE.DAT, AA.xml and NA.xml as distributed with PDB2PQR 3.5.2 (Debian package
    pdb2pqr): Amber ff99 charges, PARSE charges and radii, and the residue topologies that give
    the atom names of each residue;
  - Bondi, J. Phys. Chem. 68, 441 (1964), table I (van der Waals radii, written out below);
  - formal charges of our own design for default.crg (documented in that file's header);
  - ions and crystallisation additives (SO4 PO4 ACT GOL EDO): atoms, bonds and charges from the
    CCP4 monomer library as distributed with refmac-dictionary 5.41 (Debian package
    refmac-dictionary, /usr/share/refmac/monomers); ion radii from Shannon, Acta Cryst. A32, 751
    (1976), written out below.

Usage: generate_templates.py [--out DIR] [--tables DIR] [--monomers DIR] [--report]
The output is deterministic byte for byte. Standard library only.

File layout (read by the module's token-based loader): "!" comment lines naming sources and
choices, the column-header line, then one entry per line. Entries use the exporter's fixed
columns ("%-6s%-3s%-4s%1s%8.3f") when every value of the file has at most three decimals, and
otherwise whitespace-separated tokens "ATOM RES VALUE" that keep every decimal of the source.
Residue number and chain are never written: they take no part in matching.
"""

import argparse
import hashlib
import importlib.util
import os
import sys
import xml.etree.ElementTree as ElementTree
from collections import OrderedDict
from decimal import Decimal

PDB2PQR_VERSION = "3.5.2"

# The tables this data set was built from. A different table would silently change the data,
# so the generator refuses it; update the digest deliberately and regenerate.
EXPECTED_SHA256 = {
    "AMBER.DAT": "bed91fdc2f3555bcdccf9040ce6fe3d1638e39f038ba3dae9b678b3cc94ccf38",
    "PARSE.DAT": "3116d3998f92ec3376742f53d66704f7e0f14df809dd02f0e58218be22fac129",
    "AA.xml": "39c0242ff8410484225a71d2033004692203992853deafaeb542ae4411e24cef",
    "NA.xml": "ebf73475aed630605b14a4de46d2f71198a3a23d138c42707f62765408dd520d",
}

OUTPUT_FILES = ("default.crg", "default.siz", "bondi.siz", "parseres.crg", "parseres.siz",
                "prot_amb.crg", "nuca_amb.crg")

CHARGE_HEADER = "atom__resnumbc_charge_"
RADIUS_HEADER = "atom__resnumbc_radius_"

ZERO = Decimal(0)
ONE = Decimal(1)

# ---------------------------------------------------------------------------------------------
# Residues and their atom names (PDB format v3 names, as the structure reader labels atoms)
# ---------------------------------------------------------------------------------------------

STANDARD_AMINO_ACIDS = ("ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE",
                        "LEU", "LYS", "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL")
# Protonation variants under their Amber names.
AMBER_VARIANTS = ("ASH", "CYM", "CYX", "GLH", "HID", "HIE", "HIP", "LYN")
CAPS = ("ACE", "NME", "NH2")
WATER_NAMES = ("HOH", "WAT")
DNA = ("DA", "DC", "DG", "DT")
RNA = ("A", "C", "G", "U")
NUCLEIC_BASE = {"DA": "A", "DC": "C", "DG": "G", "DT": "T", "A": "A", "C": "C", "G": "G",
                "U": "U"}

N_TERMINAL_HYDROGENS = ("H1", "H2", "H3")

# Caps as the wwPDB chemical component dictionary names them (ACE without its aldehyde H).
CAP_ATOMS = {
    "ACE": ("C", "O", "CH3", "H1", "H2", "H3"),
    "NME": ("N", "H", "C", "H1", "H2", "H3"),
    "NH2": ("N", "HN1", "HN2"),
}
WATER_ATOMS = ("O", "H1", "H2")


def is_hydrogen_name(name):
    """True for the hydrogen names of the residues written here (H, D, or digits then H)."""
    return name.lstrip("0123456789")[:1] in ("H", "D")


def lookup_key(name):
    """The key the module looks an atom up by: four-character hydrogen names rotated right."""
    if len(name) == 4 and is_hydrogen_name(name):
        return name[3] + name[:3]
    return name


def read_topologies(tables):
    """Residue name -> atom names, from PDB2PQR's AA.xml and NA.xml, in file order."""
    topo = OrderedDict()
    for fname in ("AA.xml", "NA.xml"):
        root = ElementTree.parse(os.path.join(tables, fname)).getroot()
        for residue in root.findall("residue"):
            topo[residue.findtext("name")] = [a.findtext("name") for a in residue.findall("atom")]
    return topo


def amino_acid_atoms(topo, resname):
    """PDB v3 atom names of an internal amino-acid residue (no terminal atoms)."""
    def without(base, *names):
        return [a for a in topo[base] if a not in names]

    def adding(base, after, new):
        atoms = list(topo[base])
        atoms.insert(atoms.index(after) + 1, new)
        return atoms

    if resname in STANDARD_AMINO_ACIDS and resname != "HIS":
        return list(topo[resname])
    variants = {
        "HIS": lambda: without("HIS", "HD1"),   # plain HIS is the N-epsilon tautomer, see header
        "HIE": lambda: without("HIS", "HD1"),
        "HID": lambda: without("HIS", "HE2"),
        "HIP": lambda: list(topo["HIS"]),
        "ASH": lambda: adding("ASP", "HB3", "HD2"),
        "GLH": lambda: adding("GLU", "HG3", "HE2"),
        "CYX": lambda: without("CYS", "HG"),
        "CYM": lambda: without("CYS", "HG"),
        "LYN": lambda: without("LYS", "HZ1"),    # plus HZ1, see EQUIVALENT_NAMES
        "AR0": lambda: without("ARG", "HE"),
        "TYM": lambda: without("TYR", "HH"),
    }
    return variants[resname]()


# Names that stand for the same atom as another name of the residue: which two of a neutral
# lysine's HZ1..HZ3 a structure keeps is not fixed (the two values are equal in both sources).
EQUIVALENT_NAMES = {"LYN": (("HZ1", "HZ2"),)}


def nucleotide_atoms(topo, resname):
    """PDB v3 atom names of an internal nucleotide (with its 5' phosphate, no terminal H)."""
    base = NUCLEIC_BASE[resname]
    if resname == "DT":
        atoms = list(topo["DT"])
    else:
        atoms = list(topo["R" + base])
        if resname in DNA:  # deoxyribose: no O2', a second H on C2'
            atoms = [a for a in atoms if a not in ("O2'", "H2''")]
            atoms.insert(atoms.index("H2'") + 1, "H2''")
    rename = {"O1P": "OP1", "O2P": "OP2"}
    if resname in RNA:
        rename["H2''"] = "HO2'"  # PDB2PQR's spelling of the 2'-hydroxyl hydrogen
    return [rename.get(a, a) for a in atoms]


# ---------------------------------------------------------------------------------------------
# Source tables
# ---------------------------------------------------------------------------------------------

class SourceError(Exception):
    pass


def find_tables():
    spec = importlib.util.find_spec("pdb2pqr")
    if spec is not None and spec.submodule_search_locations:
        for loc in spec.submodule_search_locations:
            candidate = os.path.join(loc, "dat")
            if os.path.isdir(candidate):
                return candidate
    return "/usr/lib/python3/dist-packages/pdb2pqr/dat"


def check_tables(tables):
    for fname, digest in EXPECTED_SHA256.items():
        path = os.path.join(tables, fname)
        if not os.path.isfile(path):
            raise SourceError(f"{path}: not found; install the Debian package pdb2pqr "
                              f"(or pass --tables DIR holding PDB2PQR's dat files)")
        actual = sha256_of(path)
        if actual != digest:
            raise SourceError(f"{path}: sha256 {actual} differs from the PDB2PQR "
                              f"{PDB2PQR_VERSION} table this data set is built from ({digest}); "
                              f"if the new table is intended, update EXPECTED_SHA256 and "
                              f"the documentation, then regenerate")


def read_dat(path):
    """PDB2PQR parameter table: residue -> atom -> (charge, radius), decimals as written."""
    table = OrderedDict()
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if line.startswith("#") or not line.split():
                continue
            fields = line.split()
            atoms = table.setdefault(fields[0], OrderedDict())
            if fields[1] in atoms:
                raise SourceError(f"{path}:{number}: atom '{fields[1]}' twice in {fields[0]}")
            atoms[fields[1]] = (Decimal(fields[2]), Decimal(fields[3]))
    return table


def sha256_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# ---------------------------------------------------------------------------------------------
# Name translation: PDB v3 atom name -> the source's atom name (after PDB2PQR's AMBER.names and
# PARSE.names), and our residue name -> the source's residue name
# ---------------------------------------------------------------------------------------------

NUCLEIC_SOURCE_NAMES = {"OP1": "O1P", "OP2": "O2P", "H5'": "H5'1", "H5''": "H5'2", "H2'": "H2'1",
                        "H2''": "H2'2", "HO2'": "HO'2", "HO5'": "H5T", "HO3'": "H3T"}


def amber_atom_source_name(resname, atom):
    if resname in DNA + RNA:
        return NUCLEIC_SOURCE_NAMES.get(atom, atom)
    if resname in WATER_NAMES:
        return {"O": "OW", "H1": "HW", "H2": "HW"}[atom]
    if resname == "ACE":
        return {"H1": "HH31", "H2": "HH32", "H3": "HH33"}.get(atom, atom)
    if resname == "NME":
        return {"C": "CH3", "H1": "HH31", "H2": "HH32", "H3": "HH33"}.get(atom, atom)
    return atom


def parse_atom_source_name(resname, atom):
    if resname in DNA + RNA:
        return NUCLEIC_SOURCE_NAMES.get(atom, atom)
    if resname in WATER_NAMES + ("H2O",):
        return {"O": "OH", "H1": "HH1", "H2": "HH2"}[atom]
    if resname == "ACE":
        return {"CH3": "CA", "H1": "HA1", "H2": "HA2", "H3": "HA3"}.get(atom, atom)
    if resname == "NME":
        return {"C": "CA", "H": "HN1", "H1": "HA1", "H2": "HA2", "H3": "HA3"}.get(atom, atom)
    if resname == "LYN" and atom == "HZ3":
        return "HZ1"  # PARSE's neutral lysine has HZ1 and HZ2 (equal charges)
    # PARSE spells methylene hydrogens 1 and 2 where PDB v3 has 2 and 3.
    if atom == "H":
        return "HN"
    if atom == "HA3":
        return "HA1"
    if atom == "HB3" and resname != "ALA":
        return "HB1"
    if atom == "HG3" and resname not in ("ILE", "VAL"):
        return "HG1"
    if atom == "HD3" and resname not in ("ILE", "LEU"):
        return "HD1"
    if atom == "HE3" and resname not in ("MET", "TRP"):
        return "HE1"
    if atom == "HG13" and resname == "ILE":
        return "HG11"
    return atom


AMBER_RESIDUE_SOURCE = {"HIS": "HIE", "NH2": "NHE", "HOH": "WAT", "WAT": "WAT"}
AMBER_RESIDUE_SOURCE.update({r: "R" + r for r in RNA})

# Our residue name -> PARSE's; PARSE's own spellings are written as residues of their own too.
PARSE_RESIDUE_SOURCE = {"HIS": "HIS", "HIE": "HIS", "HID": "HID", "HIP": "HI+", "ASH": "AS0",
                        "GLH": "GL0", "CYX": "CSS", "CYM": "CY-", "LYN": "LY0", "AR0": "AR0",
                        "TYM": "TY-", "NME": "N-M", "HOH": "H2O", "WAT": "H2O"}
PARSE_RESIDUE_SOURCE.update({r: "R" + r for r in RNA})
# PARSE's own residue names (as PDB2PQR writes them with PARSE naming) and the residue whose
# entries they share.
PARSE_OWN_RESIDUE_NAMES = (("AS0", "ASH"), ("GL0", "GLH"), ("CSS", "CYX"), ("CY-", "CYM"),
                           ("HI+", "HIP"), ("LY0", "LYN"), ("TY-", "TYM"), ("H2O", "HOH"))


# ---------------------------------------------------------------------------------------------
# Entries
# ---------------------------------------------------------------------------------------------

class Block:
    """The entries of one residue name: PDB v3 names first, then the source's own spellings."""

    def __init__(self, resname, internal=()):
        self.resname = resname
        self.internal = list(internal)  # v3 atoms of the internal residue (for checks)
        self.entries = OrderedDict()    # lookup key -> value
        self.dropped = []               # aliases left out because a v3 name holds another value
        self.chain_end = None           # "N" or "C" for a terminal residue's own set

    def value(self, atom):
        return self.entries[lookup_key(atom)]

    def add(self, atom, value):
        key = lookup_key(atom)
        if key in self.entries:
            raise SourceError(f"{self.resname}: two entries for {atom}")
        self.entries[key] = value

    def add_alias(self, atom, value):
        key = lookup_key(atom)
        if key in self.entries:
            if self.entries[key] != value:
                self.dropped.append((atom, value))
            return
        self.entries[key] = value


def split_evenly(total, parts, quantum):
    """parts values in steps of quantum that add up to total exactly, as equal as possible."""
    units = int((total / quantum).to_integral_value())
    if units * quantum != total:
        raise SourceError(f"{total} is not a multiple of {quantum}")
    base, rest = divmod(units, parts)
    return [(base + (1 if i < rest else 0)) * quantum for i in range(parts)]


def quantum_of(*values):
    exponent = min(v.normalize().as_tuple().exponent for v in values if v != 0)
    return Decimal(1).scaleb(min(exponent, -3))


class ForceField:
    """Per-atom values of one source, keyed by our residue names and PDB v3 atom names."""

    def __init__(self, name, table, column, residue_source, atom_source):
        self.name = name
        self.table = table
        self.column = column          # 0 = charge, 1 = radius
        self.residue_source = residue_source
        self.atom_source = atom_source

    def source_residue(self, resname):
        return self.residue_source.get(resname, resname)

    def internal(self, resname, atoms):
        """v3 atom -> value for the internal residue, checked complete both ways."""
        src_res = self.source_residue(resname)
        if src_res not in self.table:
            raise SourceError(f"{self.name}: no residue {src_res} for {resname}")
        src = self.table[src_res]
        values = OrderedDict()
        used = set()
        for atom in atoms:
            src_atom = self.atom_source(resname, atom)
            if src_atom not in src:
                raise SourceError(f"{self.name}: {src_res} has no atom {src_atom} (for {atom})")
            values[atom] = src[src_atom][self.column]
            used.add(src_atom)
        return values, used


def amino_acid_block(ff, resname, topo, terminal):
    """Entries of one amino acid: internal atoms, then terminal atoms, then source aliases."""
    atoms = amino_acid_atoms(topo, resname)
    values, used = ff.internal(resname, atoms)
    block = Block(resname, atoms)
    for atom, value in values.items():
        block.add(atom, value)
    for extra, same_as in EQUIVALENT_NAMES.get(resname, ()):
        block.add(extra, values[same_as])
    for atom, value in terminal(resname, values).items():
        block.add(atom, value)
    add_source_aliases(ff, resname, block, values, used)
    return block


def add_source_aliases(ff, resname, block, values, used):
    src = ff.table[ff.source_residue(resname)]
    for atom in values:
        src_atom = ff.atom_source(resname, atom)
        if src_atom != atom:
            block.add_alias(src_atom, values[atom])
    for src_atom, params in src.items():
        if src_atom not in used:
            block.add_alias(src_atom, params[ff.column])


# Terminal rules. Templates are keyed by atom and residue name only, so the atoms that terminal
# and internal residues share carry internal values; the terminal-only atoms take values that
# make every terminal residue's net charge an integer.

def amber_terminal_charges(resname, values):
    """N-terminus: H1..H3 share 1 + q(H) (Pro: any two of them carry +1); C-terminus: OXT -1."""
    out = OrderedDict()
    if resname == "PRO":
        out.update((h, Decimal("0.5")) for h in N_TERMINAL_HYDROGENS)
    else:
        total = ONE + values["H"]
        out.update(zip(N_TERMINAL_HYDROGENS, split_evenly(total, 3, quantum_of(values["H"]))))
    out["OXT"] = -ONE
    return out


def parse_terminal_charges(resname, values):
    """The module sets N to 1.0 here: H1..H3 then add up to q(N) + q(H) of the internal residue.

    With N at 1.0 an N-terminal residue carries internal - q(N) - q(H) + 1.0 + sum(H1..H3),
    which is internal + 1 when the hydrogens add up to q(N) + q(H): 0 in PARSE for all but
    proline, whose N (-0.56, no H) leaves its two amine hydrogens -0.28 each.
    """
    out = OrderedDict()
    target = values["N"] + values.get("H", ZERO)
    if resname == "PRO":
        out.update((h, target / 2) for h in N_TERMINAL_HYDROGENS)
    else:
        out.update(zip(N_TERMINAL_HYDROGENS, split_evenly(target, 3, Decimal("0.001"))))
    out["OXT"] = -ONE
    return out


def parse_terminal_radii(table):
    """Amine hydrogens take the radius of PARSE's neutral N-terminus (BKN), which keeps N at the
    internal 1.5 as these files do; OXT that of the charged C-terminus (BK- O2)."""
    def radii(resname, values):
        out = OrderedDict((h, table["BKN"]["H1"][1]) for h in N_TERMINAL_HYDROGENS)
        out["OXT"] = table["BK-"]["O2"][1]
        return out
    return radii


def nucleotide_block(ff, resname, topo, terminal):
    atoms = nucleotide_atoms(topo, resname)
    values, used = ff.internal(resname, atoms)
    block = Block(resname, atoms)
    for atom, value in values.items():
        block.add(atom, value)
    for atom, value in terminal(resname, values).items():
        block.add(atom, value)
        block.add_alias(NUCLEIC_SOURCE_NAMES.get(atom, atom), value)
    add_source_aliases(ff, resname, block, values, used)
    return block


def nucleic_terminal_charges(resname, values):
    """5' end (no phosphate): HO5' makes the residue neutral; 3' end: HO3' 0 keeps it at -1."""
    phosphate = values["P"] + values["OP1"] + values["OP2"]
    internal_total = sum(values.values())
    return OrderedDict((("HO5'", -(internal_total - phosphate)), ("HO3'", ZERO)))


def copy_block(block, resname):
    new = Block(resname, block.internal)
    new.entries = OrderedDict(block.entries)
    new.dropped = list(block.dropped)
    new.chain_end = block.chain_end
    return new


# Terminal residue sets. The program keys a charged chain end by its type name prefixed as Amber
# names its terminal residues (N-terminal ALA as NALA, C-terminal HIE as CHIE), so every file
# keyed by residue carries an N and a C set of each amino acid the internal sets cover.

TERMINAL_AMINO_ACIDS = STANDARD_AMINO_ACIDS + AMBER_VARIANTS


def terminal_atoms(topo, resname, end):
    atoms = amino_acid_atoms(topo, resname)
    if end == "N":
        # A charged proline N carries two hydrogens (H2 H3 in Amber's and PDB2PQR's naming).
        hydrogens = ("H2", "H3") if resname == "PRO" else N_TERMINAL_HYDROGENS
        return [a for a in atoms if a != "H"] + list(hydrogens)
    return atoms + ["OXT"]


def terminal_copy(internal_block, end, atoms):
    """A terminal set that repeats the internal entries (with their terminal-only atoms)."""
    block = copy_block(internal_block, end + internal_block.resname)
    block.chain_end = end
    block.internal = list(atoms)
    return block


def amber_terminal_block(amber, topo, internal_block, end):
    """Amber's own N- or C-terminal residue where AMBER.DAT has one; else the internal entries.

    Amber names an N-terminal proline's two amine hydrogens H2 and H3; H1 takes their value,
    so whichever two a structure carries add up to the source's.
    """
    resname = internal_block.resname
    atoms = terminal_atoms(topo, resname, end)
    src_name = end + amber.source_residue(resname)
    if src_name not in amber.table:
        return terminal_copy(internal_block, end, atoms)
    src = amber.table[src_name]
    block = Block(end + resname, atoms)
    block.chain_end = end
    used = set()
    for atom in atoms:
        src_atom = amber_atom_source_name(resname, atom)
        if src_atom not in src:
            raise SourceError(f"AMBER.DAT: {src_name} has no atom {src_atom} (for {atom})")
        block.add(atom, src[src_atom][0])
        used.add(src_atom)
    for extra, same_as in EQUIVALENT_NAMES.get(resname, ()):
        block.add(extra, block.value(same_as))
    if end == "N" and resname == "PRO":
        block.add("H1", block.value("H2"))
    for src_atom, params in src.items():
        if src_atom not in used:
            block.add_alias(src_atom, params[0])
    return block


def amber_terminal_blocks(amber, topo, blocks):
    by_name = {b.resname: b for b in blocks}
    return [amber_terminal_block(amber, topo, by_name[r], end)
            for end in ("N", "C") for r in TERMINAL_AMINO_ACIDS]


def parse_terminal_block(parse, topo, internal_block, end, column):
    """PARSE's terminal patches on the internal entries.

    Charges: the C-terminal carboxylate as PARSE has it (BK-, PR-: C 0.10, O and OXT -0.55);
    the N-terminal N at 1.0, the value the module gives the first N-terminus of a chain, so
    that an N-terminus after a chain break is charged the same way. Radii: both patches (the
    charged amine's N 2.0 and hydrogens 0).
    """
    resname = internal_block.resname
    block = terminal_copy(internal_block, end, terminal_atoms(topo, resname, end))
    if end == "N" and column == 0:
        block.entries["N"] = ONE
        return block
    n_form, c_form = parse_terminal_forms(parse, resname, column)
    form = n_form if end == "N" else c_form
    for atom in block.internal:
        src_atom = atom if atom in N_TERMINAL_HYDROGENS + ("OXT",) else parse.atom_source(resname, atom)
        if src_atom in form:
            block.entries[lookup_key(atom)] = form[src_atom]
    block.entries["O1"] = block.entries["O"]
    block.entries["O2"] = block.entries["OXT"]
    if resname == "PRO":
        block.entries["HN1"] = block.entries["H2"]
        block.entries["HN2"] = block.entries["H3"]
    return block


def default_terminal_blocks(topo, blocks):
    """The default charges do not change at a chain end: copies of the internal entries."""
    by_name = {b.resname: b for b in blocks}
    return [terminal_copy(by_name[r], end, terminal_atoms(topo, r, end))
            for end in ("N", "C") for r in TERMINAL_AMINO_ACIDS]


def water_block(ff, resname):
    values, used = ff.internal(resname, WATER_ATOMS)
    block = Block(resname, WATER_ATOMS)
    for atom, value in values.items():
        block.add(atom, value)
    add_source_aliases(ff, resname, block, values, used)
    return block


def cap_block(ff, resname):
    values, used = ff.internal(resname, CAP_ATOMS[resname])
    block = Block(resname, CAP_ATOMS[resname])
    for atom, value in values.items():
        block.add(atom, value)
    add_source_aliases(ff, resname, block, values, used)
    return block


# ---------------------------------------------------------------------------------------------
# The seven files
# ---------------------------------------------------------------------------------------------

def amber_protein_blocks(amber, topo):
    blocks = [amino_acid_block(amber, r, topo, amber_terminal_charges)
              for r in STANDARD_AMINO_ACIDS + AMBER_VARIANTS]
    blocks += amber_terminal_blocks(amber, topo, blocks)
    blocks += [cap_block(amber, r) for r in CAPS]
    blocks += [water_block(amber, r) for r in WATER_NAMES]
    return blocks


def amber_nucleic_blocks(amber, topo):
    return [nucleotide_block(amber, r, topo, nucleic_terminal_charges) for r in DNA + RNA]


def parse_blocks(parse, topo, column):
    terminal = parse_terminal_charges if column == 0 else parse_terminal_radii(parse.table)
    blocks = OrderedDict()
    for r in STANDARD_AMINO_ACIDS + AMBER_VARIANTS + ("AR0", "TYM"):
        blocks[r] = amino_acid_block(parse, r, topo, terminal)
        # PDB2PQR's PARSE naming writes the C-terminal O and OXT as O1 and O2.
        blocks[r].add_alias("O1", blocks[r].entries["O"])
        blocks[r].add_alias("O2", blocks[r].entries["OXT"])
        if r == "PRO":  # and the N-terminal proline's hydrogens as HN1 and HN2
            blocks[r].add_alias("HN1", blocks[r].entries["H2"])
            blocks[r].add_alias("HN2", blocks[r].entries["H3"])
    for r in ("ACE", "NME"):
        blocks[r] = cap_block(parse, r)
    for r in WATER_NAMES:
        blocks[r] = water_block(parse, r)
    if column == 0:
        nucleic_terminal = nucleic_terminal_charges
    else:
        def nucleic_terminal(resname, values):
            src_res = parse.source_residue(resname)
            return OrderedDict((("HO5'", parse.table[src_res + "5"]["H5T"][1]),
                                ("HO3'", parse.table[src_res + "3"]["H3T"][1])))
    for r in RNA:
        blocks[r] = nucleotide_block(parse, r, topo, nucleic_terminal)
    for own, ours in PARSE_OWN_RESIDUE_NAMES:
        blocks[own] = copy_block(blocks[ours], own)
    order = list(STANDARD_AMINO_ACIDS + AMBER_VARIANTS + ("AR0", "TYM")) + \
        [own for own, _ in PARSE_OWN_RESIDUE_NAMES if own not in ("H2O", "AR0")] + \
        ["ACE", "NME", "HOH", "WAT", "H2O"] + list(RNA)
    terminal = [parse_terminal_block(parse, topo, blocks[r], end, column)
                for end in ("N", "C") for r in TERMINAL_AMINO_ACIDS]
    return [blocks[r] for r in order] + terminal


# Formal charges at pH 7 (our design; see the header of default.crg).
DEFAULT_CHARGES = {
    ("ASP", "OD1"): Decimal("-0.5"), ("ASP", "OD2"): Decimal("-0.5"),
    ("GLU", "OE1"): Decimal("-0.5"), ("GLU", "OE2"): Decimal("-0.5"),
    ("LYS", "NZ"): ONE,
    ("ARG", "NH1"): Decimal("0.5"), ("ARG", "NH2"): Decimal("0.5"),
    ("HIP", "ND1"): Decimal("0.5"), ("HIP", "NE2"): Decimal("0.5"),
    ("CYM", "SG"): -ONE,
}

def default_charge_blocks(topo):
    blocks = []
    for r in STANDARD_AMINO_ACIDS + AMBER_VARIANTS:
        block = Block(r, amino_acid_atoms(topo, r))
        for atom in block.internal:
            block.add(atom, DEFAULT_CHARGES.get((r, atom), ZERO))
        for extra, same_as in EQUIVALENT_NAMES.get(r, ()):
            block.add(extra, block.value(same_as))
        for h in N_TERMINAL_HYDROGENS:
            block.add(h, ZERO)
        block.add("OXT", -ONE)
        blocks.append(block)
    blocks += default_terminal_blocks(topo, blocks)
    for r in CAPS:
        block = Block(r, CAP_ATOMS[r])
        for atom in CAP_ATOMS[r]:
            block.add(atom, ZERO)
        blocks.append(block)
    for r in WATER_NAMES:
        block = Block(r, WATER_ATOMS)
        for atom in WATER_ATOMS:
            block.add(atom, ZERO)
        blocks.append(block)
    for r in DNA + RNA:
        block = Block(r, nucleotide_atoms(topo, r))
        for atom in block.internal:
            block.add(atom, Decimal("-0.5") if atom in ("OP1", "OP2") else ZERO)
        block.add("OP3", -ONE)
        for atom in ("HO5'", "HO3'"):
            block.add(atom, ZERO)
            block.add_alias(NUCLEIC_SOURCE_NAMES[atom], ZERO)
        blocks.append(block)
    return blocks


# ---------------------------------------------------------------------------------------------
# Ions and crystallisation additives: the CCP4 monomer library's atoms, bonds and charges
# ---------------------------------------------------------------------------------------------

REFMAC_DICTIONARY_VERSION = "5.41"
DEFAULT_MONOMERS = "/usr/share/refmac/monomers"

# Single-atom ions: wwPDB chemical component code, formal charge of that component, and the
# Shannon effective ionic radius in Å (Acta Cryst. A32, 751 (1976), table 1: six-coordinate,
# high spin where the spin state matters). Shannon's scale puts O2- at 1.40 Å, PARSE's oxygen
# radius, so an ion and a coordinating oxygen touch at the observed metal-oxygen distance.
IONS = (
    ("LI", 1, "0.76"), ("NA", 1, "1.02"), ("K", 1, "1.38"), ("RB", 1, "1.52"), ("CS", 1, "1.67"),
    ("MG", 2, "0.72"), ("CA", 2, "1.00"), ("SR", 2, "1.18"), ("BA", 2, "1.35"),
    ("MN", 2, "0.83"), ("FE2", 2, "0.78"), ("FE", 3, "0.645"), ("CO", 2, "0.745"),
    ("NI", 2, "0.69"), ("CU1", 1, "0.77"), ("CU", 2, "0.73"), ("ZN", 2, "0.74"),
    ("CD", 2, "0.95"), ("HG", 2, "1.02"),
    ("F", -1, "1.33"), ("CL", -1, "1.81"), ("BR", -1, "1.96"), ("IOD", -1, "2.20"),
)

# Crystallisation additives: wwPDB component code and its formal charge (the component as
# deposited, without the hydrogens a pH would add: PO4 is the trianion).
ADDITIVES = (("SO4", -2), ("PO4", -3), ("ACT", -1), ("GOL", 0), ("EDO", 0))

# Chemically equivalent atoms. The library writes one resonance structure (SO4: -1 on O3 and
# O4, 0 on O1 and O2), which would make the field around a sulfate depend on which oxygen a
# deposition happened to name O3; each group's charges are averaged.
EQUIVALENT_ATOMS = {
    "SO4": (("O1", "O2", "O3", "O4"),),
    "PO4": (("O1", "O2", "O3", "O4"),),
    "ACT": (("O", "OXT"),),
}

# The monomer files this data set was built from (refmac-dictionary 5.41).
MONOMER_SHA256 = {
    "LI": "b14d752fc0f8d729e58aaf610245bddfa994f8a289f891f11c37a6643bc3cedc",
    "NA": "230f5a1d8bc8b3adc138d906d9366e193ee0a73915d45e5c5906ba905e314463",
    "K": "a0914d1ffd4b842841093823c4b9b78c3a9f4efe117d5e25e2c683bdfc2fb3d8",
    "RB": "a69ccd6ff47df4a0c329cee9d5f84b83255d61bb7be9c233684b7b141f67ad1e",
    "CS": "f7a1318f9899862d467251b6b2a62a63caca46d7f6ce78d878bd5e7d6a99dbf7",
    "MG": "05c0040144e8c4813d5d7f94a8ac35dbab41dc6d71dc9c253d2c4f480490b907",
    "CA": "4817d4b317f55ad2cf96bcd825ae93ac3d74303a64cf661f407f9a84f8375f56",
    "SR": "543101c3fbcfc05afb26bd5d5021be3d80b1006e8986cb7170833aa49a9b0857",
    "BA": "37fa1a48272e688507de9ce8d2ab18fdb67cef7ea316c30bfb892f5988a2f4a6",
    "MN": "f68331e5da093b317cc68bcd670583921ce7250f0b03e063ba9b0c28f43ffdc1",
    "FE2": "c331a763c8b36e28811b26f27b00b49eec803508ee12beb05c16ddfbd16bc359",
    "FE": "43f24bfa6d22e1c1153364e1d5ac0a36aa9d46d75f856c87a277ab1acb446d39",
    "CO": "d83cc2557987cfbd3ca58fe07958bfdb1a508f3f7fdde3a0fd5567f1e1eb30cf",
    "NI": "774dd36058e52e8393624edf77182ff24d96f3845ebf35757d959b9b290f7d78",
    "CU1": "89110006e8017087e98f0667f75574089086a6c4563a5ec76483dfff87a8a1d9",
    "CU": "38f66b2b73c12d5c0fac5beaaf93ac9350c1ee67e87497bde5f37809ed4e6cf0",
    "ZN": "615e1b88407c52f40813961f27fac9574babbf79d1d525be9e753b44f4fd3a6d",
    "CD": "c26792f33df24c30af9e61130641d6790e857c8dcd30f71ac2313549d3f250ed",
    "HG": "a3ad06a453a8afee18803187f2cbe857dd8d5e66859cc20ee88fd38b9be20fbb",
    "F": "06db0d9c584b7c69fd609bb0a0f76be771e035523d1dcb13b6a8af1b1b79e6ac",
    "CL": "ebe440dfcb252f3b14a92fd20574125966111db5684fc27f3f36294519fe355b",
    "BR": "0afda2703e78029f825c952a6f014dd2eeccb2139cc51742e3e80a677e4245d4",
    "IOD": "6f26ad3778371c58c44ed0ff5327f6d03c97deae2e041f4b1903f75a0fc99ac0",
    "SO4": "8f3022f7256033a251472e5bc9db30139a708ae3e9f25164de806463726fd126",
    "PO4": "ec4abda5224d552361d9446521a25870d39b6422554b6404ac8deb293684b700",
    "ACT": "35b37cfd5728a81cc0a940f2639aaf5da4f566f61e56af1a1f536748821975ea",
    "GOL": "2e3513cc7549afe44d7bf9d4e658136ac5815caaac843d473d6b88ffd666b46c",
    "EDO": "8109b5fb7f5acd3b27f2d450b20dd1ebc9fd6423a18c9ae6301edd60c693bad0",
}

# PARSE has no parameters for these molecules. Their atoms take the radius of the PARSE atom of
# the same kind (each read from the named atom of PARSE.DAT): PARSE unites hydrogens with their
# carbon (C 2.0, H 0) and gives polar hydrogens 1.0.
PARSE_ADDITIVE_RADIUS_SOURCE = (
    ("H on C", "ALA", "HA", "non-polar hydrogen, united with its carbon"),
    ("H on N or O", "SER", "HG", "polar hydrogen"),
    ("C with H", "ALA", "CB", "united CH, CH2 or CH3 carbon, single bonds only"),
    ("C", "ASP", "CG", "carbon without hydrogen, as in a carboxyl group"),
    ("N", "ALA", "N", "nitrogen"),
    ("O", "ALA", "O", "oxygen"),
    ("S", "MET", "SD", "sulfur"),
    ("P", "RA", "P", "phosphorus (RNA set of Tang et al.)"),
)


class Monomer:
    """One component of the monomer library: atoms in file order and bonds."""

    def __init__(self, code, path):
        self.code = code
        self.path = path
        self.atoms = OrderedDict()   # atom name -> (element symbol as the library writes it, charge)
        self.bonds = []              # (atom 1, atom 2, bond type)

    def element(self, atom):
        return self.atoms[atom][0].capitalize()

    def neighbours(self, atom):
        return [(b if a == atom else a, kind) for a, b, kind in self.bonds if atom in (a, b)]

    def net(self):
        return sum(q for _, q in self.atoms.values())


def cif_tokens(path):
    """(token, quoted, line number) of a CIF file: blank-separated words, '...' and "..." strings
    (a quote closes only before a blank or the line end), ;-delimited text fields, # comments."""
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    number = 0
    while number < len(lines):
        line = lines[number]
        number += 1
        if line.startswith(";"):
            text = [line[1:]]
            start = number
            while number < len(lines) and not lines[number].startswith(";"):
                text.append(lines[number])
                number += 1
            if number == len(lines):
                raise SourceError(f"{path}:{start}: text field without its closing ';'")
            number += 1
            yield "\n".join(text).strip(), True, start
            continue
        i = 0
        while i < len(line):
            if line[i].isspace():
                i += 1
            elif line[i] == "#":
                break
            elif line[i] in "'\"":
                quote = line[i]
                end = i + 1
                while end < len(line) and not (line[end] == quote and
                                               (end + 1 == len(line) or line[end + 1].isspace())):
                    end += 1
                if end == len(line):
                    raise SourceError(f"{path}:{number}: string without its closing {quote}")
                yield line[i + 1:end], True, number
                i = end + 1
            else:
                end = i
                while end < len(line) and not line[end].isspace():
                    end += 1
                yield line[i:end], False, number
                i = end


def read_cif_loops(path):
    """Data block name -> category (e.g. "_chem_comp_atom") -> rows (tag -> value)."""
    blocks = OrderedDict()
    loops = None
    tokens = list(cif_tokens(path))
    i = 0
    while i < len(tokens):
        token, quoted, number = tokens[i]
        if not quoted and token.startswith("data_"):
            loops = blocks.setdefault(token[5:], OrderedDict())
            i += 1
        elif not quoted and token == "loop_":
            if loops is None:
                raise SourceError(f"{path}:{number}: loop_ outside a data block")
            i += 1
            tags = []
            while i < len(tokens) and not tokens[i][1] and tokens[i][0].startswith("_"):
                tags.append(tokens[i][0])
                i += 1
            values = []
            while i < len(tokens) and (tokens[i][1] or not (
                    tokens[i][0].startswith("_") or tokens[i][0] == "loop_" or
                    tokens[i][0].startswith("data_"))):
                values.append(tokens[i][0])
                i += 1
            if not tags or len(values) % len(tags):
                raise SourceError(f"{path}:{number}: loop of {len(tags)} tags holds "
                                  f"{len(values)} values")
            category = tags[0].split(".")[0]
            names = [t.split(".", 1)[-1] for t in tags]
            rows = loops.setdefault(category, [])
            for k in range(0, len(values), len(tags)):
                rows.append(dict(zip(names, values[k:k + len(tags)])))
        else:
            i += 2 if not quoted and token.startswith("_") else 1  # a single item and its value
    return blocks


def read_monomer(directory, code):
    path = os.path.join(directory, code[0].lower(), code + ".cif")
    if not os.path.isfile(path):
        raise SourceError(f"{path}: not found; install the Debian package refmac-dictionary "
                          f"(or pass --monomers DIR holding the CCP4 monomer library)")
    actual = sha256_of(path)
    if actual != MONOMER_SHA256[code]:
        raise SourceError(f"{path}: sha256 {actual} differs from the refmac-dictionary "
                          f"{REFMAC_DICTIONARY_VERSION} file this data set is built from "
                          f"({MONOMER_SHA256[code]}); if the new file is intended, update "
                          f"MONOMER_SHA256 and the documentation, then regenerate")
    block = read_cif_loops(path).get("comp_" + code)
    if block is None or not block.get("_chem_comp_atom"):
        raise SourceError(f"{path}: no atoms of {code} (data block comp_{code})")
    monomer = Monomer(code, path)
    for row in block["_chem_comp_atom"]:
        name = row["atom_id"].strip()
        if name in monomer.atoms:
            raise SourceError(f"{path}: atom {name} twice")
        monomer.atoms[name] = (row["type_symbol"].strip(), Decimal(row["partial_charge"]))
    for row in block.get("_chem_comp_bond", []):
        a, b = row["atom_id_1"].strip(), row["atom_id_2"].strip()
        if a not in monomer.atoms or b not in monomer.atoms:
            raise SourceError(f"{path}: bond {a}-{b} names an atom the monomer does not have")
        monomer.bonds.append((a, b, row["type"].strip().lower()))
    return monomer


def read_ions_and_additives(directory):
    monomers = OrderedDict()
    for code, formal, _ in IONS:
        monomer = read_monomer(directory, code)
        if len(monomer.atoms) != 1:
            raise SourceError(f"{monomer.path}: {code} is not a single-atom ion")
        monomers[code] = (monomer, formal)
    for code, formal in ADDITIVES:
        monomers[code] = (read_monomer(directory, code), formal)
    for code, (monomer, formal) in monomers.items():
        if monomer.net() != formal:
            raise SourceError(f"{monomer.path}: the charges of {code} add up to {monomer.net()}, "
                              f"not to the formal charge {formal:+d}")
    return monomers


def library_charges(monomer):
    """The library's charges, each group of equivalent atoms given its mean."""
    charges = OrderedDict((atom, q) for atom, (_, q) in monomer.atoms.items())
    for group in EQUIVALENT_ATOMS.get(monomer.code, ()):
        mean = sum(charges[a] for a in group) / len(group)
        # Three decimals are what every file writes exactly (the fixed-column layout).
        if mean != mean.quantize(Decimal("0.001")):
            raise SourceError(f"{monomer.code}: charges of {group} cannot be shared exactly "
                              f"in three decimals ({mean})")
        charges.update((a, mean) for a in group)
    return charges


def ion_and_additive_charge_blocks(monomers):
    blocks = []
    for code, (monomer, formal) in monomers.items():
        block = Block(code, monomer.atoms)
        for atom, q in library_charges(monomer).items():
            block.add(atom, q)
        if sum(block.entries.values()) != formal:
            raise SourceError(f"{code}: entries add up to {sum(block.entries.values())}, "
                              f"not to {formal:+d}")
        blocks.append(block)
    return blocks


def parse_additive_radius_class(monomer, atom):
    element = monomer.element(atom)
    neighbours = monomer.neighbours(atom)
    if element == "H":
        if len(neighbours) != 1:
            raise SourceError(f"{monomer.path}: hydrogen {atom} has {len(neighbours)} bonds")
        return "H on C" if monomer.element(neighbours[0][0]) == "C" else "H on N or O"
    if element == "C" and any(monomer.element(n) == "H" for n, _ in neighbours):
        if any(kind != "single" for _, kind in neighbours):
            raise SourceError(f"{monomer.path}: {atom} is an unsaturated CH; PARSE's united "
                              f"radius is for single-bonded carbons only")
        return "C with H"
    return element


def ion_and_additive_radius_blocks(monomers, parse_table):
    ion_radius = {code: Decimal(r) for code, _, r in IONS}
    by_class = {what: parse_table[res][atom][1] for what, res, atom, _ in
                PARSE_ADDITIVE_RADIUS_SOURCE}
    blocks = []
    for code, (monomer, _) in monomers.items():
        block = Block(code, monomer.atoms)
        for atom in monomer.atoms:
            if code in ion_radius:
                block.add(atom, ion_radius[code])
                continue
            what = parse_additive_radius_class(monomer, atom)
            if what not in by_class:
                raise SourceError(f"{monomer.path}: no PARSE radius chosen for {atom} ({what})")
            block.add(atom, by_class[what])
        blocks.append(block)
    return blocks


def ion_element_radii(monomers):
    """Element symbol -> (Shannon radius, component code): where one element has several ions
    (Fe2+ and Fe3+, Cu+ and Cu2+), the component whose code is the element symbol."""
    per_element = OrderedDict()
    for code, _, radius in IONS:
        symbol = monomers[code][0].element(next(iter(monomers[code][0].atoms)))
        if symbol not in per_element or code == symbol.upper():
            per_element[symbol] = (radius, code)
    return per_element


def formal_charge_list(monomers):
    return ", ".join(f"{code} {formal:+d}" for code, (_, formal) in monomers.items())


# Bondi, J. Phys. Chem. 68, 441 (1964), table I: van der Waals radii in Å.
BONDI = (
    ("H", "1.20"), ("He", "1.40"), ("Li", "1.82"), ("C", "1.70"), ("N", "1.55"), ("O", "1.52"),
    ("F", "1.47"), ("Ne", "1.54"), ("Na", "2.27"), ("Mg", "1.73"), ("Si", "2.10"), ("P", "1.80"),
    ("S", "1.80"), ("Cl", "1.75"), ("Ar", "1.88"), ("K", "2.75"), ("Ni", "1.63"), ("Cu", "1.40"),
    ("Zn", "1.39"), ("Ga", "1.87"), ("As", "1.85"), ("Se", "1.90"), ("Br", "1.85"), ("Kr", "2.02"),
    ("Pd", "1.63"), ("Ag", "1.72"), ("Cd", "1.58"), ("In", "1.93"), ("Sn", "2.17"), ("Te", "2.06"),
    ("I", "1.98"), ("Xe", "2.16"), ("Pt", "1.72"), ("Au", "1.66"), ("Hg", "1.55"), ("Tl", "1.96"),
    ("Pb", "2.02"), ("U", "1.86"),
)

# default.siz: PARSE radii per element, each taken from a named atom of PARSE.DAT.
DEFAULT_RADIUS_SOURCE = (
    ("H", "ALA", "HN", "polar hydrogen"),
    ("C", "ALA", "C", "carbonyl and aromatic carbon; united CH groups (2.0) need zero-radius H"),
    ("N", "ALA", "N", "nitrogen"),
    ("O", "ALA", "O", "oxygen"),
    ("S", "MET", "SD", "sulfur"),
    ("P", "RA", "P", "phosphorus (RNA set of Tang et al.)"),
)


def element_block(pairs):
    block = Block("")
    for symbol, value in pairs:
        block.add(symbol, Decimal(value))
    return block


# ---------------------------------------------------------------------------------------------
# Terminal residues measured against the source's own terminal forms
# ---------------------------------------------------------------------------------------------

class Deviation:
    def __init__(self, label):
        self.label = label
        self.worst = (ZERO, "")
        self.count = 0
        self.total = ZERO
        self.residues = set()
        self.net_mismatch = []

    def add(self, dq, where, resname):
        self.count += 1
        self.total += dq
        self.residues.add(resname)
        if dq > self.worst[0]:
            self.worst = (dq, where)

    def text(self):
        dq, where = self.worst
        mean = self.total / self.count
        text = (f"{self.label}: max |dq| {dq:.4f} e ({where}), mean {mean:.4f} e, "
                f"{self.count} atoms/{len(self.residues)} residues")
        if self.net_mismatch:
            text += "; net charge differs: " + ", ".join(self.net_mismatch)
        return text


def compare_terminal(dev, resname, ours, theirs, integer_net):
    """ours, theirs: v3 atom -> charge of one terminal residue."""
    if set(ours) != set(theirs):
        raise SourceError(f"{dev.label} {resname}: atoms differ: "
                          f"{sorted(set(ours) ^ set(theirs))}")
    for atom in ours:
        dev.add(abs(ours[atom] - theirs[atom]), f"{atom} {resname}", resname)
    net = sum(ours.values())
    if net != net.to_integral_value():
        raise SourceError(f"{dev.label} {resname}: net charge {net} is not an integer")
    if integer_net and net != sum(theirs.values()):
        dev.net_mismatch.append(f"{resname} {net} vs {sum(theirs.values())}")


def amber_terminal_deviations(amber, topo, blocks):
    by_name = {b.resname: b for b in blocks}
    n_dev, c_dev = Deviation("Amber N-terminal"), Deviation("Amber C-terminal")
    for r in TERMINAL_AMINO_ACIDS:
        src_r = amber.source_residue(r)
        for end, dev in (("N", n_dev), ("C", c_dev)):
            if end + src_r not in amber.table:
                continue
            block = by_name[end + r]
            ours = OrderedDict((a, block.value(a)) for a in block.internal)
            src = amber.table[end + src_r]
            theirs = OrderedDict((a, src[a][0]) for a in ours)
            compare_terminal(dev, r, ours, theirs, True)
    return [n_dev, c_dev]


def parse_terminal_forms(parse, r, column=0):
    """PARSE's N- and C-terminal residues as PDB2PQR composes them: residue + backbone patch."""
    src_r = parse.source_residue(r)
    base = OrderedDict((a, p[column]) for a, p in parse.table[src_r].items())
    if r == "PRO":
        n_patch = {a: p[column] for a, p in parse.table["PR+"].items()}
        n_patch = {{"HN1": "H2", "HN2": "H3"}.get(a, a): q for a, q in n_patch.items()
                   if a not in ("H1", "H2")}
        c_patch = {a: p[column] for a, p in parse.table["PR-"].items()}
    else:
        n_patch = {a: p[column] for a, p in parse.table["BK+"].items()
                   if a not in ("HN1", "HN2", "HN3")}
        c_patch = {{"O1": "O", "O2": "OXT"}.get(a, a): p[column]
                   for a, p in parse.table["BK-"].items()}
    n_form = OrderedDict(base)
    n_form.pop("HN", None)
    n_form.update(n_patch)
    c_form = OrderedDict(base)
    c_form.update(c_patch)
    return n_form, c_form


def parse_terminal_deviations(parse, topo, blocks):
    by_name = {b.resname: b for b in blocks}
    n_dev, c_dev = Deviation("PARSE N-terminal"), Deviation("PARSE C-terminal")
    for r in STANDARD_AMINO_ACIDS + AMBER_VARIANTS:
        n_form, c_form = parse_terminal_forms(parse, r)
        # v3 name -> PARSE name, as for internal residues; terminal atoms keep their names.
        def theirs_for(form, names):
            out = OrderedDict()
            for a in names:
                s = a if a in N_TERMINAL_HYDROGENS + ("OXT",) else parse.atom_source(r, a)
                out[a] = form[s]
            return out
        for end, dev, form in (("N", n_dev, n_form), ("C", c_dev, c_form)):
            block = by_name[end + r]
            ours = OrderedDict((a, block.value(a)) for a in block.internal)
            if end == "N":
                ours["N"] = ONE   # the module's N-terminal rule
            compare_terminal(dev, r, ours, theirs_for(form, ours), True)
    return [n_dev, c_dev]


def nucleic_terminal_deviations(ff, label, resnames, blocks):
    by_name = {b.resname: b for b in blocks}
    five, three = Deviation(f"{label} 5' end"), Deviation(f"{label} 3' end")
    for r in resnames:
        block = by_name[r]
        src_r = ff.source_residue(r)
        internal = OrderedDict((atom, block.value(atom)) for atom in block.internal)
        for dev, suffix, remove, add in (
                (five, "5", ("P", "OP1", "OP2"), "HO5'"),
                (three, "3", (), "HO3'")):
            ours = OrderedDict((a, q) for a, q in internal.items() if a not in remove)
            ours[add] = block.value(add)
            src = ff.table[src_r + suffix]
            theirs = OrderedDict((a, src[NUCLEIC_SOURCE_NAMES.get(a, a)][0]) for a in ours)
            compare_terminal(dev, r, ours, theirs, False)
    return [five, three]


# ---------------------------------------------------------------------------------------------
# Writing
# ---------------------------------------------------------------------------------------------

def format_value(value, decimals):
    if value == 0:
        value = ZERO  # no "-0.000"
    places = max(decimals, -value.normalize().as_tuple().exponent)
    return f"{value:.{places}f}"


def fits_fixed_columns(blocks):
    return all(len(b.resname) <= 3 for b in blocks) and \
        all(v == v.quantize(Decimal("0.001")) and abs(v) < Decimal("1000")
            for b in blocks for v in b.entries.values())


def entry_lines(blocks, decimals):
    names = [b.resname for b in blocks]
    if len(set(names)) != len(names):
        twice = sorted(n for n in set(names) if names.count(n) > 1)
        raise SourceError(f"residues written twice: {twice}")
    fixed = fits_fixed_columns(blocks)
    lines = []
    for block in blocks:
        for key, value in block.entries.items():
            if len(key) > 5 or len(block.resname) > 4 or " " in key or key.startswith("!"):
                raise SourceError(f"name {key!r} {block.resname!r} does not fit the layout")
            if value == 0:
                value = ZERO  # never "-0.000"
            if fixed:
                lines.append("%-6s%-3s%-4s%1s%8.3f" % (key, block.resname, "", "", value))
            else:
                text = format_value(value, decimals)
                if block.resname:
                    lines.append(f"{key:<6}{block.resname:<4}{text:>9}")
                else:
                    lines.append(f"{key:<6}{text:>9}")
    return fixed, lines


def write_file(path, comments, column_header, blocks, decimals):
    fixed, lines = entry_lines(blocks, decimals)
    layout = ("fixed columns: atom 1-6, residue 7-9, number 10-13, chain 14, value 15-22"
              if fixed else "whitespace-separated tokens ATOM RESIDUE VALUE")
    comments = comments + [f"Layout: {layout}; residue number and chain are left empty "
                           f"(they take no part in matching). {len(lines)} entries."]
    text = ["! " + c for c in wrap_all(comments)]
    text.append(column_header)
    text.extend(lines)
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(text) + "\n")


def dropped_aliases_note(blocks):
    notes = [f"{atom} {b.resname} ({value})" for b in blocks for atom, value in b.dropped]
    if not notes:
        return []
    return ["Source spellings left out because a PDB name of the residue holds another value:",
            "  " + ", ".join(notes)]


def wrap(text, width=94):
    words, lines, line = text.split(), [], ""
    for word in words:
        if line and len(line) + 1 + len(word) > width:
            lines.append(line)
            line = word
        else:
            line = f"{line} {word}" if line else word
    if line:
        lines.append(line)
    return lines


NAMING_NOTE = (
    "Atom names are PDB format v3 names as the structure reader labels atoms; four-character "
    "hydrogen names are written rotated as the module looks them up (HD21 as 1HD2, H5'' as 'H5', "
    "HO5' as 'HO5). Matching ignores case; a residue entry beats a generic one; the first "
    "match in file order wins.")

HIS_NOTE = ("Plain HIS carries the N-epsilon tautomer (HIE; Amber's and PARSE's default name "
            "for histidine); HID, HIE and HIP name the protonation states explicitly.")


def source_line(tables, fname):
    return (f"{fname} of PDB2PQR {PDB2PQR_VERSION} (Debian package pdb2pqr), "
            f"sha256 {sha256_of(os.path.join(tables, fname))[:16]}")


def generate(out_dir, tables, monomer_dir, report):
    check_tables(tables)
    monomers = read_ions_and_additives(monomer_dir)
    topo = read_topologies(tables)
    amber_table = read_dat(os.path.join(tables, "AMBER.DAT"))
    parse_table = read_dat(os.path.join(tables, "PARSE.DAT"))
    amber = ForceField("AMBER.DAT", amber_table, 0, AMBER_RESIDUE_SOURCE,
                       amber_atom_source_name)
    parse_q = ForceField("PARSE.DAT", parse_table, 0, PARSE_RESIDUE_SOURCE,
                         parse_atom_source_name)
    parse_r = ForceField("PARSE.DAT", parse_table, 1, PARSE_RESIDUE_SOURCE,
                         parse_atom_source_name)

    check_lysine_hydrogens(amber_table["LYN"], ("HZ2", "HZ3"))
    check_lysine_hydrogens(parse_table["LY0"], ("HZ1", "HZ2"))

    prot = amber_protein_blocks(amber, topo)
    nuca = amber_nucleic_blocks(amber, topo)
    pcrg = parse_blocks(parse_q, topo, 0)
    psiz = parse_blocks(parse_r, topo, 1)
    dcrg = default_charge_blocks(topo)
    check_internal_nets(prot + nuca, False)
    check_internal_nets(pcrg + dcrg, True)
    # Ions and additives after the residues: no name of theirs is a residue name above.
    prot += ion_and_additive_charge_blocks(monomers)
    pcrg += ion_and_additive_charge_blocks(monomers)
    dcrg += ion_and_additive_charge_blocks(monomers)
    psiz += ion_and_additive_radius_blocks(monomers, parse_table)
    element_ion_radii = ion_element_radii(monomers)

    deviations = {
        "prot_amb.crg": amber_terminal_deviations(amber, topo, prot),
        "nuca_amb.crg": nucleic_terminal_deviations(amber, "Amber DNA", DNA, nuca) +
                        nucleic_terminal_deviations(amber, "Amber RNA", RNA, nuca),
        "parseres.crg": parse_terminal_deviations(parse_q, topo, pcrg) +
                        nucleic_terminal_deviations(parse_q, "PARSE RNA", RNA, pcrg),
    }
    if report:
        for fname, devs in deviations.items():
            print(fname)
            for dev in devs:
                print("  " + dev.text())

    default_radii = []
    for symbol, res, atom, what in DEFAULT_RADIUS_SOURCE:
        default_radii.append((symbol, parse_table[res][atom][1], res, atom, what))

    os.makedirs(out_dir, exist_ok=True)
    amber_src = [source_line(tables, "AMBER.DAT"), source_line(tables, "AA.xml"),
                 source_line(tables, "NA.xml")]
    parse_src = [source_line(tables, "PARSE.DAT"), source_line(tables, "AA.xml"),
                 source_line(tables, "NA.xml")]

    monomer_src = (f"{len(monomers)} monomer files of the CCP4 monomer library, refmac-dictionary "
                   f"{REFMAC_DICTIONARY_VERSION} (Debian package refmac-dictionary, "
                   f"/usr/share/refmac/monomers), sha256-checked")
    ions_text = " ".join(code for code, _, _ in IONS)
    additives_text = " ".join(code for code, _ in ADDITIVES)
    ion_charge_note = [
        f"Ions ({ions_text}) and crystallisation additives ({additives_text}): atom names "
        f"and charges of the CCP4 monomer library, whose names are the wwPDB chemical "
        f"components' (hydrogens of ACT, GOL and EDO included):",
        "  " + monomer_src + ".",
        "Each adds up to the formal charge of its wwPDB component: " +
        formal_charge_list(monomers) + ". The library gives the ions their formal charge, "
        "ACT -0.5 on O and OXT, PO4 -0.75 on each O, GOL and EDO 0 on every atom (a neutral "
        "molecule that adds dielectric volume only), and SO4 one resonance structure (-1 on "
        "O3 and O4); equivalent oxygens share their group's charge, so SO4 carries -0.5 on "
        "each O. Neither Amber ff99 nor PARSE has parameters for them; the same values stand "
        "in prot_amb.crg, parseres.crg and default.crg. FE is Fe3+ and FE2 Fe2+, CU Cu2+ "
        "and CU1 Cu+, as the components define them; PO4 is the trianion as deposited.",
    ]

    def dev_lines(fname):
        out = ["Measured against the source's terminal residues (tools/generate_templates.py "
               "--report):"]
        out += ["  " + d.text() for d in deviations[fname]]
        return out

    amber_common = [
        "Source: Amber ff99 charges (Cornell et al., J. Am. Chem. Soc. 117, 5179 (1995); "
        "Wang, Cieplak and Kollman, J. Comput. Chem. 21, 1049 (2000)); ff14SB keeps them for "
        "standard residues.",
        *["  " + s for s in amber_src],
        "Names translated from Amber's spelling as PDB2PQR's AMBER.names does; the source's own "
        "spellings follow each residue's PDB names, so structures written by PDB2PQR with Amber "
        "naming match as well.",
        NAMING_NOTE,
    ]

    write_file(os.path.join(out_dir, "prot_amb.crg"), [
        "Voltra charge template: Amber charges of amino acids, caps and water; ions and "
        "crystallisation additives (units e).",
        *amber_common,
        "Residues: the 20 standard amino acids; protonation variants ASH CYM CYX GLH HID HIE HIP "
        "LYN; caps ACE, NME and NH2 (Amber NHE); water HOH and WAT (TIP3P).",
        HIS_NOTE,
"Terminal residues: the program keys a charged chain end (a free amine with all its hydrogens, or a carboxylate with OXT; not a capped, cyclic or neutral end, nor a lone amino acid, which is both) by its type name prefixed as Amber names its terminal residues: NALA for an N-terminal ALA, CHID for a C-terminal HID. Every amino acid above has an N and a C set. "
        "The N and C sets are Amber's own N- and C-terminal residues (NALA ... CVAL of AMBER.DAT; "
        "HIS as HIE; an N-terminal proline's H1 takes the value of H2 and H3, so any two give the "
        "source's). ASH, GLH, CYM and LYN have none in Amber: their sets repeat the internal "
        "entries. The internal residues keep terminal-only atoms for ends without a set of their "
        "own (a lone amino acid, ASH ...): N-terminal H1, H2 and H3 carry (1 + q(H)) / 3 of their "
        "residue (rounded so that the three add up exactly; proline: 0.5 each), C-terminal OXT "
        "-1, so every such residue's net charge is an integer and equal to the source's. Neutral "
        "termini (HXT) are not represented.",
        *dev_lines("prot_amb.crg"),
        *ion_charge_note,
        "No generic entries: the file is applied to nucleic acids too (before nuca_amb.crg).",
        *dropped_aliases_note(prot),
    ], CHARGE_HEADER, prot, 4)

    write_file(os.path.join(out_dir, "nuca_amb.crg"), [
        "Voltra charge template: Amber charges of DNA and RNA nucleotides (units e).",
        *amber_common,
        "Residues: DNA DA DC DG DT, RNA A C G U (Amber DA.. and RA..).",
        "Termini: a 5'-terminal nucleotide without phosphate is neutral: HO5' (older name H5T) "
        "carries minus the charge of the rest of the residue; a 3'-terminal nucleotide keeps "
        "-1 with HO3' (H3T) at 0. A strand of n nucleotides thus carries -(n-1), as in the "
        "source. A 5' phosphate (OP3) has no source value and no entry.",
        *dev_lines("nuca_amb.crg"),
        "No generic entries: the file is applied after prot_amb.crg to every atom, and a "
        "generic entry would overwrite protein charges.",
        *dropped_aliases_note(nuca),
    ], CHARGE_HEADER, nuca, 4)

    parse_common = [
        "Source: PARSE (Sitkoff, Sharp and Honig, J. Phys. Chem. 98, 1978 (1994)); RNA from "
        "Tang, Alexov, Pyle and Honig, J. Mol. Biol. 366, 1475 (2007).",
        *["  " + s for s in parse_src],
        "Names translated from PARSE's spelling (HN, HB1/HB2, HA1, OH/HH1 water ...) as "
        "PDB2PQR's PARSE.names does; PARSE's own atom spellings follow each residue's PDB names, "
        "and PARSE's residue names (AS0 GL0 CSS CY- HI+ LY0 TY- H2O) repeat the entries of "
        "ASH GLH CYX CYM HIP LYN TYM HOH, so PDB2PQR output with PARSE naming matches as well "
        "(C-terminal O1/O2 and N-terminal proline HN1/HN2 included).",
        NAMING_NOTE,
        "Residues: the 20 standard amino acids; variants ASH CYM CYX GLH HID HIE HIP LYN, AR0 "
        "(neutral ARG) and TYM (TYR anion); caps ACE and NME; water HOH, WAT, H2O; RNA A C G U. "
        "PARSE has no DNA parameters, so DNA atoms find no entry.",
        HIS_NOTE,
    ]

    write_file(os.path.join(out_dir, "parseres.crg"), [
        "Voltra charge template: PARSE charges (units e).",
        *parse_common,
"Terminal residues: the program keys a charged chain end (a free amine with all its hydrogens, or a carboxylate with OXT; not a capped, cyclic or neutral end, nor a lone amino acid, which is both) by its type name prefixed as Amber names its terminal residues: NALA for an N-terminal ALA, CHID for a C-terminal HID. Every amino acid above has an N and a C set. "
        "C sets: PARSE's charged carboxylate (BK-, proline PR-: C 0.10, O and OXT -0.55, alias "
        "O1 and O2). N sets: the module sets the backbone N of each chain's first N-terminal "
        "amino acid to exactly +1.0 for this file, so PARSE's charged amine (N -0.32, CA and H1-H3 "
        "0.33) cannot be followed; the N set carries N 1.0 itself (so an N-terminus after a chain "
        "break is charged too) and the internal values elsewhere, with H1, H2, H3 at 0 (PARSE's N "
        "and H add up to 0); proline (N -0.56, no H) needs its two amine hydrogens to add up to "
        "-0.56 with N at 1.0: H1, H2, H3 carry -0.28 each, so any two of them do. The internal "
        "residues carry the same H1-H3 and OXT -1 for ends without a set of their own. Every "
        "terminal residue thus has the integer net charge of the source's. RNA ends as in "
        "nuca_amb.crg: HO5' makes a 5' nucleotide neutral, HO3' is 0.",
        *dev_lines("parseres.crg"),
        *ion_charge_note,
        "No generic entries.",
        *dropped_aliases_note(pcrg),
    ], CHARGE_HEADER, pcrg, 3)

    write_file(os.path.join(out_dir, "parseres.siz"), [
        "Voltra radius template: PARSE radii (units Angstrom).",
        *parse_common,
        "PARSE gives non-polar hydrogens radius 0 (united with their carbon at 2.0).",
"Terminal residues: the program keys a charged chain end (a free amine with all its hydrogens, or a carboxylate with OXT; not a capped, cyclic or neutral end, nor a lone amino acid, which is both) by its type name prefixed as Amber names its terminal residues: NALA for an N-terminal ALA, CHID for a C-terminal HID. Every amino acid above has an N and a C set. "
        "N sets: PARSE's charged amine (BK+, proline PR+: N and CA 2.0, H1-H3 0); C sets: its "
        "carboxylate (O and OXT 1.4). The internal residues' H1, H2, H3 take 1.0, PARSE's value "
        "for the amine hydrogens of its neutral N-terminus, which keeps N at 1.5 as internal "
        "residues do; OXT 1.4; RNA HO5' and HO3' 0 as PARSE's H5T and H3T.",
        f"Ions ({ions_text}): Shannon effective ionic radii (R. D. Shannon, Acta Cryst. A32, "
        "751 (1976), table 1; six-coordinate, high spin where the spin state matters). "
        "Shannon's scale sets O2- to 1.40, PARSE's oxygen radius, so an ion and the oxygens "
        "that coordinate it touch at the observed metal-oxygen distance (Ca-O 2.40) instead of "
        "overlapping as neutral-atom radii would (Bondi Na 2.27, Mantina Ca 2.31). F, CL, BR "
        "and IOD are the halide ions.",
        f"Crystallisation additives ({additives_text}): the atoms of the CCP4 monomer "
        "library, each taking the radius of the PARSE atom of its kind, found from the "
        "library's bonds; PARSE itself has no parameters for them.",
        "  " + monomer_src + ";",
        *[f"  {what}: {format_value(parse_table[res][atom][1], 1)} from {res} {atom}, {note}"
          for what, res, atom, note in PARSE_ADDITIVE_RADIUS_SOURCE],
        "No generic entries: atoms without an entry are left Missing.",
        *dropped_aliases_note(psiz),
    ], RADIUS_HEADER, psiz, 2)

    write_file(os.path.join(out_dir, "default.crg"), [
        "Voltra charge template: formal charges at pH 7 (units e). Our own set: whole or half "
        "elementary charges on the ionisable groups, 0 on every other atom of the standard "
        "residues, so that an atom left Missing is one this set does not know (a ligand).",
        "ASP OD1/OD2 and GLU OE1/OE2 -0.5 each; LYS NZ +1; ARG NH1/NH2 +0.5 each; HIP ND1/NE2 "
        "+0.5 each; CYM SG -1; HIS, HID, HIE, ASH, GLH, LYN, CYS, CYX, TYR neutral.",
        "Termini: the module sets the backbone N of each chain's first N-terminal amino acid to "
        "+1.0 for this file, so the file carries no N-terminal charge (H1, H2, H3 are 0). The "
        "C-terminal carboxylate's -1 sits on OXT alone: O is shared with every internal residue.",
        "Terminal residues: the program keys a charged chain end (a free amine with all its hydrogens, or a carboxylate with OXT; not a capped, cyclic or neutral end, nor a lone amino acid, which is both) by its type name prefixed as Amber names its terminal residues: NALA for an N-terminal ALA, CHID for a C-terminal HID. Every amino acid above has an N and a C set. "
        "Here the N and C sets repeat the internal entries: the default charges do not change at "
        "a chain end.",
        "Nucleic acids (DNA DA DC DG DT, RNA A C G U): OP1/OP2 -0.5 each, one -1 per phosphate; "
        "a 5' monophosphate adds OP3 -1 (dianion at pH 7); HO5'/HO3' (H5T/H3T) 0.",
        "Caps ACE, NME, NH2 and water HOH/WAT: 0.",
        *ion_charge_note,
        HIS_NOTE,
        NAMING_NOTE,
        "No generic entries.",
    ], CHARGE_HEADER, dcrg, 3)

    write_file(os.path.join(out_dir, "default.siz"), [
        "Voltra radius template: PARSE radii per element, Shannon ionic radii for the ions "
        "(units Angstrom), element-keyed.",
        "Source: PARSE (Sitkoff, Sharp and Honig, J. Phys. Chem. 98, 1978 (1994); P from Tang "
        "et al., J. Mol. Biol. 366, 1475 (2007)); each value read from one atom of PARSE.DAT:",
        "  " + source_line(tables, "PARSE.DAT"),
        *[f"  {s} {format_value(v, 1)} from {res} {atom}: {what}"
          for s, v, res, atom, what in default_radii],
        "Ions (" + " ".join(element_ion_radii) + "): Shannon effective ionic radii (R. D. "
        "Shannon, Acta Cryst. A32, 751 (1976), table 1; six-coordinate, high spin where the "
        "spin state matters); on Shannon's scale O2- is 1.40, the oxygen radius above, so an "
        "ion and its coordinating oxygens touch at the observed distance. An element radius "
        "cannot tell two charge states apart: " +
        "; ".join(f"{symbol} takes {code}'s {radius}"
                  for symbol, (radius, code) in element_ion_radii.items()
                  if sum(1 for c, _, _ in IONS
                         if monomers[c][0].element(next(iter(monomers[c][0].atoms))) == symbol) > 1) +
        " (the other states keep their own radius in parseres.siz). The halogen radii are "
        "those of the halide ions, and a covalent halogen of a ligand takes them too (" +
        ", ".join(f"{symbol} {radius} against Bondi's {dict(BONDI)[symbol]}"
                  for symbol, (radius, _) in element_ion_radii.items()
                  if symbol in ("F", "Cl", "Br", "I")) + ").",
        "D (deuterium) as H. The module matches these by the atom's element symbol, ignoring "
        "case; other elements keep the host's own radius (Source HST).",
        "An element radius cannot tell polar from non-polar hydrogens: every H takes the polar "
        "value 1.0, every C 1.7, instead of PARSE's united CH groups (C 2.0, H 0).",
    ], RADIUS_HEADER,
        [element_block([(s, str(v)) for s, v, *_ in default_radii] +
                       [("D", str(default_radii[0][1]))] +
                       [(s, r) for s, (r, _) in element_ion_radii.items()])], 2)

    write_file(os.path.join(out_dir, "bondi.siz"), [
        "Voltra radius template: Bondi van der Waals radii (units Angstrom), element-keyed.",
        "Source: A. Bondi, J. Phys. Chem. 68, 441 (1964), table I, every element it lists; "
        "D (deuterium) as H.",
        "The module matches these by the atom's element symbol, ignoring case; other elements "
        "keep the host's own radius (Source HST). The metal radii are those of neutral atoms, "
        "not of ions.",
    ], RADIUS_HEADER, [element_block(list(BONDI) + [("D", "1.20")])], 2)
    missing = [f for f in OUTPUT_FILES if not os.path.isfile(os.path.join(out_dir, f))]
    if missing:
        raise SourceError(f"{out_dir}: not written: {', '.join(missing)}")
    return 0


def wrap_all(paragraphs):
    lines = []
    for p in paragraphs:
        indent = len(p) - len(p.lstrip(" "))
        wrapped = wrap(p, 94 - indent)
        lines.extend(" " * indent + w for w in wrapped)
    return lines


def check_lysine_hydrogens(atoms, names):
    values = {atoms[n][0] for n in names}
    if len(values) != 1:
        raise SourceError(f"neutral lysine hydrogens {names} differ: {values}")


def check_internal_nets(blocks, n_rule):
    """Every internal residue, and every terminal form of an amino acid, has an integer charge.

    n_rule: the module puts 1.0 on the N of the first N-terminal amino acid for this file.
    """
    def require_integer(net, what):
        if net != net.to_integral_value():
            raise SourceError(f"{what}: net charge {net} is not an integer")

    for block in blocks:
        values = OrderedDict((a, block.value(a)) for a in block.internal)
        if block.chain_end == "N" and n_rule:
            values["N"] = ONE
        require_integer(sum(values.values()), block.resname)
        if block.chain_end is None and "OXT" in block.entries:
            n_form = OrderedDict((a, q) for a, q in values.items() if a != "H")
            if n_rule:
                n_form["N"] = ONE
            for h in (("H2", "H3") if block.resname == "PRO" else N_TERMINAL_HYDROGENS):
                n_form[h] = block.value(h)
            require_integer(sum(n_form.values()), f"N-terminal {block.resname}")
            require_integer(sum(values.values()) + block.value("OXT"),
                            f"C-terminal {block.resname}")


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "share", "voltra", "templates"),
                        help="output folder (default: share/voltra/templates of this repository)")
    parser.add_argument("--tables", default=None,
                        help="folder of PDB2PQR's dat files (default: the installed pdb2pqr)")
    parser.add_argument("--monomers", default=DEFAULT_MONOMERS,
                        help="folder of the CCP4 monomer library (default: %(default)s)")
    parser.add_argument("--report", action="store_true",
                        help="print the terminal-residue deviations from the source")
    args = parser.parse_args(argv)
    try:
        return generate(os.path.normpath(args.out), args.tables or find_tables(), args.monomers,
                        args.report)
    except (SourceError, OSError, ElementTree.ParseError) as e:
        print(f"generate_templates: {e}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
