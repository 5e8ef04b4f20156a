#!/usr/bin/env bash
# Runs two voltra programs on every corpus structure with --assign=default, amber and parse and
# compares everything they write: the .siz, .crg, .html and .pqr files, the summary JSON, the
# standard output and error and the exit status. A performance change must not move a byte.
#   bench/scripts/compare_outputs.sh REFERENCE_VOLTRA CANDIDATE_VOLTRA [STRUCTURE...]
# Exits 0 when every output is the same, 1 with the differing files listed otherwise.
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: compare_outputs.sh REFERENCE_VOLTRA CANDIDATE_VOLTRA [STRUCTURE...]" >&2; exit 2; }
reference=$1 candidate=$2
shift 2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
structures=("$@")
if [ ${#structures[@]} -eq 0 ]; then
    corpus=${VOLTRA_CORPUS_DIR:-$here/../../../shared/corpus}
    structures=("$corpus"/structures/*.pdb "$corpus"/structures/*.cif "$corpus"/structures/*.cif.gz
                "$corpus"/structures/*.pqr)
fi
for program in "$reference" "$candidate"; do
    [ -x "$program" ] || { echo "compare_outputs: '$program' is not a program" >&2; exit 2; }
done
# The cases run in a folder of their own.
reference=$(realpath "$reference") candidate=$(realpath "$candidate")

work=$(mktemp -d "${TMPDIR:-/tmp}/voltra-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# run PROGRAM SIDE NAME INPUT ARGS...: outputs of one case in $work/SIDE/NAME.
run() {
    local program=$1 side=$2 name=$3 input=$4
    shift 4
    local out="$work/$side/$name"
    mkdir -p "$out/files"
    # The input is given by a path that is the same for both sides: messages name it.
    set +e
    (cd "$work" && "$program" "$@" -O "$side/$name/files" --summary-json="$side/$name/summary.json" "$input") \
        >"$out/stdout" 2>"$out/stderr"
    echo $? >"$out/status"
    set -e
    # Both sides write into folders of their own; the messages name them.
    sed -i "s#$side/$name/#OUT/#g" "$out/stderr" "$out/summary.json" 2>/dev/null || true
}

cases=0 differing=0
for input in "${structures[@]}"; do
    [ -f "$input" ] || continue
    base=$(basename "$input")
    cp "$input" "$work/$base"
    assignments=(default amber parse)
    case "$base" in *.pqr) assignments+=("forcefield --forcefield=AMBER") ;; esac
    for assignment in "${assignments[@]}"; do
        name="$base.${assignment%% *}"
        # shellcheck disable=SC2086
        run "$reference" ref "$name" "$base" --assign=$assignment
        # shellcheck disable=SC2086
        run "$candidate" new "$name" "$base" --assign=$assignment
        cases=$((cases + 1))
        if [ ! -s "$work/ref/$name/summary.json" ]; then
            echo "compare_outputs: $name: the reference wrote no summary; see $work/ref/$name/stderr" >&2
            exit 2
        fi
        if ! diff -r "$work/ref/$name" "$work/new/$name" >"$work/diff.txt"; then
            differing=$((differing + 1))
            echo "compare_outputs: $name differs:" >&2
            head -20 "$work/diff.txt" >&2
        fi
    done
done
echo "compare_outputs: $cases case(s), $differing differing" >&2
[ "$differing" -eq 0 ]
