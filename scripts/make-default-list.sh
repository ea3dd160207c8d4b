#!/usr/bin/env bash
# Forges the sample archives and scans them into the default list document,
# with index paths relative to the build folder, where the program runs.
set -euo pipefail
build_dir=$1
cd "$build_dir"
./tools/forge/korvel-forge korvel_res/samples >/dev/null
rm -f korvel_res/default_idx_list.xml
for index in korvel_res/samples/*.idx; do
  ./tools/cli/korvel-cli scan "$index" --all --into korvel_res/default_idx_list.xml 2>/dev/null
done
