#!/usr/bin/env bash
# Starts korvel on the forged sample archives. Until the window exists, it
# shows what the archive code sees through korvel-cli.
set -euo pipefail
build_dir=${1:-build}
cd "$build_dir"
cli=./tools/cli/korvel-cli

echo "== The default list (korvel_res/default_idx_list.xml) browses these archives:"
grep -o 'idx_file_path="[^"]*"' korvel_res/default_idx_list.xml | cut -d'"' -f2
echo
echo "== korvel-cli entries korvel_res/samples/plain.idx"
"$cli" entries korvel_res/samples/plain.idx
echo
echo "== korvel-cli tree korvel_res/samples/plain.idx 00000000"
"$cli" tree korvel_res/samples/plain.idx 00000000 || true
