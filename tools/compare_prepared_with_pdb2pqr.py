#!/usr/bin/env python3
"""Compares what voltra makes of a raw structure (no hydrogens, possibly incomplete side chains)
with what PDB2PQR makes of it: voltra adds hydrogens, chooses protonation states and completes
residues itself, so this checks the whole preparation, not only the template data.

Usage: compare_prepared_with_pdb2pqr.py --voltra BIN [--ff amber|parse ...] [--reference DIR]
                                        [--work DIR] [--json FILE] STRUCTURE...

For each structure and force field it runs
    voltra --assign=<ff> -p <work>/<stem>_<ff>.pqr STRUCTURE
and reads PDB2PQR's output for the same file, <reference>/<stem>_<FF>.pqr, or makes it with
    pdb2pqr --ff=<FF> --noopt --keep-chain STRUCTURE <work>/<stem>_<FF>.pqr
(mmCIF input goes through `gemmi convert` to PDB first: PDB2PQR 3.5's mmCIF reader fails on
most files). It reports, per structure:
  - the net charge of every chain in both, and the chains that differ by more than 0.01 e;
  - atoms of standard residues voltra left "Missing" (from its summary);
  - the share of PDB2PQR's atoms that voltra has too (matched by chain, residue number and
    atom name, names in PDB v3 spelling; PDB2PQR's N-terminal "H" is H1) with a charge equal
    to 1e-4;
  - X-H distances of voltra's hydrogens (min, max, and how many are off the nuclear length by
    more than 0.02 Å) and hydrogens closer than 1.2 Å to an atom other than their own parent,
    in both files.
PDB2PQR drops ligands and, for PARSE, nucleic acids; chains it does not write are reported
but not compared. Exit status 0 when every compared chain agrees and no standard-residue atom
is Missing, 1 otherwise.
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
from collections import defaultdict

NET_TOL = 0.01
CHARGE_TOL = 1e-4 + 1e-6
NUCLEAR_XH = {"C": 1.09, "N": 1.01, "O": 0.96, "S": 1.34}
STANDARD = set(
    "ALA ARG ASN ASP CYS GLN GLU GLY HIS ILE LEU LYS MET PHE PRO SER THR TRP TYR VAL "
    "HID HIE HIP CYX CYM ASH GLH LYN DA DC DG DT A C G U".split())


def read_pqr(path):
    """Atoms as dicts: name, resname, chain, resseq, xyz, q, r; in file order."""
    atoms = []
    with open(path) as f:
        for line in f:
            if not line.startswith(("ATOM", "HETATM")):
                continue
            t = line.split()
            if len(t) == 11:
                _, _, name, resname, chain, resseq, x, y, z, q, r = t
            elif len(t) == 10:
                _, _, name, resname, resseq, x, y, z, q, r = t
                chain = ""
            else:
                continue
            m = re.match(r"(-?\d+)(\D*)$", resseq)
            atoms.append({"name": name, "resname": resname, "chain": chain,
                          "resseq": m.group(1) + m.group(2) if m else resseq,
                          "xyz": (float(x), float(y), float(z)), "q": float(q), "r": float(r)})
    return atoms


def v3_name(name):
    """PDB v3 spelling: a leading digit goes to the end (1HD2 -> HD21)."""
    return name[1:] + name[0] if name[:1].isdigit() else name


def element_of(name):
    return v3_name(name).lstrip("0123456789")[:1]


def residues_of(atoms):
    residues = defaultdict(list)
    for a in atoms:
        residues[(a["chain"], a["resseq"])].append(a)
    return residues


def keyed(atoms):
    """Atoms by (chain, resseq, v3 name); PDB2PQR's N-terminal H becomes H1."""
    out = {}
    for key, members in residues_of(atoms).items():
        names = {v3_name(a["name"]) for a in members}
        for a in members:
            name = v3_name(a["name"])
            if name == "H" and "H2" in names and "H3" in names:
                name = "H1"
            out[(key[0], key[1], name)] = a
    return out


def chain_nets(atoms):
    nets = defaultdict(float)
    for a in atoms:
        nets[a["chain"]] += a["q"]
    return dict(nets)


def hydrogen_geometry(atoms):
    """(X-H distances by element, count of H within 1.2 Å of a non-parent atom)."""
    heavy = [a for a in atoms if element_of(a["name"]) != "H"]
    cell = defaultdict(list)
    for i, a in enumerate(atoms):
        cell[tuple(int(math.floor(c / 2.0)) for c in a["xyz"])].append(i)
    distances, close = [], 0
    for a in atoms:
        if element_of(a["name"]) != "H":
            continue
        cx = tuple(int(math.floor(c / 2.0)) for c in a["xyz"])
        near = []
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    for j in cell.get((cx[0] + dx, cx[1] + dy, cx[2] + dz), ()):
                        b = atoms[j]
                        if b is a:
                            continue
                        d = math.dist(a["xyz"], b["xyz"])
                        near.append((d, b))
        near.sort(key=lambda t: t[0])
        parent = next(((d, b) for d, b in near if element_of(b["name"]) != "H"), None)
        if parent and parent[0] < 1.6:
            distances.append((element_of(parent[1]["name"]), parent[0]))
        close += sum(1 for d, b in near if d < 1.2 and (parent is None or b is not parent[1]))
    del heavy
    return distances, close


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kw)


def reference_pqr(structure, ff, args, work):
    stem = os.path.basename(structure).split(".")[0]
    if args.reference:
        path = os.path.join(args.reference, f"{stem}_{ff.upper()}.pqr")
        if os.path.exists(path):
            return path
    source = structure
    if ".cif" in structure:
        source = os.path.join(work, stem + ".pdb")
        if not os.path.exists(source):
            conv = run(["gemmi", "convert", structure, source])
            if conv.returncode != 0:
                return None
    out = os.path.join(work, f"{stem}_{ff.upper()}.pqr")
    done = run(["pdb2pqr", f"--ff={ff.upper()}", "--noopt", "--keep-chain", source, out])
    return out if done.returncode == 0 and os.path.exists(out) else None


def missing_standard(stderr):
    """Standard-residue atoms left Missing, from the summary's per-residue-type lines."""
    count, lines, inside = 0, [], False
    for line in stderr.splitlines():
        if "atoms left Missing" in line:
            inside = True
            continue
        if inside:
            m = re.match(r"\s{4}(\S+)\s+(\d+) ", line)
            if m:
                if m.group(1) in STANDARD:
                    count += int(m.group(2))
                    lines.append(line.strip())
            elif not line.startswith("   "):
                inside = False
    return count, lines


def compare(structure, ff, args, work):
    stem = os.path.basename(structure).split(".")[0]
    ours_path = os.path.join(work, f"{stem}_{ff}_voltra.pqr")
    done = run([args.voltra, f"--assign={ff}", "-p", ours_path, structure])
    result = {"structure": stem, "ff": ff, "voltra_exit": done.returncode}
    if done.returncode != 0:
        result["error"] = done.stderr.strip().splitlines()[-1:]
        return result
    ours = read_pqr(ours_path)
    missing, missing_lines = missing_standard(done.stderr)
    result["missing_standard"] = missing
    result["missing_lines"] = missing_lines
    distances, close = hydrogen_geometry(ours)
    off = [(e, d) for e, d in distances if e in NUCLEAR_XH and abs(d - NUCLEAR_XH[e]) > 0.02]
    result["xh"] = {"count": len(distances), "min": min((d for _, d in distances), default=0),
                    "max": max((d for _, d in distances), default=0), "off_nuclear": len(off),
                    "close_contacts": close}
    ref_path = reference_pqr(structure, ff, args, work)
    if not ref_path:
        result["reference"] = "pdb2pqr gave no output"
        return result
    ref = read_pqr(ref_path)
    _, ref_close = hydrogen_geometry(ref)
    result["xh"]["pdb2pqr_close_contacts"] = ref_close
    ours_keyed, ref_keyed = keyed(ours), keyed(ref)
    equal = sum(1 for k, a in ref_keyed.items()
                if k in ours_keyed and abs(ours_keyed[k]["q"] - a["q"]) <= CHARGE_TOL)
    result["atoms_equal"] = equal
    result["atoms_reference"] = len(ref_keyed)
    ours_nets = defaultdict(float)
    ref_chains = {a["chain"] for a in ref}
    ref_residues = {(a["chain"], a["resseq"]) for a in ref}
    for a in ours:  # only what PDB2PQR also wrote: it drops ligands (and PARSE nucleic acids)
        if (a["chain"], a["resseq"]) in ref_residues:
            ours_nets[a["chain"]] += a["q"]
    nets = []
    for chain, net in sorted(chain_nets(ref).items()):
        nets.append({"chain": chain, "voltra": round(ours_nets.get(chain, 0.0), 4),
                     "pdb2pqr": round(net, 4),
                     "agrees": abs(ours_nets.get(chain, 0.0) - net) <= NET_TOL})
    result["chains"] = nets
    result["chains_not_written_by_pdb2pqr"] = sorted({a["chain"] for a in ours} - ref_chains)
    differing = []
    ours_res, ref_res = residues_of(ours), residues_of(ref)
    for key in sorted(ref_res):
        q_ref = sum(a["q"] for a in ref_res[key])
        q_ours = sum(a["q"] for a in ours_res.get(key, []))
        if abs(q_ref - q_ours) > NET_TOL:
            differing.append(f"{key[0]}:{ref_res[key][0]['resname']}{key[1]} voltra "
                             f"{ours_res[key][0]['resname'] if key in ours_res else '-'} {q_ours:+.3f}"
                             f" pdb2pqr {q_ref:+.3f}")
    result["residues_differing"] = differing
    return result


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("structures", nargs="+")
    parser.add_argument("--voltra", required=True)
    parser.add_argument("--ff", action="append", choices=("amber", "parse"))
    parser.add_argument("--reference", help="folder of PDB2PQR outputs <stem>_<FF>.pqr")
    parser.add_argument("--work", help="folder for the outputs (default: a temporary one)")
    parser.add_argument("--json", help="write the results as JSON here")
    args = parser.parse_args(argv)
    work = args.work or tempfile.mkdtemp(prefix="voltra-compare-")
    os.makedirs(work, exist_ok=True)
    ok = True
    results = []
    for structure in args.structures:
        for ff in args.ff or ["amber", "parse"]:
            r = compare(structure, ff, args, work)
            results.append(r)
            chains = r.get("chains", [])
            bad = [c for c in chains if not c["agrees"]]
            share = (100.0 * r["atoms_equal"] / r["atoms_reference"]) if r.get("atoms_reference") else 0
            print(f"{r['structure']:6} {ff:5} exit {r['voltra_exit']} missing(std) "
                  f"{r.get('missing_standard', '-')} chains {len(chains) - len(bad)}/{len(chains)} "
                  f"equal {share:5.1f}% X-H {r.get('xh', {}).get('min', 0):.3f}-"
                  f"{r.get('xh', {}).get('max', 0):.3f} off {r.get('xh', {}).get('off_nuclear', '-')} "
                  f"close {r.get('xh', {}).get('close_contacts', '-')}/"
                  f"{r.get('xh', {}).get('pdb2pqr_close_contacts', '-')}")
            for c in bad:
                print(f"    chain {c['chain']!r}: voltra {c['voltra']:+.3f} pdb2pqr {c['pdb2pqr']:+.3f}")
            for line in r.get("residues_differing", [])[:12]:
                print(f"      {line}")
            for line in r.get("missing_lines", []):
                print(f"    missing: {line}")
            if r["voltra_exit"] != 0 or bad or r.get("missing_standard", 0):
                ok = False
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
