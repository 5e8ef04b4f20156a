#!/usr/bin/env python3
"""The APBS solvation energy of voltra's Amber PQR of 1AJJ against PDB2PQR's, through
tools/compare_apbs_solvation.py, and the pieces of that tool the figures rest on.

Usage: ApbsSolvationTest.py <repo-root> <voltra> <corpus-dir> <scratch-dir>

The energies need Debian's apbs and pdb2pqr; without them those tests are skipped.
"""

import os
import shutil
import sys
import unittest

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
ROOT, VOLTRA, CORPUS, SCRATCH = sys.argv[1:5]
del sys.argv[1:5]
sys.path.insert(0, os.path.join(ROOT, "tools"))
import compare_apbs_solvation as tool  # noqa: E402

STRUCTURE = os.path.join(CORPUS, "1AJJ.pdb")
HAVE_PDB2PQR = shutil.which("pdb2pqr") is not None
HAVE_APBS = shutil.which("apbs") is not None

# Bounds from the decomposition of 1AJJ on the 0.5 Å grid (bench/README.md, "APBS solvation
# energy against PDB2PQR"), as percentages of PDB2PQR's energy. The causes that are ours on
# purpose add up to -7.96: radii (Default against Amber) -20.10, the sulfate and calcium PDB2PQR
# drops +4.84, hydrogens placed another way (waters not oriented) +6.69, the C-terminal O that
# PDB2PQR rebuilds +0.13, HIS 11 as HIE +0.48.
# The terminal charges add -2.42 until our terminal sets are PDB2PQR's, then about 0. Every
# other atom carries PDB2PQR's charge. So the relative difference lies in
# [-7.96 - 2.42, -7.96], widened by the grid's error on each side.
BY_DESIGN = -0.0796
TERMINAL_CHARGES = -0.0242
# The relative difference moved by 0.36 points from 0.5 Å to about 0.4 Å (97 x 129 x 129
# points, the most psize's 400 MB ceiling allows) and by 1.2 points at 1 Å, where single causes
# even change sign: the test takes 0.5 Å.
GRID_ERROR = 0.01
# Voltra's file against PDB2PQR's with only the charges different: the terminal sets, and the
# grid's much smaller error on a difference of charges alone.
MAX_CHARGES_ONLY = abs(TERMINAL_CHARGES) + 0.005

PSIZE_INPUT = """read
    mol pqr x.pqr
end
elec name solvated
    mg-auto
    dime 97 97 97
    cglen 41.5 45.0 52.1
    fglen 41.5 45.0 50.7
    cgcent mol 1
    fgcent mol 1
    mol 1
    lpbe
    sdie 78.5400
end
elec name reference
    mg-auto
    dime 97 97 97
    cglen 41.5 45.0 52.1
    fglen 41.5 45.0 50.7
    cgcent mol 1
    fgcent mol 1
    mol 1
    sdie 2.0000
end
print elecEnergy solvated - reference end
quit
"""


def atom(name, xyz, q=0.0, r=1.5, resname="ALA", chain="A", resseq="1"):
    return {"name": name, "resname": resname, "chain": chain, "resseq": resseq, "xyz": xyz, "q": q, "r": r}


class ApbsInputGrid(unittest.TestCase):
    def test_every_block_gets_the_one_grid_and_keeps_its_settings(self):
        grid = {"dime": [65, 97, 129], "cglen": [10.0, 20.0, 30.0], "fglen": [9.0, 19.0, 29.0],
                "center": [1.0, -2.0, 3.5]}
        text = tool.with_grid(PSIZE_INPUT, "hybrid.pqr", grid)
        self.assertEqual(text.count("    dime 65 97 129\n"), 2)
        self.assertEqual(text.count("    cglen 10.0000 20.0000 30.0000\n"), 2)
        self.assertEqual(text.count("    fglen 9.0000 19.0000 29.0000\n"), 2)
        self.assertEqual(text.count("    cgcent 1.0000 -2.0000 3.5000\n"), 2)
        self.assertEqual(text.count("    fgcent 1.0000 -2.0000 3.5000\n"), 2)
        self.assertIn("    mol pqr hybrid.pqr\n", text)
        self.assertNotIn("mol 1\n    mol 1", text)
        kept = lambda t: [l for l in t.splitlines() if not any(  # noqa: E731
            k in l for k in ("dime", "glen", "gcent", "mol pqr"))]
        self.assertEqual(kept(text), kept(PSIZE_INPUT))

    def test_an_input_without_a_grid_line_is_refused(self):
        with self.assertRaisesRegex(tool.ToolError, "fglen"):
            tool.with_grid(PSIZE_INPUT.replace("fglen", "fgxlen"), "x.pqr",
                           {"dime": [33] * 3, "cglen": [1] * 3, "fglen": [1] * 3, "center": [0] * 3})

    def test_the_grid_covers_both_files_atom_spheres(self):
        a = [atom("N", (0.0, 0.0, 0.0), r=1.0)]
        b = [atom("N", (30.0, 4.0, -2.0), r=2.0)]
        grid = tool.size_grid([a, b])
        self.assertEqual(grid["center"], [15.5, 2.5, -1.5])  # box -1..32, -1..6, -4..1
        self.assertAlmostEqual(grid["cglen"][0], 33.0 * 1.7)
        self.assertAlmostEqual(grid["fglen"][0], 33.0 + 20.0)
        self.assertAlmostEqual(grid["fglen"][1], 7.0 * 1.7)  # the fine box never exceeds the coarse
        self.assertEqual(grid["dime"], [97, 33, 33])


@unittest.skipUnless(HAVE_PDB2PQR, "pdb2pqr is not installed (Debian package pdb2pqr)")
class HybridPath1AJJ(unittest.TestCase):
    """The path from voltra's atoms to PDB2PQR's, without APBS."""

    @classmethod
    def setUpClass(cls):
        folder, cls.ours, cls.ref, cls.template = tool.prepare(STRUCTURE, VOLTRA, os.path.join(SCRATCH, "path"))
        cls.path, cls.pairing = tool.hybrid_path(cls.ours, cls.ref)
        cls.steps = {step: (atoms, changed) for step, atoms, changed in cls.path}

    def test_our_grid_rules_are_the_programs(self):
        grid = tool.size_grid([self.ours])
        lines = dict(l.split(None, 1) for l in self.template.splitlines()
                     if l.strip().startswith(("dime", "cglen", "fglen")))
        self.assertEqual(lines["dime"].split(), [str(n) for n in grid["dime"]])
        for key in ("cglen", "fglen"):
            for written, ours in zip(map(float, lines[key].split()), grid[key]):
                self.assertAlmostEqual(written, ours, delta=2e-3, msg=key)  # PQR's rounding of x, y, z and radii

    def test_the_path_ends_at_pdb2pqrs_atoms(self):
        self.assertEqual(tool.atoms_differing(self.path[-1][1], self.ref), 0)
        self.assertGreater(tool.atoms_differing(self.ours, self.ref), 500)

    def test_each_step_changes_only_its_own_field(self):
        fields = {"water_hydrogen_radii": "r", "hydrogen_radii": "r", "heavy_radii": "r", "water_hydrogen_positions": "xyz",
                  "hydrogen_positions": "xyz", "heavy_positions": "xyz", "terminal_charges": "q",
                  "other_charges": "q"}
        previous = self.path[0][1]
        for step, atoms, changed in self.path[1:]:
            if step in fields:
                self.assertEqual(len(atoms), len(previous), step)
                moved = 0
                for before, after in zip(previous, atoms):
                    self.assertEqual(before["from"], after["from"], step)
                    for field in ("r", "xyz", "q"):
                        if before[field] != after[field]:
                            self.assertEqual(field, fields[step], f"{step}: {before} -> {after}")
                            moved += 1
                self.assertEqual(moved, changed, step)
            previous = atoms

    def test_pdb2pqr_leaves_out_the_sulfate_and_the_calcium(self):
        atoms, changed = self.steps["ligands"]
        self.assertEqual(changed, 6)
        self.assertEqual({a["resname"] for a in self.ours} - {a["resname"] for a in atoms}, {"SO4", "CA"})

    def test_only_histidines_and_terminal_charges_differ_in_chemistry(self):
        self.assertEqual(self.steps["other_states"][1], 0)
        self.assertEqual(self.steps["other_charges"][1], 0)  # every other Amber charge is PDB2PQR's
        self.assertEqual([k for k, m in self.pairing.differing.items()], [("A", "11")])
        termini = sorted(self.pairing.terminal)
        self.assertEqual(termini, [("A", "4"), ("A", "40")])


@unittest.skipUnless(HAVE_PDB2PQR and HAVE_APBS, "apbs or pdb2pqr is not installed (Debian packages)")
class Solvation1AJJ(unittest.TestCase):
    """Three APBS runs on one 0.5 Å grid: voltra's file, PDB2PQR's, and voltra's atoms brought
    to PDB2PQR's in everything but the charges (the path up to the terminal charges)."""

    @classmethod
    def setUpClass(cls):
        apbs = shutil.which("apbs")
        folder, ours, ref, template = tool.prepare(STRUCTURE, VOLTRA, os.path.join(SCRATCH, "energy"))
        grid = tool.size_grid([ours, ref])
        path, _ = tool.hybrid_path(ours, ref)
        charges_only = {step: atoms for step, atoms, _ in path}["other_states"]
        cls.ours = tool.apbs_energy(apbs, folder, "voltra", ours, template, grid)
        cls.theirs = tool.apbs_energy(apbs, folder, "pdb2pqr", ref, template, grid)
        cls.charges_only = tool.apbs_energy(apbs, folder, "charges_only", charges_only, template, grid)
        cls.energies = f"voltra {cls.ours:.1f}, pdb2pqr {cls.theirs:.1f}, " \
                       f"differing in charges only {cls.charges_only:.1f} kJ/mol"

    def test_a_charged_protein_gains_energy_in_water(self):
        for energy in (self.ours, self.theirs):
            self.assertLess(energy, -1000.0, self.energies)
            self.assertGreater(energy, -10000.0, self.energies)

    def test_relative_difference_is_what_its_causes_explain(self):
        relative = (self.ours - self.theirs) / abs(self.theirs)
        self.assertGreaterEqual(relative, BY_DESIGN + TERMINAL_CHARGES - GRID_ERROR, self.energies)
        self.assertLessEqual(relative, BY_DESIGN + GRID_ERROR, self.energies)

    def test_charges_alone_differ_by_no_more_than_the_terminal_sets(self):
        relative = (self.charges_only - self.theirs) / abs(self.theirs)
        self.assertLessEqual(abs(relative), MAX_CHARGES_ONLY, self.energies)


if __name__ == "__main__":
    unittest.main(verbosity=2)
