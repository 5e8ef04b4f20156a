#!/usr/bin/env bash
# Times `voltra --assign=amber` (protonation, hydrogens, naming, Amber lookup of every added
# atom) against `--assign=default` on the same hydrogen-free input, interleaved in one run,
# and prints the medians and the amber/default ratio (target: at most 2).
# Usage: run_preparation_bench.sh VOLTRA [--runs=N] [--atoms=N] [--keep=DIR]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 VOLTRA [--runs=N] [--atoms=N] [--keep=DIR]" >&2; exit 2; }
voltra=$1
shift
runs=3 atoms=1000000 keep=""
for arg in "$@"; do
    case "$arg" in
        --runs=*) runs=${arg#*=} ;;
        --atoms=*) atoms=${arg#*=} ;;
        --keep=*) keep=${arg#*=} ;;
        *) echo "run_preparation_bench: unknown option '$arg'" >&2; exit 2 ;;
    esac
done
[ -x /usr/bin/time ] || { echo "run_preparation_bench: /usr/bin/time is missing (Debian package 'time')" >&2; exit 1; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -n "$keep" ]; then mkdir -p "$keep"; work=$(cd "$keep" && pwd); else
    work=$(mktemp -d "${TMPDIR:-/tmp}/voltra-prep.XXXXXX"); trap 'rm -rf "$work"' EXIT; fi
input="$work/tiled.pdb"
python3 "$here/make_tiled_structure.py" --atoms "$atoms" -o "$work/tiled_raw.pdb" 2>/dev/null
# No hydrogens in: element column H (the corpus's 1AFS has none, other sources may).
awk '!((/^ATOM/ || /^HETATM/) && substr($0, 77, 2) == " H")' "$work/tiled_raw.pdb" >"$input"
: >"$work/results.tsv"
for ((run = 1; run <= runs; run++)); do
    for kind in default amber; do
        mkdir -p "$work/out_$kind"
        /usr/bin/time -f "$kind\t%e\t%U\t%S\t%M" -o "$work/time.txt" "$voltra" --assign=$kind -O "$work/out_$kind" "$input" >/dev/null 2>&1
        cat "$work/time.txt" >>"$work/results.tsv"
    done
done
python3 - "$work/results.tsv" "$runs" <<'PYTHON'
import statistics, sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1]) if line.strip()]
m = {}
for kind in ("default", "amber"):
    r = [x for x in rows if x[0] == kind]
    m[kind] = (statistics.median(float(x[1]) for x in r), statistics.median(float(x[2]) + float(x[3]) for x in r),
               statistics.median(int(x[4]) for x in r) / 1024)
    print(f"{kind:<8} wall {m[kind][0]:6.2f} s  CPU {m[kind][1]:6.2f} s  peak {m[kind][2]:6.0f} MB  (median of {sys.argv[2]})")
print(f"amber / default: wall {m['amber'][0] / m['default'][0]:.2f}x, CPU {m['amber'][1] / m['default'][1]:.2f}x (target: at most 2x)")
PYTHON
