#!/usr/bin/env bash
# APBS solvation energy of voltra's Amber PQR against PDB2PQR's for 1AFS and 1AJJ, with the
# causes of the difference (tools/compare_apbs_solvation.py does the work; its --help says how).
# Builds the program in BUILD_DIR first (default build/, Release, configured if needed).
# Usage: compare_apbs_solvation.sh [--build-dir=DIR] [--keep=DIR] [--spacing=Å] [STRUCTURE...]
# Without structures: 1AFS.pdb and 1AJJ.pdb of the corpus (VOLTRA_CORPUS_DIR, by default
# ../shared/corpus/structures next to the checkout). The tables go to standard output and,
# as JSON, to <keep or a scratch folder>/apbs_solvation.json. 1AFS takes about 10 minutes of
# APBS on one core, 1AJJ 2.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$root/build keep="" spacing=0.5 structures=()
for arg in "$@"; do
    case $arg in
        --build-dir=*) build=${arg#*=} ;;
        --keep=*) keep=${arg#*=} ;;
        --spacing=*) spacing=${arg#*=} ;;
        -*) echo "compare_apbs_solvation.sh: unknown option '$arg'" >&2; exit 2 ;;
        *) structures+=("$arg") ;;
    esac
done
corpus=${VOLTRA_CORPUS_DIR:-$(cd "$root/.." && pwd)/shared/corpus/structures}
if [ ${#structures[@]} -eq 0 ]; then
    structures=("$corpus/1AFS.pdb" "$corpus/1AJJ.pdb")
    [ -f "${structures[0]}" ] || { echo "compare_apbs_solvation.sh: no ${structures[0]}; set VOLTRA_CORPUS_DIR or name the structures" >&2; exit 2; }
fi
for program in apbs pdb2pqr; do
    command -v $program >/dev/null || { echo "compare_apbs_solvation.sh: $program is not installed (scripts/install-deps.sh)" >&2; exit 2; }
done

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target voltra_program >/dev/null
voltra=$build/bin/voltra
[ -x "$voltra" ] || { echo "compare_apbs_solvation.sh: no voltra program under $build" >&2; exit 2; }

if [ -n "$keep" ]; then
    work=$keep
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/voltra-apbs.XXXXXX")
    trap 'rm -rf "$work"' EXIT
fi
python3 "$root/tools/compare_apbs_solvation.py" --voltra "$voltra" --spacing "$spacing" --work "$work" \
    --json "$work/apbs_solvation.json" "${structures[@]}"
