#!/usr/bin/env bash
# Checks C++ files against the project's .clang-format without changing them.
#   scripts/check_format.sh          the files changed by the last commit
#   scripts/check_format.sh BASE     the files changed since BASE (a commit or branch),
#                                    including changes not yet committed
#   scripts/check_format.sh --all    every tracked C++ file
# Exits non-zero, naming each file and line, when any file differs.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null 2>&1; then
  echo "check_format: clang-format is missing; run scripts/deps.sh" >&2
  exit 2
fi

cpp_files='\.(h|hpp|cpp|cc)$'
if [ "${1:-}" = "--all" ]; then
  mapfile -t files < <(git ls-files | grep -E "$cpp_files" || true)
elif [ -n "${1:-}" ]; then
  base=$(git rev-parse --verify --quiet "$1^{commit}") || {
    echo "check_format: no commit named $1" >&2
    exit 2
  }
  mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$base" -- | grep -E "$cpp_files" || true)
else
  # The last commit's files: against its first parent, so that a merge counts
  # everything it brought in; a first (or shallow) commit has no parent.
  if git rev-parse --verify --quiet 'HEAD^' >/dev/null; then
    mapfile -t files < <(git diff --name-only --diff-filter=ACMR 'HEAD^' HEAD |
      grep -E "$cpp_files" || true)
  else
    mapfile -t files < <(git diff-tree --root --no-commit-id --name-only -r --diff-filter=ACMR HEAD |
      grep -E "$cpp_files" || true)
  fi
fi

if [ ${#files[@]} -eq 0 ]; then
  echo "check_format: no C++ files to check"
  exit 0
fi
# Files changed in the working tree but deleted since are skipped.
existing=()
for file in "${files[@]}"; do
  [ -f "$file" ] && existing+=("$file")
done
if [ ${#existing[@]} -eq 0 ]; then
  echo "check_format: no C++ files to check"
  exit 0
fi
if clang-format --dry-run -Werror "${existing[@]}"; then
  echo "check_format: ${#existing[@]} files match .clang-format"
else
  echo "check_format: files above differ from .clang-format; run clang-format -i on them" >&2
  exit 1
fi
