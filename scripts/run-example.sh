#!/usr/bin/env bash
# Installs what is missing, builds in build/, and runs voltra on the bundled example structure
# with Voltra's default charges and sizes, writing the templates, the report and a PQR into out/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target voltra_program
mkdir -p out
build/bin/voltra --assign=default --out-dir=out examples/1AFS.pdb
echo "run-example: wrote $(cd out && ls | tr '\n' ' ')into out/" >&2
