#!/usr/bin/env bash
# Checks that every line of C++ changed since the commit named in
# .ci/format-base (or BASE) is formatted as .clang-format says, with
# clang-format 14 (Debian 12's). Lines not changed since then keep their
# form: the tree is never reformatted wholesale. Uncommitted changes count.
#
#   bash scripts/format-check.sh [BASE]
set -euo pipefail
cd "$(dirname "$0")/.."

if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "format check skipped: not a git checkout"
  exit 0
fi
base=${1:-$(cat .ci/format-base)}
if ! git cat-file -e "${base}^{commit}" 2>/dev/null; then
  echo "format check: the commit ${base} is not in this checkout (a shallow clone?)" >&2
  exit 1
fi
formatter=$(command -v clang-format-14 || command -v clang-format) ||
  { echo "clang-format is missing: bash scripts/install-deps.sh" >&2; exit 1; }

# git clang-format 14 ends with status 0 either way: what it prints tells.
changes=$(git clang-format --binary "$formatter" --extensions cpp,h --diff "$base")
if [[ "$changes" != diff* ]]; then
  echo "format check: the lines changed since ${base:0:12} are formatted"
  exit 0
fi
echo "$changes"
echo
echo "Lines changed since ${base:0:12} are not formatted as .clang-format says, in:" >&2
sed -n 's|^diff --git a/\(.*\) b/.*|  \1|p' <<<"$changes" >&2
echo "Format them (only the changed lines) with:" >&2
echo "  git clang-format --binary $formatter --extensions cpp,h $base" >&2
exit 1
