#!/usr/bin/env bash
# Rewrites the golden files of tests/formats from the current decoder; review
# the result with `git diff tests/formats/golden` before committing it.
set -euo pipefail
build_dir="${1:-build}"
KORVEL_UPDATE_GOLDEN=1 "$build_dir/tests/korvel_formats_tests" --gtest_filter='DdsGolden.*'
