#!/usr/bin/env python3
"""The whole preparation (names, protonation states, completion, hydrogens, charges) against
PDB2PQR 3.5, run on the corpus structures while the test runs.

Usage: Pdb2pqrPreparationTest.py <repo-root> <voltra> <corpus-dir> <scratch-dir>

Raw structures: `pdb2pqr --ff=AMBER|PARSE --noopt --keep-chain` (mmCIF through `gemmi convert`
first) against `voltra --assign=amber|parse -p`: every chain's net charge, no atom of a
standard residue Missing, and the share of PDB2PQR's atoms whose charge is ours to 1e-4.
Atoms are paired by the comparison tool (tools/compare_prepared_with_pdb2pqr.py): residues by a
heavy atom at the same position, heavy atoms by name, hydrogens by their heavy atom (names of
equivalent hydrogens differ between the two: PDB2PQR's N-terminal H is our H1, its H5T/H3T our
HO5'/HO3', water and methylene hydrogens swap numbers). PARSE gives no charge or radius to most
C-H hydrogens of amino acids, so neither program writes them: its share is taken over the
atoms both files have. The default scheme's net charge must be the formal charge counted from
the input's residue names.

PQR inputs: PDB2PQR's own files in the corpus, and those just made, read back with
--assign=amber (and parse for the PARSE files): chain nets equal to the file's own, no
standard-residue atom Missing, and the atoms (paired by position) equal to 1e-4.

Cost: PDB2PQR takes most of the time (1.5-3 s of CPU per small structure and force field, about
20 s for 9X2O's 8,700 atoms), so 9X2O gets only the checks that need no PDB2PQR run; two
processes run at once.
"""

import concurrent.futures
import json
import math
import os
import shutil
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
ROOT, VOLTRA, CORPUS, SCRATCH = sys.argv[1:5]
del sys.argv[1:5]
sys.path.insert(0, os.path.join(ROOT, "tools"))
import compare_prepared_with_pdb2pqr as cmp  # noqa: E402

STRUCTURES = {"1AFS": "1AFS.pdb", "1AJJ": "1AJJ.pdb", "1BX8": "1BX8.pdb", "1K1I": "1K1I.pdb",
              "1QBS": "1QBS.pdb", "1US0": "1US0.pdb", "1FAS": "1FAS.cif", "3U7T": "3U7T.cif",
              "9X2O": "9X2O.cif", "1pfe": "1pfe.cif.gz"}
WITHOUT_PDB2PQR = {"9X2O": "too slow for every run of the suite (about 20 s of CPU per force field)"}
FORCE_FIELDS = ("amber", "parse")
SHARE_TARGET = 95.0  # % of PDB2PQR's atoms with our charge to 1e-4
PQR_SHARE_TARGET = 99.0

# Where we and PDB2PQR differ on purpose, by (structure, force field, chain): the reason.
KNOWN_CHAIN_NETS = {
    ("1pfe", "amber", "B"): "cyclic depsipeptide: PDB2PQR writes only its two ALA, each as a C-terminus "
                            "(-1, OXT); ours are internal residues linked to their neighbours (0)",
    ("1pfe", "parse", "B"): "same depsipeptide ALA as for Amber",
}
# Structures whose PDB2PQR run is known to fail: our own checks only.
KNOWN_PDB2PQR_FAILURES = {
    "3U7T": "PDB2PQR stops debumping at PRO 22, an atom OG it has no topology for",
}
# Standard residues left Missing on purpose, by (structure, force field): the reason.
KNOWN_MISSING = {
    ("1pfe", "parse"): "PARSE has no nucleic-acid charges (DA DC DG DT)",
}
# Atom shares below the target, by (structure, force field): (floor %, reason). Measured shares
# minus 0.5 points. Terminal residues take their force field's own sets (Amber's NXXX/CXXX, PARSE's
# carboxylate), so no raw structure is below the target; what is left below 100 % is histidine
# tautomers (with --noopt PDB2PQR makes every HIS its default HID; ours follow hydrogen-bond
# partners, 1AJJ HIS 11: NE2 2.65 Å from GLY 15 O) and PARSE's charged N-terminus (N -0.32, CA and
# H1-H3 0.33 in PARSE; the module puts +1.0 on the first N-terminal N of a chain).
SHARE_FLOORS = {}
PQR_SHARE_FLOORS = {
    "1pfe_AMBER": (94.6, "the depsipeptide's ALA: PDB2PQR drops its nonstandard neighbours, so the PQR "
                         "alone shows free ends, which get H2/H3 and Amber's N-terminal ALA here (and "
                         "our DNA 5'/3' ends)"),
    "1pfe_PARSE": (97.5, "the depsipeptide's ALA as for Amber"),
}
# Chains of PDB2PQR's outputs whose net charge we do not take from the file alone, by (file,
# chain): the reason.
KNOWN_PQR_CHAIN_NETS = {
    ("1pfe_AMBER", "B"): "PDB2PQR drops the depsipeptide's nonstandard residues, so in the PQR alone both "
                         "ALA have a free N (+1 each here; PDB2PQR, which saw the links, 0)",
    ("1pfe_PARSE", "B"): "as for 1pfe_AMBER",
}
# PQR inputs of the corpus and the force field their charges are.
CORPUS_PQRS = {"1AFS_whitespace_ff=AMBER.pqr": "amber", "1AFS_whitespace_ff=PARSE.pqr": "parse",
               "1AJJ_pH7_AMBER.pqr": "amber", "1AJJ_pH7_PARSE.pqr": "parse",
               "1BX8_pH7_AMBER.pqr": "amber", "1BX8_pH7_PARSE.pqr": "parse",
               "cterm_hid_out.pqr": "amber", "5vav_cyclic_peptide_out.pqr": "amber"}

# Formal charges by residue name: side chains at pH 7 and the ions and additives the templates
# know (their wwPDB components' charges). Unknown ligands count 0: they are left Missing.
FORMAL = {"ASP": -1, "GLU": -1, "LYS": 1, "ARG": 1, "HIP": 1, "CYM": -1,
          "LI": 1, "NA": 1, "K": 1, "RB": 1, "CS": 1, "CU1": 1, "MG": 2, "CA": 2, "SR": 2, "BA": 2,
          "MN": 2, "FE2": 2, "CO": 2, "NI": 2, "CU": 2, "ZN": 2, "CD": 2, "HG": 2, "FE": 3,
          "F": -1, "CL": -1, "BR": -1, "IOD": -1, "SO4": -2, "PO4": -3, "ACT": -1}
AMINO_ACIDS = set("ALA ARG ASN ASP CYS GLN GLU GLY HIS ILE LEU LYS MET PHE PRO SER THR TRP TYR VAL "
                  "HID HIE HIP CYX CYM ASH GLH LYN".split())
NUCLEOTIDES = {"DA", "DC", "DG", "DT", "A", "C", "G", "U"}
PEPTIDE_BOND = 2.0  # Å, longest C-N that links two residues


def run(cmd):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def read_structure(path):
    """The first model's atoms of a PDB file: (resname, chain, resseq, name, xyz), first altloc."""
    atoms = []
    with open(path) as f:
        for line in f:
            if line.startswith("ENDMDL"):
                break
            if not line.startswith(("ATOM", "HETATM")) or line[16] not in " A1":
                continue
            atoms.append((line[17:20].strip(), line[21], line[22:27].strip(), line[12:16].strip(),
                          (float(line[30:38]), float(line[38:46]), float(line[46:54]))))
    return atoms


def formal_charge(path):
    """The net charge the default scheme must give: residue formal charges, +1 on each chain's
    first N-terminal amino acid, -1 on every amino acid whose C links no N (a C-terminus or a
    break: both get OXT), -1 per nucleotide phosphate and -1 more for a 5' OP3."""
    atoms = read_structure(path)
    residues = {}
    for resname, chain, resseq, name, xyz in atoms:
        residues.setdefault((chain, resseq), (resname, {}))[1][name] = xyz
    total = 0
    n_atoms = [(key, r[1]["N"]) for key, r in residues.items() if r[0] in AMINO_ACIDS and "N" in r[1]]
    c_atoms = [(key, r[1]["C"]) for key, r in residues.items() if r[0] in AMINO_ACIDS and "C" in r[1]]
    every_c = [(key, r[1]["C"]) for key, r in residues.items() if "C" in r[1]]
    first_seen = set()
    for key, (resname, names) in residues.items():
        total += FORMAL.get(resname, 0)
        if resname in NUCLEOTIDES:
            total -= ("P" in names) + ("OP3" in names)
    for key, n in n_atoms:
        if key[0] in first_seen:
            continue
        first_seen.add(key[0])
        if not any(k != key and math.dist(n, c) < PEPTIDE_BOND for k, c in every_c):
            total += 1
    every_n = [(key, r[1]["N"]) for key, r in residues.items() if "N" in r[1]]
    for key, c in c_atoms:
        if not any(k != key and math.dist(n, c) < PEPTIDE_BOND for k, n in every_n):
            total -= 1
    return total


class Runs:
    """Every program run of the test, made once, two at a time."""

    def __init__(self):
        shutil.rmtree(SCRATCH, ignore_errors=True)
        os.makedirs(SCRATCH)
        self.inputs = {}
        for stem, name in STRUCTURES.items():
            source = os.path.join(CORPUS, name)
            if name.endswith(".pdb"):
                self.inputs[stem] = source
                continue
            converted = os.path.join(SCRATCH, stem + ".pdb")
            done = run(["gemmi", "convert", source, converted])
            if done.returncode != 0:
                raise RuntimeError(f"gemmi convert {source}: {done.stderr.strip()}")
            self.inputs[stem] = converted
        jobs = {}
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            for stem in STRUCTURES:
                if stem in WITHOUT_PDB2PQR:
                    continue
                for ff in FORCE_FIELDS:
                    if stem in KNOWN_PDB2PQR_FAILURES and ff != "amber":
                        continue  # one run shows it still fails
                    jobs[("pdb2pqr", stem, ff)] = pool.submit(self.pdb2pqr, stem, ff)
            for stem in STRUCTURES:
                for ff in ("default",) + FORCE_FIELDS:
                    out = os.path.join(SCRATCH, f"{stem}_{ff}_voltra.pqr")
                    jobs[("voltra", stem, ff)] = pool.submit(cmp.run_voltra, VOLTRA, ff, self.inputs[stem], out)
            for name, ff in CORPUS_PQRS.items():
                out = os.path.join(SCRATCH, f"in_{name}_{ff}.pqr")
                jobs[("pqr", name, ff)] = pool.submit(cmp.run_voltra, VOLTRA, ff, os.path.join(CORPUS, name), out)
            self.results = {key: job.result() for key, job in jobs.items()}
            # PDB2PQR's fresh outputs read back, once they exist.
            again = {}
            for (kind, stem, ff), path in list(self.results.items()):
                if kind == "pdb2pqr" and path:
                    out = os.path.join(SCRATCH, f"in_{stem}_{ff.upper()}_{ff}.pqr")
                    again[("pqr", f"{stem}_{ff.upper()}", ff)] = pool.submit(cmp.run_voltra, VOLTRA, ff, path, out)
            self.results.update({key: job.result() for key, job in again.items()})

    def pdb2pqr(self, stem, ff):
        out = os.path.join(SCRATCH, f"{stem}_{ff.upper()}.pqr")
        done = run(["pdb2pqr", f"--ff={ff.upper()}", "--noopt", "--keep-chain", self.inputs[stem], out])
        return out if done.returncode == 0 and os.path.exists(out) else None

    def voltra(self, stem, ff):
        status, summary, stderr = self.results[("voltra", stem, ff)]
        return status, summary, stderr, os.path.join(SCRATCH, f"{stem}_{ff}_voltra.pqr")


RUNS = None


def setUpModule():
    global RUNS
    RUNS = Runs()


def report(line):
    print(line, flush=True)


class RawStructures(unittest.TestCase):
    def test_chain_nets_missing_and_atoms_equal_against_pdb2pqr(self):
        for stem in STRUCTURES:
            for ff in FORCE_FIELDS:
                if ("pdb2pqr", stem, ff) not in RUNS.results:
                    continue
                with self.subTest(structure=stem, ff=ff):
                    ref_path = RUNS.results[("pdb2pqr", stem, ff)]
                    if stem in KNOWN_PDB2PQR_FAILURES:
                        self.assertIsNone(ref_path, f"{stem}: PDB2PQR works now; compare it")
                        continue
                    self.assertIsNotNone(ref_path, f"pdb2pqr gave no output for {stem} {ff}")
                    status, summary, stderr, ours_path = RUNS.voltra(stem, ff)
                    self.assertEqual(status, 0, stderr)
                    result = cmp.compare_files(cmp.read_pqr(ours_path), cmp.read_pqr(ref_path))
                    base = result["atoms_both"] if ff == "parse" else result["atoms_reference"]
                    share = 100.0 * result["atoms_equal"] / base
                    missing, lines = cmp.missing_standard(summary)
                    report(f"{stem:5} {ff:5} equal {share:6.2f}% ({result['atoms_equal']}/{base}"
                           f"{' shared' if ff == 'parse' else ''}) missing(std) {missing} chains "
                           + " ".join(f"{c['chain'] or '-'}:{c['voltra']:+.2f}/{c['pdb2pqr']:+.2f}"
                                      for c in result["chains"]))
                    for chain in result["chains"]:
                        if (stem, ff, chain["chain"]) in KNOWN_CHAIN_NETS:
                            self.assertFalse(chain["agrees"], f"{stem} {ff} chain {chain['chain']} agrees now")
                        else:
                            self.assertTrue(chain["agrees"], f"{stem} {ff} chain {chain['chain']!r}: ours "
                                            f"{chain['voltra']:+.3f}, pdb2pqr {chain['pdb2pqr']:+.3f}; "
                                            f"{result['residues_differing'][:6]}")
                    if (stem, ff) in KNOWN_MISSING:
                        self.assertGreater(missing, 0, f"{stem} {ff}: no standard atom Missing now")
                    else:
                        self.assertEqual(missing, 0, lines[:10])
                    floor = SHARE_FLOORS.get((stem, ff), (SHARE_TARGET, ""))[0]
                    self.assertGreaterEqual(share, floor, f"{stem} {ff}")

    def test_our_own_invariants(self):
        """Every structure, PDB2PQR or not: amber and parse run, leave no standard atom Missing,
        give whole-numbered chains where nothing is Missing, and the same chain nets."""
        for stem in STRUCTURES:
            nets = {}
            for ff in FORCE_FIELDS:
                with self.subTest(structure=stem, ff=ff):
                    status, summary, stderr, _ = RUNS.voltra(stem, ff)
                    self.assertEqual(status, 0, stderr)
                    missing, lines = cmp.missing_standard(summary)
                    if (stem, ff) not in KNOWN_MISSING:
                        self.assertEqual(missing, 0, lines[:10])
                    chains = [c for m in summary["summary"]["molecules"] for c in m["chains"]]
                    nets[ff] = [round(c["netCharge"], 2) for c in chains]
                    if summary["summary"]["missingAtoms"] == 0:
                        for c in chains:
                            self.assertAlmostEqual(c["netCharge"], round(c["netCharge"]), delta=0.01,
                                                   msg=f"{stem} {ff} chain {c['label']}")
            if (stem, "parse") not in KNOWN_MISSING:
                self.assertEqual(nets["amber"], nets["parse"], f"{stem}: amber and parse chain nets")

    def test_default_net_is_the_formal_charge(self):
        for stem in STRUCTURES:
            with self.subTest(structure=stem):
                status, summary, stderr, _ = RUNS.voltra(stem, "default")
                self.assertEqual(status, 0, stderr)
                net = sum(m["netCharge"] for m in summary["summary"]["molecules"])
                expected = formal_charge(RUNS.inputs[stem])
                report(f"{stem:5} default net {net:+.2f} formal {expected:+d}")
                self.assertAlmostEqual(net, expected, delta=0.01, msg=stem)


class PqrInputs(unittest.TestCase):
    def test_pdb2pqr_outputs_read_back(self):
        runs = sorted((key, value) for key, value in RUNS.results.items() if key[0] == "pqr")
        for (_, name, ff), (status, summary, stderr) in runs:
            with self.subTest(pqr=name, ff=ff):
                self.assertEqual(status, 0, stderr)
                source = os.path.join(CORPUS, name) if name in CORPUS_PQRS else \
                    os.path.join(SCRATCH, name + ".pqr")
                ref = cmp.read_pqr(source)
                ours = cmp.read_pqr(os.path.join(SCRATCH, f"in_{name}_{ff}.pqr"))
                by_position = {cmp.position_key(a["xyz"]): a for a in ours}
                equal = sum(1 for a in ref if cmp.position_key(a["xyz"]) in by_position and
                            abs(by_position[cmp.position_key(a["xyz"])]["q"] - a["q"]) <= cmp.CHARGE_TOL)
                share = 100.0 * equal / len(ref)
                missing, lines = cmp.missing_standard(summary)
                ref_nets = cmp.chain_nets(ref)
                # By the input's chains (voltra writes waters without theirs); a hydrogen added
                # here counts to its own chain.
                ref_chain = {cmp.position_key(a["xyz"]): a["chain"] for a in ref}
                ours_nets = {}
                for a in ours:
                    chain = ref_chain.get(cmp.position_key(a["xyz"]), a["chain"])
                    ours_nets[chain] = ours_nets.get(chain, 0.0) + a["q"]
                report(f"{name:30} {ff:5} equal {share:6.2f}% ({equal}/{len(ref)}) missing(std) {missing} "
                       + " ".join(f"{c or '-'}:{ours_nets.get(c, 0):+.2f}/{q:+.2f}" for c, q in sorted(ref_nets.items())))
                self.assertEqual(missing, 0, lines[:10])
                known = [c for c in ref_nets if (name, c) in KNOWN_PQR_CHAIN_NETS]
                for chain in known:
                    self.assertNotAlmostEqual(ours_nets.get(chain, 0.0), ref_nets[chain], delta=0.01,
                                              msg=f"{name} chain {chain} agrees now")
                if not known:
                    self.assertAlmostEqual(sum(ours_nets.values()), sum(ref_nets.values()), delta=0.01, msg=name)
                for chain, q in ref_nets.items():
                    if chain and chain not in known:
                        self.assertAlmostEqual(ours_nets.get(chain, 0.0), q, delta=0.01, msg=f"{name} {chain}")
                floor = PQR_SHARE_FLOORS.get(name, (PQR_SHARE_TARGET, ""))[0]
                self.assertGreaterEqual(share, floor, name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
