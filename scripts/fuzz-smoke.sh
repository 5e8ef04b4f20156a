#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, in build-fuzz/) and runs each for SECONDS (default 60)
# on seeds made from ../shared/corpus and the template data. Fails on the first crash, leak,
# hang over 10 s or allocation over 2 GB; the input that did it is left in build-fuzz/artifacts/.
#   scripts/fuzz-smoke.sh [SECONDS] [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=(template_line_fuzzer template_file_fuzzer structure_fuzzer pipeline_fuzzer mmcif_stream_fuzzer pdb_stream_fuzzer)
corpus=${VOLTRA_CORPUS_DIR:-../shared/corpus}
build=${VOLTRA_FUZZ_BUILD_DIR:-build-fuzz}
jobs=${VOLTRA_BUILD_JOBS:-$(nproc)}

# A compiler launcher (ccache) is taken from the environment: CMAKE_CXX_COMPILER_LAUNCHER.
# A build folder made by scripts/test-sanitized.sh already holds the harnesses beside the tests:
# it is reused as it is configured.
if grep -qs '^VOLTRA_BUILD_FUZZERS:BOOL=ON' "$build/CMakeCache.txt"; then
  cmake -S . -B "$build" >/dev/null
else
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++-14 \
    -DVOLTRA_BUILD_FUZZERS=ON -DVOLTRA_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j"$jobs" --target "${harnesses[@]}"

# Seeds, remade each time. A structure seed is one selector byte (format modulo 3: 0 PDB,
# 1 mmCIF, 2 PQR; the pipeline's assignment is the byte divided by 3, modulo 5) and the file,
# cut to its first lines so that each run stays fast.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"/{template_line_fuzzer,template_file_fuzzer,structure_fuzzer,pipeline_fuzzer,mmcif_stream_fuzzer,pdb_stream_fuzzer}
selector() {
  case "$1" in
    *.pdb) printf '\000' ;; *.cif|*.cif.gz) printf '\001' ;; *.pqr) printf '\002' ;; *) return 1 ;;
  esac
}
for file in "$corpus"/structures/*; do
  name=$(basename "$file")
  byte=$(selector "$name" | od -An -tu1 | tr -d ' ') || continue
  case "$name" in
    *.gz) { selector "$name"; cat "$file"; } > "$seeds/structure_fuzzer/$name" ;;
    *) { selector "$name"; head -n 400 "$file"; } > "$seeds/structure_fuzzer/$name"
       for assignment in 0 1 2 3 4; do
         { printf "\\$(printf '%03o' $((byte + 3 * assignment)))"; head -n 150 "$file"; } \
           > "$seeds/pipeline_fuzzer/$name.$assignment"
       done ;;
  esac
done
# The stream reader's seeds are the mmCIF files as they are, cut to their first lines.
for file in "$corpus"/structures/*.cif; do
  head -n 600 "$file" > "$seeds/mmcif_stream_fuzzer/$(basename "$file")"
done
cp tests/io/mmcif-reproducers/* "$seeds/mmcif_stream_fuzzer/" 2>/dev/null || true
# The PDB stream reader's seeds: an options byte (0: the first model, the first conformer, one
# thread; 16: the same, the text read in two halves at once), then the PDB files cut to their
# first lines; the edge cases of the reader's test come whole.
for file in "$corpus"/structures/*.pdb tests/io/pdb-stream-cases/*.pdb; do
  [ -f "$file" ] || continue
  { printf '\000'; head -n 600 "$file"; } > "$seeds/pdb_stream_fuzzer/$(basename "$file")"
  { printf '\020'; head -n 600 "$file"; } > "$seeds/pdb_stream_fuzzer/$(basename "$file").halves"
done
cp "$corpus"/hostile/*.bin "$seeds/structure_fuzzer/"
cp tests/io/reproducers/* "$seeds/structure_fuzzer/" 2>/dev/null || true
for file in share/voltra/templates/*.crg share/voltra/templates/*.siz; do
  name=$(basename "$file")
  case "$name" in *.siz) bit='\001' ;; *) bit='\000' ;; esac
  { printf "$bit"; head -n 120 "$file"; } > "$seeds/template_file_fuzzer/$name"
  head -n 40 "$file" | split -l 1 - "$seeds/template_line_fuzzer/$name."
done

# A fixed seed makes a smoke run repeatable: CI walks the same mutations as the developer who
# last ran it (VOLTRA_FUZZ_SEED=0 lets libFuzzer pick one, for longer runs that should roam).
seed=${VOLTRA_FUZZ_SEED:-1}
mkdir -p "$build/artifacts"
# The pipeline harness writes its outputs for every input, and each is synced to disk; in a
# memory file system the sync costs nothing, which more than doubles its executions per second.
scratch=$(mktemp -d "${VOLTRA_FUZZ_TMPDIR:-/dev/shm}/voltra-fuzz.XXXXXX" 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for harness in "${harnesses[@]}"; do
  work="$build/corpus/$harness"
  mkdir -p "$work"
  echo "fuzz-smoke: $harness for ${seconds}s" >&2
  if ! TMPDIR="$scratch" ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} "$build/bin/$harness" "$work" "$seeds/$harness" \
      -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$harness-" 2> "$build/$harness.log"; then
    echo "fuzz-smoke: $harness FAILED; see $build/$harness.log and $build/artifacts/" >&2
    tail -n 40 "$build/$harness.log" >&2
    status=1
  fi
  grep -E '^stat::number_of_executed_units' "$build/$harness.log" | sed "s/^/fuzz-smoke: $harness /" >&2 || true
done
exit $status
