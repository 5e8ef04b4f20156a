#!/usr/bin/env bash
# Times the whole voltra program (read, assign, templates, report, PQR) on large structures made
# by tiling a corpus entry, with PDB2PQR on the 100,000-atom input for comparison. Each case runs
# under /usr/bin/time -v; the table gives the median wall time, CPU time and peak resident set.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: run_program_bench.sh [OPTIONS]

  --build-dir=DIR   use the voltra program already built in DIR (DIR/bin/voltra); without it
                    the script configures and builds <repo>/build-bench (Release)
  --runs=N          runs of every case; the table shows medians (default 3)
  --source=PDB      structure to tile (default: ../shared/corpus/structures/1AFS.pdb)
  --no-pdb2pqr      leave out PDB2PQR (it takes about half a minute per run)
  --phases          also time the program's stages one by one on the 1,000,000-atom input
                    (builds and runs ProgramPhases)
  --keep=DIR        make inputs and outputs in DIR and keep them (default: a temporary folder)
  -h, --help        show this help

Targets (1,000,000 atoms, default charges and sizes, 2 cores): wall time under 3 s, peak
resident set under 1 GB. Missing them is reported, not an error.
EOF
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build="" runs=3 source="" pdb2pqr=1 phases=0 keep=""
for arg in "$@"; do
    case "$arg" in
        --build-dir=*) build=${arg#*=} ;;
        --runs=*) runs=${arg#*=} ;;
        --source=*) source=${arg#*=} ;;
        --no-pdb2pqr) pdb2pqr=0 ;;
        --phases) phases=1 ;;
        --keep=*) keep=${arg#*=} ;;
        -h|--help) usage; exit 0 ;;
        *) echo "run_program_bench: unknown option '$arg' (see --help)" >&2; exit 2 ;;
    esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "run_program_bench: --runs must be a positive number, got '$runs'" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "run_program_bench: /usr/bin/time is missing (Debian package 'time'; scripts/install-deps.sh)" >&2; exit 1; }
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
small="$work/tiled_100k.pdb" large="$work/tiled_1m.pdb"
echo "run_program_bench: making inputs in $work" >&2
python3 "$here/make_tiled_structure.py" "${tile_args[@]}" --copies 18 -o "$small" 2>"$work/tile_100k.log"
python3 "$here/make_tiled_structure.py" "${tile_args[@]}" --atoms 1000000 -o "$large" 2>"$work/tile_1m.log"
atoms_of() { sed -n 's/.*(\([0-9]*\) atoms,.*/\1/p' "$1"; }
small_atoms=$(atoms_of "$work/tile_100k.log") large_atoms=$(atoms_of "$work/tile_1m.log")

results="$work/results.tsv"
: >"$results"

# measure NAME ATOMS COMMAND...: one timed run, appended to the results as name, atoms, wall s,
# CPU s (user + system), peak resident set in KiB.
measure() {
    local name=$1 atoms=$2
    shift 2
    local log="$work/${name// /_}.log"
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
    mkdir -p "$out/default_100k" "$out/amber_100k" "$out/default_1m"
    measure "voltra default" "$small_atoms" "$voltra" --assign=default -O "$out/default_100k" "$small"
    measure "voltra amber" "$small_atoms" "$voltra" --assign=amber -O "$out/amber_100k" "$small"
    if [ "$pdb2pqr" -eq 1 ]; then
        measure "pdb2pqr AMBER noopt" "$small_atoms" pdb2pqr --ff=AMBER --noopt "$small" "$out/pdb2pqr_100k.pqr"
    fi
    measure "voltra default" "$large_atoms" "$voltra" --assign=default -O "$out/default_1m" "$large"
    if [ -z "$keep" ]; then rm -rf "$out"; fi
done

python3 - "$results" "$runs" "$large_atoms" <<'PYTHON'
import statistics
import sys

path, runs, large_atoms = sys.argv[1], int(sys.argv[2]), sys.argv[3]
cases = {}
for line in open(path):
    name, atoms, wall, cpu, rss = line.rstrip("\n").split("\t")
    cases.setdefault((name, atoms), []).append((float(wall), float(cpu), int(rss)))

def median(values):
    return statistics.median(values)

print(f"median of {runs} run(s); wall and CPU (user + system) in s, peak resident set in MB")
print(f"{'case':<22} {'atoms':>9} {'wall s':>8} {'CPU s':>8} {'peak MB':>8}")
summary = {}
for (name, atoms), values in cases.items():
    wall = median([v[0] for v in values])
    cpu = median([v[1] for v in values])
    rss = median([v[2] for v in values]) / 1024
    summary[(name, atoms)] = (wall, cpu, rss)
    print(f"{name:<22} {int(atoms):>9,} {wall:>8.2f} {cpu:>8.2f} {rss:>8.0f}")

small = [atoms for (name, atoms) in summary if atoms != large_atoms]
if small and ("pdb2pqr AMBER noopt", small[0]) in summary:
    p2p = summary[("pdb2pqr AMBER noopt", small[0])]
    for kind in ("voltra amber", "voltra default"):
        if (kind, small[0]) in summary:
            own = summary[(kind, small[0])]
            print(f"pdb2pqr / {kind}: {p2p[0] / own[0]:.0f}x wall, {p2p[2] / own[2]:.1f}x peak memory")
if ("voltra default", large_atoms) in summary:
    wall, cpu, rss = summary[("voltra default", large_atoms)]
    verdict = lambda ok: "met" if ok else "MISSED"
    print(f"target, {int(large_atoms):,} atoms: wall {wall:.2f} s < 3 s {verdict(wall < 3)}; "
          f"peak {rss:.0f} MB < 1024 MB {verdict(rss < 1024)}")
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

# --- preparation cost (amber against default on the 1,000,000-atom input); see run_preparation_bench.sh ---
if [ "${VOLTRA_BENCH_PREPARATION:-0}" = 1 ]; then
    "$here/run_preparation_bench.sh" "$voltra" --runs="$runs"
fi
# --- end of preparation cost ---
