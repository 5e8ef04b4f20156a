#!/usr/bin/env python3
"""Makes a large structure for benchmarks by tiling copies of a real one on a 3-D grid.

Each copy is shifted by whole grid steps, one step being the source's extent plus a margin
along each axis, so no atom of one copy comes closer than the margin to an atom of another
and bond perception sees the same bonds in every copy. Every copy gets chain ids of its own:
one character (A-Z, a-z, 0-9) while they suffice, else two for all.

PDB output writes atom serials past 99,999 in hybrid-36 ("A0000" follows "99999") and
two-character chain ids in columns 21-22 (column 21 is blank in the standard), as gemmi
reads them. mmCIF output has no such limits. The output depends on the arguments only.

Uses the Python standard library only.
"""

import argparse
import math
import os
import sys

CHAIN_ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
HY36_DIGITS_UPPER = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
PDB_MAX_COORDINATE = 9999.999  # %8.3f


def default_source():
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.normpath(os.path.join(here, "..", "..", "..", "shared", "corpus", "structures", "1AFS.pdb"))


class Atom:
    __slots__ = ("record", "name", "altloc", "resname", "chain", "resseq", "icode", "x", "y", "z", "occ",
                 "bfactor", "element", "charge")


def read_atoms(path):
    """Atom records of the first model, in file order; errors name the file and line."""
    atoms = []
    try:
        stream = open(path, "r", encoding="ascii", errors="replace")
    except OSError as error:
        raise SystemExit(f"{path}: cannot open: {error.strerror}")
    with stream:
        for number, line in enumerate(stream, 1):
            record = line[:6]
            if record == "ENDMDL":
                break
            if record not in ("ATOM  ", "HETATM"):
                continue
            line = line.rstrip("\r\n").ljust(80)
            atom = Atom()
            atom.record = record
            atom.name = line[12:16]
            atom.altloc = line[16]
            atom.resname = line[17:20]
            atom.chain = line[20:22].strip()
            try:
                atom.resseq = int(line[22:26])
                atom.x, atom.y, atom.z = float(line[30:38]), float(line[38:46]), float(line[46:54])
                atom.occ = float(line[54:60]) if line[54:60].strip() else 1.0
                atom.bfactor = float(line[60:66]) if line[60:66].strip() else 0.0
            except ValueError as error:
                raise SystemExit(f"{path}:{number}: {error}: '{line.rstrip()}'")
            atom.icode = line[26]
            atom.element = line[76:78].strip()
            atom.charge = line[78:80].strip()
            atoms.append(atom)
    if not atoms:
        raise SystemExit(f"{path}: no ATOM or HETATM records")
    return atoms


def hybrid36(value, width):
    """Hybrid-36 number: decimal below 10**width, then upper-case base 36 starting at 'A000..'."""
    if value < 10 ** width:
        return str(value).rjust(width)
    value -= 10 ** width
    value += 10 * 36 ** (width - 1)
    if value >= 36 ** width:
        raise SystemExit(f"serial {value} does not fit hybrid-36 of width {width}")
    digits = []
    while value:
        value, digit = divmod(value, 36)
        digits.append(HY36_DIGITS_UPPER[digit])
    return "".join(reversed(digits)).rjust(width, "0")


def chain_id(index, width):
    if width == 1:
        return CHAIN_ALPHABET[index]
    high, low = divmod(index, len(CHAIN_ALPHABET))
    return CHAIN_ALPHABET[high] + CHAIN_ALPHABET[low]


def grid_shape(copies):
    """Near-cubic nx*ny*nz >= copies."""
    nx = max(1, math.ceil(round(copies ** (1 / 3), 9)))
    ny = max(1, math.ceil(math.sqrt(copies / nx)))
    nz = max(1, math.ceil(copies / (nx * ny)))
    return nx, ny, nz


class Tiling:
    def __init__(self, atoms, copies, margin):
        self.atoms = atoms
        self.copies = copies
        self.source_chains = []
        for atom in atoms:
            if atom.chain not in self.source_chains:
                self.source_chains.append(atom.chain)
        total = copies * len(self.source_chains)
        if total > len(CHAIN_ALPHABET) ** 2:
            raise SystemExit(f"{total} chain ids needed; two characters give at most {len(CHAIN_ALPHABET) ** 2}")
        self.chain_width = 1 if total <= len(CHAIN_ALPHABET) else 2
        low = [min(getattr(a, axis) for a in atoms) for axis in "xyz"]
        high = [max(getattr(a, axis) for a in atoms) for axis in "xyz"]
        self.origin = low  # copies start at the grid corner, so coordinates stay positive
        self.step = [high[i] - low[i] + margin for i in range(3)]
        self.shape = grid_shape(copies)

    def offset(self, copy):
        nx, ny, _ = self.shape
        cell = (copy % nx, (copy // nx) % ny, copy // (nx * ny))
        return [cell[i] * self.step[i] - self.origin[i] for i in range(3)]

    def chain_of(self, copy, source_chain):
        return chain_id(copy * len(self.source_chains) + self.source_chains.index(source_chain), self.chain_width)

    def extent(self):
        """The largest coordinate written, in Å (the smallest is 0)."""
        return max(self.shape[i] * self.step[i] for i in range(3))


def write_pdb(tiling, out):
    if tiling.extent() > PDB_MAX_COORDINATE:
        raise SystemExit("the grid is too large for PDB coordinates; write mmCIF (--format cif)")
    out.write("HEADER    BENCHMARK INPUT                         01-JAN-00   TILE              \n")
    out.write(f"REMARK 250 {tiling.copies} COPIES OF THE SOURCE ON A {tiling.shape[0]}X{tiling.shape[1]}X"
              f"{tiling.shape[2]} GRID\n")
    chain_index = {c: i for i, c in enumerate(tiling.source_chains)}
    serial = 0
    lines = []
    for copy in range(tiling.copies):
        dx, dy, dz = tiling.offset(copy)
        base = copy * len(tiling.source_chains)
        previous = None
        for atom in tiling.atoms:
            chain = chain_id(base + chain_index[atom.chain], tiling.chain_width)
            # A chain's polymer ends where its first HETATM follows ATOMs.
            if previous is not None and previous.record == "ATOM  " and (
                    atom.record == "HETATM" or atom.chain != previous.chain):
                serial += 1
                lines.append(f"TER   {hybrid36(serial, 5)}      {previous.resname}{previous_chain:>2}"
                             f"{previous.resseq:4d}{previous.icode}\n")
            serial += 1
            lines.append(f"{atom.record}{hybrid36(serial, 5)} {atom.name}{atom.altloc}{atom.resname}"
                         f"{chain:>2}{atom.resseq:4d}{atom.icode}   "
                         f"{atom.x + dx:8.3f}{atom.y + dy:8.3f}{atom.z + dz:8.3f}"
                         f"{atom.occ:6.2f}{atom.bfactor:6.2f}          {atom.element:>2}{atom.charge:<2}\n")
            previous, previous_chain = atom, chain
        if len(lines) > 65536:
            out.write("".join(lines))
            lines.clear()
    out.write("".join(lines))
    out.write("END\n")
    return serial


def cif_token(text):
    text = text.strip()
    return text if text and " " not in text and text[0] not in "_#$'\"[];" else f"'{text}'" if text else "."


def write_cif(tiling, out):
    """mmCIF with one entity per polymer chain of the source, per ligand name and for water."""
    entities = {}  # key -> (id, type)

    def entity_of(atom):
        if atom.resname.strip() in ("HOH", "WAT", "DOD"):
            key, kind = "water", "water"
        elif atom.record == "ATOM  ":
            key, kind = "polymer " + atom.chain, "polymer"
        else:
            key, kind = "ligand " + atom.resname.strip(), "non-polymer"
        if key not in entities:
            entities[key] = (str(len(entities) + 1), kind)
        return entities[key]

    kinds = [entity_of(atom) for atom in tiling.atoms]
    out.write("data_TILE\n_entry.id TILE\n#\nloop_\n_entity.id\n_entity.type\n")
    for entity_id, kind in entities.values():
        out.write(f"{entity_id} {kind}\n")
    out.write("#\nloop_\n")
    for column in ("group_PDB", "id", "type_symbol", "label_atom_id", "label_alt_id", "label_comp_id",
                   "label_asym_id", "label_entity_id", "label_seq_id", "pdbx_PDB_ins_code", "Cartn_x", "Cartn_y",
                   "Cartn_z", "occupancy", "B_iso_or_equiv", "auth_seq_id", "auth_asym_id", "pdbx_PDB_model_num"):
        out.write(f"_atom_site.{column}\n")
    # label_asym_id names one entity instance: the chain id plus a letter per kind.
    suffix = {"polymer": "", "non-polymer": "L", "water": "W"}
    serial = 0
    lines = []
    for copy in range(tiling.copies):
        dx, dy, dz = tiling.offset(copy)
        for atom, (entity_id, kind) in zip(tiling.atoms, kinds):
            serial += 1
            chain = tiling.chain_of(copy, atom.chain)
            altloc = atom.altloc if atom.altloc != " " else "."
            icode = atom.icode if atom.icode != " " else "?"
            label_seq = str(atom.resseq) if kind == "polymer" else "."
            lines.append(f"{atom.record.strip()} {serial} {atom.element or '?'} {cif_token(atom.name)} {altloc} "
                         f"{atom.resname.strip()} {chain}{suffix[kind]} {entity_id} {label_seq} {icode} "
                         f"{atom.x + dx:.3f} {atom.y + dy:.3f} {atom.z + dz:.3f} {atom.occ:.2f} {atom.bfactor:.2f} "
                         f"{atom.resseq} {chain} 1\n")
        if len(lines) > 65536:
            out.write("".join(lines))
            lines.clear()
    out.write("".join(lines))
    out.write("#\n")
    return serial


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", default=default_source(), help="PDB file to tile (default: corpus 1AFS)")
    size = parser.add_mutually_exclusive_group()
    size.add_argument("--atoms", type=int, default=100000,
                      help="about how many atoms: the nearest whole number of copies (default 100000)")
    size.add_argument("--copies", type=int, help="exactly this many copies")
    parser.add_argument("--margin", type=float, default=10.0, help="clearance between copies, in Å (default 10)")
    parser.add_argument("--format", choices=("pdb", "cif"), help="default: from the output name, else pdb")
    parser.add_argument("-o", "--output", default="-", help="output file ('-': standard output)")
    args = parser.parse_args(argv)

    if args.copies is None and args.atoms < 1:
        parser.error(f"--atoms must be at least 1, got {args.atoms}")
    atoms = read_atoms(args.source)
    copies = args.copies if args.copies is not None else max(1, round(args.atoms / len(atoms)))
    if copies < 1:
        parser.error(f"--copies must be at least 1, got {copies}")
    if args.margin < 0:
        parser.error(f"--margin must not be negative, got {args.margin}")
    fmt = args.format or ("cif" if args.output.endswith((".cif", ".mmcif")) else "pdb")
    tiling = Tiling(atoms, copies, args.margin)

    out = sys.stdout if args.output == "-" else open(args.output, "w", encoding="ascii", newline="\n")
    try:
        (write_cif if fmt == "cif" else write_pdb)(tiling, out)
    finally:
        if out is not sys.stdout:
            out.close()
    sys.stderr.write(f"make_tiled_structure: {copies} copies of {len(atoms)} atoms ({copies * len(atoms)} atoms, "
                     f"{copies * len(tiling.source_chains)} chain ids) on a {'x'.join(map(str, tiling.shape))} grid, "
                     f"{fmt}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
