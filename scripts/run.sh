#!/usr/bin/env bash
# Starts korvel on the forged sample archives. Until the window exists, it
# shows through korvel-cli what the window will show: the archives of the
# default list, an entry's content tree, a texture as PNG and a model.
set -euo pipefail
build_dir=${1:-build}
cd "$build_dir"
cli=./tools/cli/korvel-cli
game=korvel_res/samples/game.idx

echo "== The default list (korvel_res/default_idx_list.xml) browses these archives:"
grep -o 'idx_file_path="[^"]*"' korvel_res/default_idx_list.xml | cut -d'"' -f2
echo
echo "== korvel-cli entries $game"
"$cli" entries "$game"
echo
echo "== korvel-cli tree $game '.\\00000001\\0\\1\\0.dds'   (a texture in a pack in a zlib stream)"
"$cli" tree "$game" '.\00000001\0\1\0.dds'
echo
echo "== korvel-cli model $game '.\\00000000\\0\\0.G1M_'"
"$cli" model "$game" '.\00000000\0\0.G1M_' | head -8
echo "   ..."
echo
echo "== korvel-cli extract-all $game korvel_res/extracted --png"
"$cli" extract-all "$game" korvel_res/extracted --png 2>/dev/null
echo "The textures are PNG files in $build_dir/korvel_res/extracted/."
