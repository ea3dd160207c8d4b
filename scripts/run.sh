#!/usr/bin/env bash
# Starts korvel on the forged sample archives. Until the window exists, it
# shows what the archive code sees through korvel-cli.
set -euo pipefail
build_dir=${1:-build}
samples="$build_dir/korvel_res/samples"
cli="$build_dir/tools/cli/korvel-cli"

echo "== korvel-cli entries $samples/plain.idx"
"$cli" entries "$samples/plain.idx"
echo
echo "== korvel-cli tree $samples/plain.idx 00000000"
"$cli" tree "$samples/plain.idx" 00000000 || true
