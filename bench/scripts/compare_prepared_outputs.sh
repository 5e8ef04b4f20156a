#!/usr/bin/env bash
# Runs two voltra programs on every corpus structure with --assign=amber and --assign=parse and
# compares what they write: .crg, .siz, the HTML report and the PQR file byte for byte, and the
# summary on standard error. With --pqr-heavy-only, PQR lines of hydrogens are compared by all
# columns but the coordinates (for changes that move hydrogens on purpose).
# Usage: compare_prepared_outputs.sh REFERENCE_VOLTRA CANDIDATE_VOLTRA [--pqr-heavy-only] [CORPUS_DIR]
set -uo pipefail
[ $# -ge 2 ] || { echo "usage: $0 REFERENCE_VOLTRA CANDIDATE_VOLTRA [--pqr-heavy-only] [CORPUS_DIR]" >&2; exit 2; }
reference=$1 candidate=$2
shift 2
relaxed=0
if [ "${1:-}" = "--pqr-heavy-only" ]; then relaxed=1; shift; fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
corpus=${1:-$(cd "$here/../../.." && pwd)/shared/corpus/structures}
work=$(mktemp -d "${TMPDIR:-/tmp}/voltra-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# PQR without the coordinates of hydrogens: x, y, z are columns 31-54 in PQR's fixed layout.
strip_h() { awk '{ if (($1 == "ATOM" || $1 == "HETATM") && substr($3, 1, 1) == "H") print substr($0, 1, 30) substr($0, 55); else print }' "$1"; }

failures=0 compared=0
for input in "$corpus"/*.pdb "$corpus"/*.cif "$corpus"/*.cif.gz; do
    [ -f "$input" ] || continue
    name=$(basename "$input")
    for kind in amber parse; do
        for side in reference candidate; do
            mkdir -p "$work/$side/$kind/$name"
            program=$reference
            [ "$side" = candidate ] && program=$candidate
            "$program" --assign=$kind -O "$work/$side/$kind/$name" "$input" >/dev/null 2>"$work/$side/$kind/$name/stderr.txt"
            echo "exit $?" >>"$work/$side/$kind/$name/stderr.txt"
        done
        for ref in "$work/reference/$kind/$name"/*; do
            file=$(basename "$ref") cand="$work/candidate/$kind/$name/$(basename "$ref")"
            compared=$((compared + 1))
            if [ "$relaxed" -eq 1 ] && [[ "$file" == *.pqr ]]; then
                cmp -s <(strip_h "$ref") <(strip_h "$cand") && continue
            else
                cmp -s "$ref" "$cand" && continue
            fi
            echo "DIFFERS: $kind $name $file"
            failures=$((failures + 1))
        done
    done
done
echo "compared $compared files, $failures differ"
[ "$failures" -eq 0 ]
