#!/usr/bin/env bash
# Times the whole voltra program (read, assign, templates, report, PQR) on a 1,000,000-atom
# structure made by tiling a corpus entry, against `gemmi convert` reading and rewriting the same
# file (PDB to PDB, mmCIF to mmCIF), interleaved in one run, with PDB2PQR on 100,000 atoms and
# --assign=amber against --assign=default on the 1,000,000 atoms. Every case runs under
# /usr/bin/time -v; the table gives medians of wall time, CPU time (user + system) and peak
# resident set, and the ratios the targets are stated in.
set -euo pipefail

usage() {
    cat <<'USAGE'
Usage: run_program_bench.sh [OPTIONS]

  --build-dir=DIR   use the voltra program already built in DIR (DIR/bin/voltra); without it
                    the script configures and builds <repo>/build-bench (Release)
  --runs=N          runs of every voltra and gemmi case, interleaved; medians (default 3)
  --source=PDB      structure to tile (default: ../shared/corpus/structures/1AFS.pdb)
  --no-pdb2pqr      leave out PDB2PQR (about 40 s per round on 100,000 atoms)
  --no-amber        leave out --assign=amber on 1,000,000 atoms
  --phases          also time the program's stages one by one on the 1,000,000-atom input
                    (builds and runs ProgramPhases)
  --keep=DIR        make inputs and outputs in DIR and keep them (default: a temporary folder)
  -h, --help        show this help

Targets (1,000,000 atoms, 2 cores): the whole job at most half of `gemmi convert` on the same
file, PDB and mmCIF, with peak resident set under 420 MB; at least 300 times faster than PDB2PQR
on 100,000 atoms; --assign=amber at most twice --assign=default. Missing them is reported, not
an error: this is a benchmark, not a test.
USAGE
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build="" runs=3 source="" pdb2pqr=1 amber=1 phases=0 keep=""
for arg in "$@"; do
    case "$arg" in
        --build-dir=*) build=${arg#*=} ;;
        --runs=*) runs=${arg#*=} ;;
        --source=*) source=${arg#*=} ;;
        --no-pdb2pqr) pdb2pqr=0 ;;
        --no-amber) amber=0 ;;
        --phases) phases=1 ;;
        --keep=*) keep=${arg#*=} ;;
        -h|--help) usage; exit 0 ;;
        *) echo "run_program_bench: unknown option '$arg' (see --help)" >&2; exit 2 ;;
    esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "run_program_bench: --runs must be a positive number, got '$runs'" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "run_program_bench: /usr/bin/time is missing (Debian package 'time'; scripts/install-deps.sh)" >&2; exit 1; }
command -v gemmi >/dev/null ||
    { echo "run_program_bench: gemmi is missing (Debian package 'gemmi'; scripts/install-deps.sh)" >&2; exit 1; }
if [ "$pdb2pqr" -eq 1 ] && ! command -v pdb2pqr >/dev/null; then
    echo "run_program_bench: pdb2pqr is missing (Debian package 'pdb2pqr'); use --no-pdb2pqr to leave it out" >&2
    exit 1
fi

targets=(voltra_program)
if [ "$phases" -eq 1 ]; then targets+=(ProgramPhases); fi
if [ -z "$build" ]; then
    build="$repo/build-bench"
    echo "run_program_bench: building ${targets[*]} in $build" >&2
    mkdir -p "$build"
    cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVOLTRA_BUILD_BENCHMARKS=ON >"$build/bench-cmake.log" 2>&1 ||
        { cat "$build/bench-cmake.log" >&2; exit 1; }
    make -C "$build" -j2 "${targets[@]}" >"$build/bench-make.log" 2>&1 || { tail -40 "$build/bench-make.log" >&2; exit 1; }
fi
voltra="$build/bin/voltra"
[ -x "$voltra" ] || { echo "run_program_bench: no program at '$voltra'" >&2; exit 1; }
if [ "$phases" -eq 1 ] && [ ! -x "$build/bin/ProgramPhases" ]; then
    echo "run_program_bench: no '$build/bin/ProgramPhases' (configure with -DVOLTRA_BUILD_BENCHMARKS=ON)" >&2
    exit 1
fi

if [ -n "$keep" ]; then
    mkdir -p "$keep"
    work=$(cd "$keep" && pwd)
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/voltra-bench.XXXXXX")
    trap 'rm -rf "$work"' EXIT
fi

# 18 copies keep every serial below 100,000, so PDB2PQR (which does not read hybrid-36) takes
# the same file; the large input needs hybrid-36 serials and two-character chain ids.
tile_args=()
[ -n "$source" ] && tile_args+=(--source "$source")
small="$work/tiled_100k.pdb" large="$work/tiled_1m.pdb" large_cif="$work/tiled_1m.cif"
echo "run_program_bench: making inputs in $work" >&2
python3 "$here/make_tiled_structure.py" "${tile_args[@]}" --copies 18 -o "$small" 2>"$work/tile_100k.log"
python3 "$here/make_tiled_structure.py" "${tile_args[@]}" --atoms 1000000 -o "$large" 2>"$work/tile_1m.log"
python3 "$here/make_tiled_structure.py" "${tile_args[@]}" --atoms 1000000 -o "$large_cif" 2>/dev/null
atoms_of() { sed -n 's/.*(\([0-9]*\) atoms,.*/\1/p' "$1"; }
small_atoms=$(atoms_of "$work/tile_100k.log") large_atoms=$(atoms_of "$work/tile_1m.log")
# Amber adds the hydrogens itself: its input has none (1AFS has none; other sources may).
unprotonated="$work/tiled_1m_noH.pdb"
awk '!((/^ATOM/ || /^HETATM/) && substr($0, 77, 2) == " H")' "$large" >"$unprotonated"

results="$work/results.tsv"
: >"$results"

# measure NAME ATOMS COMMAND...: one timed run, appended to the results as name, atoms, wall s,
# CPU s (user + system), peak resident set in KiB.
measure() {
    local name=$1 atoms=$2
    shift 2
    local log="$work/${name// /_}.log"
    # The outputs of the case before are written back to disk first: the kernel's flusher does
    # it thirty seconds after the writing, on one of the two cores, and would otherwise take
    # that core from whichever case runs then.
    sync
    if ! /usr/bin/time -v -o "$work/time.txt" "$@" >"$log" 2>&1; then
        echo "run_program_bench: '$name' failed:" >&2
        tail -5 "$log" "$work/time.txt" >&2
        exit 1
    fi
    awk -v name="$name" -v atoms="$atoms" -F': ' '
        /User time/ { user = $2 }
        /System time/ { sys = $2 }
        /Elapsed \(wall clock\)/ {
            n = split($2, part, ":"); wall = 0
            for (i = 1; i <= n; i++) wall = wall * 60 + part[i]
        }
        /Maximum resident set size/ { rss = $2 }
        END { printf "%s\t%s\t%.3f\t%.3f\t%d\n", name, atoms, wall, user + sys, rss }' "$work/time.txt" >>"$results"
}

echo "run_program_bench: load average before: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
for ((run = 1; run <= runs; run++)); do
    echo "run_program_bench: run $run of $runs" >&2
    out="$work/out$run"
    # Every run writes into empty folders: outputs of an earlier run (with --keep) would be
    # replaced, and giving their pages back to the system would be timed with this run.
    rm -rf "$out"
    mkdir -p "$out/pdb" "$out/cif" "$out/amber" "$out/default_100k" "$out/amber_100k"
    measure "voltra default pdb" "$large_atoms" "$voltra" -q --assign=default -O "$out/pdb" "$large"
    measure "gemmi convert pdb" "$large_atoms" gemmi convert "$large" "$out/gemmi.pdb"
    measure "voltra default cif" "$large_atoms" "$voltra" -q --assign=default -O "$out/cif" "$large_cif"
    measure "gemmi convert cif" "$large_atoms" gemmi convert "$large_cif" "$out/gemmi.cif"
    if [ "$amber" -eq 1 ]; then
        measure "voltra default noH" "$large_atoms" "$voltra" -q --assign=default -O "$out/amber" "$unprotonated"
        measure "voltra amber noH" "$large_atoms" "$voltra" -q --assign=amber -O "$out/amber" "$unprotonated"
    fi
    measure "voltra default" "$small_atoms" "$voltra" -q --assign=default -O "$out/default_100k" "$small"
    measure "voltra amber" "$small_atoms" "$voltra" -q --assign=amber -O "$out/amber_100k" "$small"
    # Every round too: PDB2PQR's own time varies by a third from run to run on these machines.
    if [ "$pdb2pqr" -eq 1 ]; then
        measure "pdb2pqr AMBER noopt" "$small_atoms" pdb2pqr --ff=AMBER --noopt "$small" "$out/pdb2pqr_100k.pqr"
    fi
    if [ -z "$keep" ]; then rm -rf "$out"; fi
done

python3 - "$results" "$runs" <<'PYTHON'
import statistics
import sys

path, runs = sys.argv[1], int(sys.argv[2])
cases = {}
for line in open(path):
    name, atoms, wall, cpu, rss = line.rstrip("\n").split("\t")
    cases.setdefault(name, (int(atoms), []))[1].append((float(wall), float(cpu), int(rss)))

print(f"median of {runs} run(s); wall and CPU (user + system) in s, peak resident set in MB")
print(f"{'case':<22} {'atoms':>9} {'wall s':>8} {'CPU s':>8} {'peak MB':>8}")
m = {}
for name, (atoms, values) in cases.items():
    m[name] = tuple(statistics.median(v[i] for v in values) for i in range(3))
    wall, cpu, rss = m[name]
    print(f"{name:<22} {atoms:>9,} {wall:>8.2f} {cpu:>8.2f} {rss / 1024:>8.0f}")
print()
verdict = lambda ok: "met" if ok else "MISSED"
for fmt in ("pdb", "cif"):
    own, ref = m.get(f"voltra default {fmt}"), m.get(f"gemmi convert {fmt}")
    if own and ref:
        print(f"{fmt}: voltra / gemmi convert: wall {own[0] / ref[0]:.2f}, CPU {own[1] / ref[1]:.2f} "
              f"(target at most 0.5: {verdict(own[1] / ref[1] <= 0.5)} by CPU); "
              f"peak {own[2] / 1024:.0f} MB, gemmi {ref[2] / 1024:.0f} MB "
              f"(target under 420 MB: {verdict(own[2] / 1024 < 420)})")
p2p = m.get("pdb2pqr AMBER noopt")
if p2p:
    for kind in ("voltra default", "voltra amber"):
        own = m[kind]
        print(f"pdb2pqr / {kind}, 100k atoms: wall {p2p[0] / own[0]:.0f}x, CPU {p2p[1] / own[1]:.0f}x "
              f"(target at least 300x: {verdict(p2p[0] / own[0] >= 300)} by wall), "
              f"peak {p2p[2] / own[2]:.1f}x")
if "voltra amber noH" in m:
    amber, default = m["voltra amber noH"], m["voltra default noH"]
    print(f"amber / default, 1M atoms: wall {amber[0] / default[0]:.2f}x, CPU {amber[1] / default[1]:.2f}x "
          f"(target at most 2x: {verdict(amber[0] / default[0] <= 2)} by wall); "
          f"peak {amber[2] / 1024:.0f} / {default[2] / 1024:.0f} MB")
PYTHON
echo "run_program_bench: load average after: $(cut -d' ' -f1-3 /proc/loadavg)" >&2

if [ "$phases" -eq 1 ]; then
    mkdir -p "$work/phases"
    for ((run = 1; run <= runs; run++)); do
        "$build/bin/ProgramPhases" --split "$large" "$work/phases" >"$work/phases_$run.txt"
    done
    python3 - "$runs" "$work"/phases_*.txt <<'PYTHON'
import statistics
import sys

runs, paths = int(sys.argv[1]), sys.argv[2:]
order, seconds, peak, faults, title = [], {}, {}, {}, ""
for path in paths:
    lines = open(path).read().splitlines()
    title = lines[0]
    for line in lines[2:]:
        fields = line.split()
        if fields[0] == "total":
            continue
        name = " ".join(fields[:-5])
        if name not in seconds:
            order.append(name)
        seconds.setdefault(name, []).append(float(fields[-5]))
        peak.setdefault(name, []).append(float(fields[-3]))
        faults.setdefault(name, []).append(int(fields[-1]))
medians = {name: statistics.median(values) for name, values in seconds.items()}
program = sum(value for name, value in medians.items() if not name.startswith("ref:"))
print(f"\nstages, median of {runs} run(s): {title}")
print(f"{'stage':<34} {'seconds':>8} {'share':>6} {'peak MB':>8} {'faults':>8}")
for name in order:
    share = "" if name.startswith("ref:") else f"{100 * medians[name] / program:5.1f}%"
    print(f"{name:<34} {medians[name]:>8.3f} {share:>6} {max(peak[name]):>8.0f} "
          f"{int(statistics.median(faults[name])):>8}")
print(f"{'program stages, total':<34} {program:>8.3f}")
PYTHON
fi
