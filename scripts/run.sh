#!/usr/bin/env bash
# Starts korvel from the build folder on the forged sample archives (the build
# forges them and writes the default list that browses them). korvel prints
# the address to open in a browser; Ctrl+C ends it as closing its window does.
set -euo pipefail
build_dir=${1:-build}
port=${2:-8420}
cd "$build_dir"
if [ ! -f korvel_res/samples/game.idx ]; then
  echo "run: the sample archives are missing; build first (make run does)" >&2
  exit 1
fi
echo "korvel: starting on the samples in $(pwd)/korvel_res/samples"
exec ./korvel --port "$port"
