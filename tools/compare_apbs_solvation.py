#!/usr/bin/env python3
"""APBS solvation energy of voltra's Amber PQR against PDB2PQR's, and the causes of the difference.

Usage: compare_apbs_solvation.py --voltra BIN [--spacing Å] [--no-decomposition] [--work DIR] [--json FILE]
                                 [--max-relative-difference F] STRUCTURE...

For each raw structure it runs
    voltra -q --assign=amber -p <work>/<stem>_voltra.pqr --apbs-input=<work>/<stem>_voltra.in STRUCTURE
    pdb2pqr --ff=AMBER --noopt --keep-chain STRUCTURE <work>/<stem>_pdb2pqr.pqr
and APBS on both with the calculation voltra's --apbs-input writes (solvated: sdie 78.54 and
0.15 M of +1/-1 ions; reference: sdie 2, no ions; pdie 2; the energy is solvated minus reference),
on ONE grid for both: the box around every atom sphere (centre +- radius) of the two files,
sized by psize's rules (coarse 1.7 x the extent, fine the extent + 20 Å but at most the coarse,
points for the given fine spacing), centred on that box's middle and written as coordinates.

The difference is then taken apart by a path of hybrid PQRs from voltra's atoms to PDB2PQR's;
each step changes one thing and is charged with the change in energy it makes:
  ligands and ions   atoms of residues PDB2PQR does not write (it drops HETATM groups but water)
  water hydrogen radii  PDB2PQR's radius on each water hydrogen (Amber's TIP3P H has none)
  other hydrogen radii  PDB2PQR's radius on every other hydrogen (voltra's Default radii are
                     element-keyed)
  heavy-atom radii   PDB2PQR's radius on each heavy atom
  water hydrogen positions  PDB2PQR's position on each water hydrogen (it orients waters)
  other hydrogen positions  PDB2PQR's position on every other hydrogen
  heavy-atom positions  on heavy atoms PDB2PQR rebuilt (a C-terminal O next to a new OXT)
  histidine tautomers  histidines protonated differently: PDB2PQR's atoms of that residue
  other states       any other residue whose atoms differ (ASH, LYN, CYM, ...), likewise
  terminal charges   PDB2PQR's charges on the atoms of chain-terminal residues
  other charges      PDB2PQR's charges on every other atom
What is left between the last hybrid and PDB2PQR's own file is the residual; the tool also says
how many atoms of the two still differ (0 when the path is complete).
Atoms are paired with tools/compare_prepared_with_pdb2pqr.py's matching: residues by a heavy atom
at the same position, heavy atoms by name, hydrogens by their heavy atom. The order of the steps
matters where causes interact; the radii, the largest by-design cause, are also measured the
other way round (PDB2PQR's file with voltra's radii) and both figures are printed.

Every PQR goes to APBS rewritten in one plain form (serial, name, residue, residue index,
x y z charge radius, white-space separated) with the values read from the file: PDB2PQR's fixed
columns join a five-digit serial to HETATM, which APBS cannot split.

Exit status: 0; 1 when a relative difference exceeds --max-relative-difference; 2 when a
program fails.
"""

import argparse
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
from collections import Counter

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare_prepared_with_pdb2pqr as cmp  # noqa: E402

# psize's rules, as app/ApbsInput.cpp applies them.
COARSE_FACTOR = 1.7
FINE_ADDITION = 20.0  # Å
DEFAULT_SPACING = 0.5  # Å
BYTES_PER_POINT = 200.0
MEMORY_CEILING = 400.0  # MB

STEPS = [
    ("ligands", "ligands and ions PDB2PQR leaves out"),
    ("water_hydrogen_radii", "water hydrogen radii"),
    ("hydrogen_radii", "other hydrogen radii"),
    ("heavy_radii", "heavy-atom radii"),
    ("water_hydrogen_positions", "water hydrogen positions"),
    ("hydrogen_positions", "other hydrogen positions"),
    ("heavy_positions", "heavy-atom positions"),
    ("histidines", "histidine tautomers"),
    ("other_states", "other protonation states"),
    ("terminal_charges", "terminal charges"),
    ("other_charges", "other charges"),
]


class ToolError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Grid and APBS input

def points_for(length, spacing):
    spaced = int(length / spacing + 0.5)
    return max(32 * int((spaced - 1) / 32.0 + 0.5) + 1, 33)


def size_grid(atom_lists, spacing=DEFAULT_SPACING):
    """One grid for every list of atoms: {dime, cglen, fglen, center}, lengths in Å."""
    low, high = [math.inf] * 3, [-math.inf] * 3
    for atoms in atom_lists:
        for a in atoms:
            for k in range(3):
                low[k] = min(low[k], a["xyz"][k] - a["r"])
                high[k] = max(high[k], a["xyz"][k] + a["r"])
    if low[0] == math.inf:
        raise ToolError("no atoms to put on a grid")
    extent = [max(high[k] - low[k], 0.1) for k in range(3)]
    coarse = [e * COARSE_FACTOR for e in extent]
    fine = [min(e + FINE_ADDITION, c) for e, c in zip(extent, coarse)]
    dime = [points_for(f, spacing) for f in fine]
    while BYTES_PER_POINT * dime[0] * dime[1] * dime[2] / 1024.0 / 1024.0 >= MEMORY_CEILING:
        largest = dime.index(max(dime))
        if dime[largest] <= 33:
            break
        dime[largest] = 32 * ((dime[largest] - 1) // 32 - 1) + 1
    center = [(low[k] + high[k]) / 2.0 for k in range(3)]
    return {"dime": dime, "cglen": coarse, "fglen": fine, "center": center}


def with_grid(apbs_input, pqr_name, grid):
    """voltra's APBS input with its molecule file and grid replaced by the given ones; every
    other setting is kept as written."""
    triple = lambda v, f: " ".join(f % x for x in v)  # noqa: E731
    replacements = [
        (r"^(\s*mol pqr )\S+$", lambda m: m.group(1) + pqr_name),
        (r"^(\s*dime ).*$", lambda m: m.group(1) + triple(grid["dime"], "%d")),
        (r"^(\s*cglen ).*$", lambda m: m.group(1) + triple(grid["cglen"], "%.4f")),
        (r"^(\s*fglen ).*$", lambda m: m.group(1) + triple(grid["fglen"], "%.4f")),
        (r"^(\s*[cf]gcent ).*$", lambda m: m.group(1) + triple(grid["center"], "%.4f")),
    ]
    text = apbs_input
    for pattern, replace in replacements:
        text, count = re.subn(pattern, replace, text, flags=re.M)
        if count == 0:
            raise ToolError(f"voltra's APBS input has no line matching {pattern!r}")
    return text


def pqr_text(atoms):
    """The plain form APBS reads: no chain (voltra writes waters without one), and residues
    numbered by their place in the file, so that insertion codes cannot get in the way."""
    lines, index, last = [], 0, None
    for serial, a in enumerate(atoms, 1):
        key = (a["chain"], a["resseq"], a["resname"])
        if key != last:
            index, last = index + 1, key
        x, y, z = a["xyz"]
        lines.append(f"ATOM {serial} {a['name']} {a['resname']} {index} "
                     f"{x:.3f} {y:.3f} {z:.3f} {a['q']:.4f} {a['r']:.4f}\n")
    return "".join(lines)


ENERGY = re.compile(r"Global net ELEC energy = ([-+0-9.eE]+) kJ/mol")


def apbs_energy(apbs, folder, name, atoms, template, grid):
    """Solvation energy (kJ/mol) of the atoms, written as folder/name.pqr with name.in."""
    with open(os.path.join(folder, name + ".pqr"), "w") as f:
        f.write(pqr_text(atoms))
    with open(os.path.join(folder, name + ".in"), "w") as f:
        f.write(with_grid(template, name + ".pqr", grid))
    done = subprocess.run([apbs, name + ".in"], cwd=folder, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)
    found = ENERGY.search(done.stdout)
    if done.returncode != 0 or not found:
        tail = "\n".join(done.stdout.strip().splitlines()[-5:])
        raise ToolError(f"{folder}/{name}.in: apbs exited {done.returncode} without an energy:\n{tail}")
    return float(found.group(1))


# ---------------------------------------------------------------------------------------------
# Hybrids between voltra's atoms (ours) and PDB2PQR's (ref)

def is_water(resname):
    return resname in ("HOH", "WAT")


def is_histidine(resname):
    return resname in ("HIS", "HID", "HIE", "HIP")


def terminal_residues(ref):
    """Keys of the first and last amino-acid residue (one with N, CA and C) of each chain."""
    by_chain = {}
    for key, members in cmp.residues_of(ref).items():
        names = {a["name"] for a in members}
        if {"N", "CA", "C"} <= names:
            by_chain.setdefault(key[0], []).append(key)
    ends = set()
    for keys in by_chain.values():  # residues_of keeps the file's order
        ends.update((keys[0], keys[-1]))
    return ends


class Pairing:
    """PDB2PQR's atoms paired with voltra's, and what the path needs to know about them."""

    def __init__(self, ours, ref):
        pairs, mapping = cmp.match_atoms(ref, ours)
        self.partner = {id(b): a for a, b, _ in pairs if b is not None}  # voltra atom -> PDB2PQR's
        self.mapping = mapping  # PDB2PQR residue key -> voltra's
        ours_res, ref_res = cmp.residues_of(ours), cmp.residues_of(ref)
        paired_ref = {id(a) for a, b, _ in pairs if b is not None}
        self.kept = set(mapping.values())
        self.differing = {}  # voltra residue key -> PDB2PQR's atoms of it, where their atoms differ
        for key, members in ref_res.items():
            mine = mapping.get(key)
            if mine is None:
                continue
            theirs_unpaired = any(id(a) not in paired_ref for a in members)
            ours_unpaired = any(id(b) not in self.partner for b in ours_res.get(mine, []))
            if theirs_unpaired or ours_unpaired:
                self.differing[mine] = members
        self.terminal = {self.mapping[k] for k in terminal_residues(ref) if k in self.mapping}
        self.ref_only = [f"{k[0]}:{m[0]['resname']}{k[1]}" for k, m in ref_res.items() if k not in mapping]


def residue_key(a):
    return (a["chain"], a["resseq"])


def copy_atoms(atoms):
    return [dict(a) for a in atoms]


def hybrid_path(ours, ref):
    """[(step id, atoms after the step, atoms the step changed)] from voltra's atoms towards
    PDB2PQR's. Each hybrid is a list of copies; ours and ref are left as they are. A copy of
    voltra's atom i carries "from": i; atoms taken from PDB2PQR's file carry "from": None."""
    pairing = Pairing(ours, ref)
    partner_of = [pairing.partner.get(id(o)) for o in ours]

    def partner(a):
        return partner_of[a["from"]] if a["from"] is not None else None

    def key_of(a):
        return residue_key(ours[a["from"]]) if a["from"] is not None else None

    def set_field(atoms, field, select):
        following, changed = copy_atoms(atoms), 0
        for a in following:
            p = partner(a)
            if p is not None and select(a) and a[field] != p[field]:
                a[field] = p[field]
                changed += 1
        return following, changed

    def replace_residues(atoms, select):
        following, changed, done = [], 0, set()
        for a in atoms:
            key = key_of(a)
            if key in pairing.differing and select(a):
                if key not in done:
                    done.add(key)
                    theirs = [dict(t, **{"from": None}) for t in pairing.differing[key]]
                    following.extend(theirs)
                    changed += len(theirs)
                continue
            following.append(dict(a))
        return following, changed

    hydrogen = cmp.is_hydrogen
    current = [dict(a, **{"from": i}) for i, a in enumerate(ours) if residue_key(a) in pairing.kept]
    path = [("ligands", current, len(ours) - len(current))]
    for step, field, select in (
            ("water_hydrogen_radii", "r", lambda a: hydrogen(a) and is_water(a["resname"])),
            ("hydrogen_radii", "r", lambda a: hydrogen(a) and not is_water(a["resname"])),
            ("heavy_radii", "r", lambda a: not hydrogen(a)),
            ("water_hydrogen_positions", "xyz", lambda a: hydrogen(a) and is_water(a["resname"])),
            ("hydrogen_positions", "xyz", lambda a: hydrogen(a) and not is_water(a["resname"])),
            ("heavy_positions", "xyz", lambda a: not hydrogen(a))):
        current, changed = set_field(current, field, select)
        path.append((step, current, changed))
    current, changed = replace_residues(current, lambda a: is_histidine(a["resname"]))
    path.append(("histidines", current, changed))
    current, changed = replace_residues(current, lambda a: True)
    path.append(("other_states", current, changed))
    current, changed = set_field(current, "q", lambda a: key_of(a) in pairing.terminal)
    path.append(("terminal_charges", current, changed))
    current, changed = set_field(current, "q", lambda a: True)
    path.append(("other_charges", current, changed))
    return path, pairing


def atoms_differing(left, right):
    """How many atoms of one list have no equal (position to 1e-3 Å, charge and radius to 1e-4)
    in the other, counted both ways."""
    def key(a):
        return (tuple(round(c, 3) for c in a["xyz"]), round(a["q"], 4), round(a["r"], 4))
    l, r = Counter(key(a) for a in left), Counter(key(a) for a in right)
    return sum(((l - r) + (r - l)).values())


# ---------------------------------------------------------------------------------------------
# One structure

def run_checked(cmd, what):
    done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        tail = "\n".join(done.stderr.strip().splitlines()[-3:])
        raise ToolError(f"{what} exited {done.returncode}: {' '.join(cmd)}\n{tail}")
    return done


def prepare(structure, voltra, work):
    """Runs voltra and PDB2PQR on the structure: (folder, voltra's atoms, PDB2PQR's atoms,
    voltra's APBS input text)."""
    stem = os.path.basename(structure).split(".")[0]
    folder = os.path.join(work, stem)
    os.makedirs(folder, exist_ok=True)
    ours_path = os.path.join(folder, f"{stem}_voltra.pqr")
    input_path = os.path.join(folder, f"{stem}_voltra.in")
    ref_path = os.path.join(folder, f"{stem}_pdb2pqr.pqr")
    run_checked([voltra, "-q", "--assign=amber", "-p", ours_path, f"--apbs-input={input_path}", structure],
                "voltra")
    run_checked(["pdb2pqr", "--ff=AMBER", "--noopt", "--keep-chain", structure, ref_path], "pdb2pqr")
    with open(input_path) as f:
        template = f.read()
    ours, ref = cmp.read_pqr(ours_path), cmp.read_pqr(ref_path)
    if not ours or not ref:
        raise ToolError(f"{stem}: no atoms read from {ours_path if not ours else ref_path}")
    return folder, ours, ref, template


def with_radii_of(ref, ours, pairing):
    """PDB2PQR's atoms, each with the radius of its voltra partner where it has one."""
    ours_of = {id(p): o for o in ours for p in [pairing.partner.get(id(o))] if p is not None}
    return [dict(a, r=ours_of[id(a)]["r"]) if id(a) in ours_of else dict(a) for a in ref]


def compare_structure(structure, voltra, apbs, work, spacing=DEFAULT_SPACING, decompose=True):
    """Both energies on one grid and, with decompose, the path between them (one APBS run per
    step that changes anything, and one for PDB2PQR's file with voltra's radii)."""
    folder, ours, ref, template = prepare(structure, voltra, work)
    grid = size_grid([ours, ref], spacing)
    e_ours = apbs_energy(apbs, folder, "voltra", ours, template, grid)
    e_ref = apbs_energy(apbs, folder, "pdb2pqr", ref, template, grid)
    result = {"structure": os.path.basename(folder), "atoms_voltra": len(ours), "atoms_pdb2pqr": len(ref),
              "grid": grid, "spacing": spacing, "energies": {"voltra": e_ours, "pdb2pqr": e_ref},
              "difference": e_ours - e_ref, "relative_difference": (e_ours - e_ref) / abs(e_ref)}
    if not decompose:
        return result
    path, pairing = hybrid_path(ours, ref)
    steps, previous = [], e_ours
    for step, atoms, changed in path:
        energy = previous if changed == 0 else apbs_energy(apbs, folder, step, atoms, template, grid)
        # What this cause adds to voltra's energy minus PDB2PQR's.
        steps.append({"step": step, "atoms_changed": changed, "energy": energy,
                      "contribution": previous - energy})
        previous = energy
    e_back = apbs_energy(apbs, folder, "pdb2pqr_with_voltra_radii", with_radii_of(ref, ours, pairing),
                         template, grid)
    result["energies"]["pdb2pqr_with_voltra_radii"] = e_back
    result.update(steps=steps, residual=previous - e_ref, atoms_left_differing=atoms_differing(path[-1][1], ref),
                  radii_at_pdb2pqr_charges=e_back - e_ref, pdb2pqr_only_residues=pairing.ref_only,
                  histidines=sorted(f"{k[0]}:{m[0]['resname']}{k[1]}" for k, m in pairing.differing.items()
                                    if is_histidine(m[0]["resname"])))
    return result


def format_result(r):
    total = r["difference"]
    share = lambda x: 100.0 * x / total if total else 0.0  # noqa: E731
    e = r["energies"]
    g = r["grid"]
    lines = [
        f"{r['structure']}: voltra {e['voltra']:.1f} kJ/mol ({r['atoms_voltra']} atoms), "
        f"pdb2pqr {e['pdb2pqr']:.1f} kJ/mol ({r['atoms_pdb2pqr']} atoms), "
        f"difference {total:+.1f} kJ/mol, relative {100.0 * r['relative_difference']:+.2f} %",
        f"  grid: dime {' '.join(map(str, g['dime']))}, fglen "
        f"{' '.join('%.1f' % x for x in g['fglen'])} Å (spacing {r['spacing']} Å), cglen "
        f"{' '.join('%.1f' % x for x in g['cglen'])} Å",
        f"  {'cause':<34}{'atoms':>7}{'kJ/mol':>10}{'% of pdb2pqr':>14}{'share':>9}",
    ]
    if "steps" not in r:
        return "\n".join(lines[:2])
    names = dict(STEPS)
    for s in r["steps"]:
        lines.append(f"  {names[s['step']]:<34}{s['atoms_changed']:>7}{s['contribution']:>+10.1f}"
                     f"{100.0 * s['contribution'] / abs(e['pdb2pqr']):>+13.2f}%{share(s['contribution']):>+8.1f}%")
    lines.append(f"  {'residual':<34}{r['atoms_left_differing']:>7}{r['residual']:>+10.1f}"
                 f"{100.0 * r['residual'] / abs(e['pdb2pqr']):>+13.2f}%{share(r['residual']):>+8.1f}%")
    radii = sum(s["contribution"] for s in r["steps"] if s["step"].endswith("radii"))
    lines.append(f"  radii at voltra's charges {radii:+.1f} kJ/mol, at PDB2PQR's charges "
                 f"{r['radii_at_pdb2pqr_charges']:+.1f} kJ/mol")
    if r["pdb2pqr_only_residues"]:
        lines.append(f"  residues only PDB2PQR writes (in the residual): {', '.join(r['pdb2pqr_only_residues'])}")
    if r["histidines"]:
        lines.append(f"  histidines protonated differently (PDB2PQR's): {', '.join(r['histidines'])}")
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("structures", nargs="+")
    parser.add_argument("--voltra", required=True)
    parser.add_argument("--apbs", default=shutil.which("apbs") or "apbs")
    parser.add_argument("--spacing", type=float, default=DEFAULT_SPACING,
                        help="fine grid spacing in Å (default 0.5, as psize)")
    parser.add_argument("--work", help="folder for the files (default: a temporary one, removed)")
    parser.add_argument("--json", help="write the results as JSON here")
    parser.add_argument("--no-decomposition", action="store_true",
                        help="the two energies only (two APBS runs per structure)")
    parser.add_argument("--max-relative-difference", type=float,
                        help="exit 1 when |voltra - pdb2pqr| / |pdb2pqr| exceeds this (a fraction)")
    args = parser.parse_args(argv)
    work = args.work or tempfile.mkdtemp(prefix="voltra-apbs-")
    os.makedirs(work, exist_ok=True)
    results, status = [], 0
    try:
        for structure in args.structures:
            r = compare_structure(structure, os.path.abspath(args.voltra), args.apbs, work, args.spacing,
                                  not args.no_decomposition)
            results.append(r)
            print(format_result(r), flush=True)
            if (args.max_relative_difference is not None
                    and abs(r["relative_difference"]) > args.max_relative_difference):
                print(f"{r['structure']}: relative difference {100.0 * r['relative_difference']:+.2f} % "
                      f"exceeds {100.0 * args.max_relative_difference:.2f} %")
                status = 1
    except ToolError as error:
        print(f"compare_apbs_solvation: {error}", file=sys.stderr)
        status = 2
    finally:
        if args.json:
            with open(args.json, "w") as f:
                json.dump(results, f, indent=1)
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
