#!/usr/bin/env bash
# Regenerates the template data set into a temporary folder and compares it byte for byte with
# the committed files in share/voltra/templates. Usage: TemplateDataRegenerates.sh <repo-root>
# Exit status: 0 when every file is identical, 1 on any difference or when the sources are missing.
set -u

if [ $# -ne 1 ]; then
  echo "usage: TemplateDataRegenerates.sh <repo-root>" >&2
  exit 2
fi
root=$1
generator=$root/tools/generate_templates.py
committed=$root/share/voltra/templates
files=(default.crg default.siz bondi.siz parseres.crg parseres.siz prot_amb.crg nuca_amb.crg)

fail() {
  echo "TemplateDataRegenerates: $*" >&2
  exit 1
}

[ -f "$generator" ] || fail "$generator: not found"
command -v python3 >/dev/null || fail "python3 not found; the generator needs it"

export PYTHONDONTWRITEBYTECODE=1  # leave no __pycache__ in the source tree
locate='import sys; sys.path.insert(0, sys.argv[1]); import generate_templates as g
print(g.find_tables())'
tables=$(python3 -c "$locate" "$root/tools") || fail "cannot load $generator"
for table in AMBER.DAT PARSE.DAT AA.xml NA.xml; do
  [ -f "$tables/$table" ] ||
    fail "PDB2PQR's table $tables/$table is missing:" \
      "install the Debian package pdb2pqr (apt-get install pdb2pqr)"
done

monomers=/usr/share/refmac/monomers
[ -d "$monomers" ] ||
  fail "the CCP4 monomer library $monomers is missing:" \
    "install the Debian package refmac-dictionary (apt-get install refmac-dictionary)"

scratch=$(mktemp -d) || fail "cannot create a temporary folder"
trap 'rm -rf "$scratch"' EXIT

python3 "$generator" --out "$scratch" || fail "the generator failed (see above)"

status=0
for name in "${files[@]}"; do
  if [ ! -f "$committed/$name" ]; then
    echo "TemplateDataRegenerates: $committed/$name: missing (the generator writes it)" >&2
    status=1
  elif ! cmp -s "$scratch/$name" "$committed/$name"; then
    echo "TemplateDataRegenerates: $committed/$name differs from what the generator writes now:" >&2
    diff -u "$committed/$name" "$scratch/$name" | head -n 40 >&2
    status=1
  fi
done
for generated in "$scratch"/*; do
  name=$(basename "$generated")
  case " ${files[*]} " in
    *" $name "*) ;;
    *) echo "TemplateDataRegenerates: the generator wrote an unexpected file $name" >&2; status=1 ;;
  esac
done

if [ $status -eq 0 ]; then
  echo "TemplateDataRegenerates: all ${#files[@]} template files regenerate byte for byte"
else
  echo "TemplateDataRegenerates: if intended, run python3 tools/generate_templates.py" \
    "and review the diff" >&2
fi
exit $status
