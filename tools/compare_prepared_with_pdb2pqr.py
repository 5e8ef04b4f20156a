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


def parse_pqr_line(line):
    """One ATOM/HETATM line as a dict, or None. Whitespace-separated, as PDB2PQR and voltra
    write them, but PDB2PQR's fixed columns run fields together at their widths: a five-digit
    serial joins the record name (HETATM13060) and a four-digit residue number its chain
    (A2001); both are split again here."""
    record = "HETATM" if line.startswith("HETATM") else "ATOM" if line.startswith("ATOM") else None
    if not record:
        return None
    t = line[len(record):].split()
    if len(t) < 9:
        return None
    try:
        x, y, z, q, r = (float(v) for v in t[-5:])
    except ValueError:
        return None
    head = t[:-5]
    if len(head) == 5:
        _, name, resname, chain, resseq = head
    elif len(head) == 4:
        _, name, resname, resseq = head
        m = re.match(r"([A-Za-z]?)(-?\d+[A-Za-z]?)$", resseq)
        chain, resseq = (m.group(1), m.group(2)) if m else ("", resseq)
    else:
        return None
    return {"name": name, "resname": resname, "chain": chain, "resseq": resseq,
            "xyz": (x, y, z), "q": q, "r": r}


def read_pqr(path):
    """Atoms as dicts: name, resname, chain, resseq, xyz, q, r; in file order."""
    atoms = []
    with open(path) as f:
        for line in f:
            atom = parse_pqr_line(line)
            if atom:
                atoms.append(atom)
    return atoms


def v3_name(name):
    """PDB v3 spelling: a leading digit goes to the end (1HD2 -> HD21)."""
    return name[1:] + name[0] if name[:1].isdigit() else name


def element_of(name):
    return v3_name(name).lstrip("0123456789")[:1]


def is_hydrogen(atom):
    return element_of(atom["name"]) == "H" and atom["resname"] not in ("HG", "HO")


def residues_of(atoms):
    residues = defaultdict(list)
    for a in atoms:
        residues[(a["chain"], a["resseq"])].append(a)
    return residues


def position_key(xyz):
    return tuple(round(c, 2) for c in xyz)


def hydrogen_parents(members):
    """Each hydrogen of one residue with the name of its heavy atom: the nearest one."""
    heavy = [a for a in members if not is_hydrogen(a)]
    parents = {}
    for h in members:
        if not is_hydrogen(h) or not heavy:
            continue
        d, parent = min((math.dist(h["xyz"], a["xyz"]), i) for i, a in enumerate(heavy))
        parents[id(h)] = v3_name(heavy[parent]["name"]) if d < 1.5 else None
    return parents


def match_residues(ref, ours):
    """PDB2PQR's residues -> voltra's: by a heavy atom at the same position (both keep the
    input's coordinates), so that chains and numbers need not be written alike (voltra writes
    waters without their chain); by chain and number where no atom position is shared."""
    ours_res = residues_of(ours)
    at = {}
    for key, members in ours_res.items():
        for a in members:
            if not is_hydrogen(a):
                at.setdefault(position_key(a["xyz"]), key)
    mapping = {}
    for key, members in residues_of(ref).items():
        votes = defaultdict(int)
        for a in members:
            if not is_hydrogen(a) and position_key(a["xyz"]) in at:
                votes[at[position_key(a["xyz"])]] += 1
        if votes:
            mapping[key] = max(votes, key=votes.get)
        elif key in ours_res:
            mapping[key] = key
    return mapping


def match_atoms(ref, ours, tol=CHARGE_TOL):
    """[(pdb2pqr atom, voltra atom or None, charges equal)] for every PDB2PQR atom.

    Heavy atoms are matched by PDB v3 name within the matched residue. Hydrogens are matched
    by their heavy atom (the nearest heavy atom of their residue), not by name: the two name
    the same hydrogens differently where the chemistry does not tell them apart (PDB2PQR's
    N-terminal H/H2/H3 and its NPRO H/H2 are H1/H2/H3 and H2/H3 here; its nucleic H5T/H3T are
    HO5'/HO3'; water and methylene hydrogens swap numbers), so within one heavy atom's
    hydrogens an equal charge is sought among voltra's hydrogens on the same heavy atom."""
    mapping = match_residues(ref, ours)
    ours_res, ref_res = residues_of(ours), residues_of(ref)
    out = []
    for key, members in ref_res.items():
        mine = ours_res.get(mapping.get(key), [])
        by_name = {v3_name(a["name"]): a for a in mine if not is_hydrogen(a)}
        ref_parents, our_parents = hydrogen_parents(members), hydrogen_parents(mine)
        our_groups = defaultdict(list)
        for a in mine:
            if is_hydrogen(a):
                our_groups[our_parents.get(id(a))].append(a)
        hydrogens = []
        for a in members:
            if not is_hydrogen(a):
                b = by_name.get(v3_name(a["name"]))
                out.append((a, b, b is not None and abs(a["q"] - b["q"]) <= tol))
            else:
                hydrogens.append(a)
        unmatched = []
        for a in hydrogens:  # equal charges first, then whatever is left on the same heavy atom
            group = our_groups.get(ref_parents.get(id(a)), [])
            b = next((h for h in group if abs(h["q"] - a["q"]) <= tol), None)
            if b is None:
                unmatched.append(a)
                continue
            group.remove(b)
            out.append((a, b, True))
        for a in unmatched:
            group = our_groups.get(ref_parents.get(id(a)), [])
            out.append((a, group.pop(0) if group else None, False))
    return out, mapping


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


def missing_standard(summary):
    """Standard-residue atoms left Missing, from one input's JSON summary (--summary-json)."""
    count, lines = 0, []
    for m in summary.get("summary", {}).get("missing", []):
        if m["residueType"] in STANDARD:
            count += m["count"]
            lines.append(f"{m['residueType']} {m['atomName']} x{m['count']}")
    return count, lines


def run_voltra(voltra, ff, structure, pqr_path):
    """(exit status, the input's JSON summary or {}, standard error)."""
    summary_path = pqr_path + ".summary.json"
    done = run([voltra, "-q", f"--assign={ff}", "-p", pqr_path, f"--summary-json={summary_path}", structure])
    summary = {}
    if os.path.exists(summary_path):
        with open(summary_path) as f:
            summary = json.load(f)[0]
    return done.returncode, summary, done.stderr


def compare_files(ours, ref, tol=CHARGE_TOL):
    """Chain nets, atoms equal and residues whose net charge differs, PDB2PQR's file (ref)
    against voltra's (ours); both lists of atoms from read_pqr."""
    pairs, mapping = match_atoms(ref, ours, tol)
    result = {"atoms_reference": len(pairs),
              "atoms_both": sum(1 for _, b, _ in pairs if b is not None),
              "atoms_equal": sum(1 for _, _, equal in pairs if equal),
              "unequal": [(a, b) for a, b, equal in pairs if not equal]}
    ours_res, ref_res = residues_of(ours), residues_of(ref)
    residue_q = {key: sum(a["q"] for a in members) for key, members in ours_res.items()}
    # Only what PDB2PQR also wrote counts: it drops ligands (and for PARSE nucleic acids).
    ours_nets, seen = defaultdict(float), set()
    for key in ref_res:
        mine = mapping.get(key)
        if mine is not None and mine not in seen:
            seen.add(mine)
            ours_nets[key[0]] += residue_q[mine]
    result["chains"] = [{"chain": chain, "voltra": round(ours_nets.get(chain, 0.0), 4),
                         "pdb2pqr": round(net, 4),
                         "agrees": abs(ours_nets.get(chain, 0.0) - net) <= NET_TOL}
                        for chain, net in sorted(chain_nets(ref).items())]
    differing = []
    for key in sorted(ref_res):
        q_ref = sum(a["q"] for a in ref_res[key])
        mine = mapping.get(key)
        q_ours = residue_q.get(mine, 0.0)
        if abs(q_ref - q_ours) > NET_TOL:
            differing.append(f"{key[0]}:{ref_res[key][0]['resname']}{key[1]} voltra "
                             f"{ours_res[mine][0]['resname'] if mine in ours_res else '-'} "
                             f"{q_ours:+.3f} pdb2pqr {q_ref:+.3f}")
    result["residues_differing"] = differing
    return result


def compare(structure, ff, args, work):
    stem = os.path.basename(structure).split(".")[0]
    ours_path = os.path.join(work, f"{stem}_{ff}_voltra.pqr")
    status, summary, stderr = run_voltra(args.voltra, ff, structure, ours_path)
    result = {"structure": stem, "ff": ff, "voltra_exit": status}
    if status != 0:
        result["error"] = stderr.strip().splitlines()[-1:]
        return result
    ours = read_pqr(ours_path)
    result["missing_standard"], result["missing_lines"] = missing_standard(summary)
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
    compared = compare_files(ours, ref)
    compared.pop("unequal")
    result.update(compared)
    ref_chains = {a["chain"] for a in ref}
    result["chains_not_written_by_pdb2pqr"] = sorted({a["chain"] for a in ours} - ref_chains)
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
            both = (100.0 * r["atoms_equal"] / r["atoms_both"]) if r.get("atoms_both") else 0
            print(f"{r['structure']:6} {ff:5} exit {r['voltra_exit']} missing(std) "
                  f"{r.get('missing_standard', '-')} chains {len(chains) - len(bad)}/{len(chains)} "
                  f"equal {share:5.1f}% ({both:5.1f}% of shared) X-H {r.get('xh', {}).get('min', 0):.3f}-"
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
