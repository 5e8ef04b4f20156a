#!/usr/bin/env python3
"""The template generator's reading of the CCP4 monomer library: CIF tokens and loops, the
checks that keep a changed or inconsistent library from reaching the data, the sharing of
equivalent charges and the PARSE radius kinds. Usage: GeneratorMonomerLibraryTest.py <repo-root>
"""

import hashlib
import os
import shutil
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
ROOT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))
import generate_templates as g  # noqa: E402

LIBRARY = g.DEFAULT_MONOMERS


def write(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return path


class CifReading(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)

    def test_quotes_text_fields_and_comments(self):
        path = write(self.folder, "x.cif", "data_comp_X\n"
                     "loop_\n_a.name\n_a.note\n"
                     "\"H2' \" 'it''s' # comment\n"
                     "O5' plain\n"
                     ";\nline one\nline two\n;\nlast\n")
        rows = g.read_cif_loops(path)["comp_X"]["_a"]
        self.assertEqual([r["name"] for r in rows], ["H2' ", "O5'", "line one\nline two"])
        self.assertEqual([r["note"] for r in rows], ["it''s", "plain", "last"])

    def test_loop_with_a_missing_value_names_the_file_and_line(self):
        path = write(self.folder, "x.cif", "data_comp_X\nloop_\n_a.b\n_a.c\n1 2\n3\n")
        with self.assertRaisesRegex(g.SourceError, r"x\.cif:2: loop of 2 tags holds 3 values"):
            g.read_cif_loops(path)

    def test_unclosed_string_and_text_field(self):
        for text, message in (("data_X\n_a.b 'open\n", r"x\.cif:2: string without"),
                              ("data_X\n_a.b\n;\nnever closed\n", r"x\.cif:3: text field")):
            path = write(self.folder, "x.cif", text)
            with self.assertRaisesRegex(g.SourceError, message):
                g.read_cif_loops(path)


@unittest.skipUnless(os.path.isdir(LIBRARY), "refmac-dictionary is not installed")
class MonomerLibrary(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)
        self.saved = dict(g.MONOMER_SHA256)
        self.addCleanup(lambda: g.MONOMER_SHA256.update(self.saved))
        codes = [code for code, _, _ in g.IONS] + [code for code, _ in g.ADDITIVES]
        for code in codes:
            sub = os.path.join(self.folder, code[0].lower())
            os.makedirs(sub, exist_ok=True)
            shutil.copy(os.path.join(LIBRARY, code[0].lower(), code + ".cif"), sub)

    def edit_sulfate(self, old, new):
        path = os.path.join(self.folder, "s", "SO4.cif")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))
        return path

    def test_the_installed_library_gives_every_formal_charge(self):
        monomers = g.read_ions_and_additives(self.folder)
        self.assertEqual(len(monomers), len(g.IONS) + len(g.ADDITIVES))
        for code, (monomer, formal) in monomers.items():
            self.assertEqual(monomer.net(), formal, code)

    def test_a_changed_file_is_refused(self):
        self.edit_sulfate(" S    ST        0.000", " S    ST        0.001")
        with self.assertRaisesRegex(g.SourceError, r"SO4\.cif: sha256 .* differs"):
            g.read_ions_and_additives(self.folder)

    def test_charges_that_miss_the_formal_charge_are_refused(self):
        path = self.edit_sulfate("OS       -1.000", "OS       -0.900")
        g.MONOMER_SHA256["SO4"] = hashlib.sha256(open(path, "rb").read()).hexdigest()
        with self.assertRaisesRegex(g.SourceError, r"SO4 add up to -1\.900, not to the formal "
                                                   r"charge -2"):
            g.read_ions_and_additives(self.folder)

    def test_equivalent_oxygens_share_the_charge(self):
        monomers = g.read_ions_and_additives(self.folder)
        sulfate = g.library_charges(monomers["SO4"][0])
        half = g.Decimal("-0.5")
        self.assertEqual(dict(sulfate), {"S": g.ZERO, "O1": half, "O2": half, "O3": half, "O4": half})
        acetate = g.library_charges(monomers["ACT"][0])
        self.assertEqual((acetate["O"], acetate["OXT"]), (half, half))

    def test_a_charge_that_cannot_be_shared_exactly_is_refused(self):
        monomer = g.Monomer("SO4", "SO4.cif")
        for atom, q in (("S", "0"), ("O1", "-1"), ("O2", "-1"), ("O3", "0"), ("O4", "0")):
            monomer.atoms[atom] = ("O", g.Decimal(q))
        g.EQUIVALENT_ATOMS["SO4"] = (("O1", "O2", "O3"),)
        self.addCleanup(g.EQUIVALENT_ATOMS.__setitem__, "SO4", (("O1", "O2", "O3", "O4"),))
        with self.assertRaisesRegex(g.SourceError, "cannot be shared exactly"):
            g.library_charges(monomer)

    def test_parse_radius_kinds_follow_the_bonds(self):
        monomers = g.read_ions_and_additives(self.folder)
        acetate, glycerol = monomers["ACT"][0], monomers["GOL"][0]
        kinds = {atom: g.parse_additive_radius_class(acetate, atom) for atom in acetate.atoms}
        self.assertEqual(kinds, {"C": "C", "CH3": "C with H", "O": "O", "OXT": "O",
                                 "H1": "H on C", "H2": "H on C", "H3": "H on C"})
        self.assertEqual(g.parse_additive_radius_class(glycerol, "HO2"), "H on N or O")
        self.assertEqual(g.parse_additive_radius_class(glycerol, "C2"), "C with H")

    def test_an_unsaturated_ch_has_no_parse_kind(self):
        monomer = g.Monomer("XXX", "XXX.cif")
        monomer.atoms.update({"C1": ("C", g.ZERO), "C2": ("C", g.ZERO), "H1": ("H", g.ZERO)})
        monomer.bonds += [("C1", "C2", "double"), ("C1", "H1", "single")]
        with self.assertRaisesRegex(g.SourceError, "unsaturated CH"):
            g.parse_additive_radius_class(monomer, "C1")


if __name__ == "__main__":
    unittest.main()
