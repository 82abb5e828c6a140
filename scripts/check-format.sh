#!/usr/bin/env bash
# Fails when a C or C++ source the project tracks is not as clang-format writes it with
# .clang-format (clang-format 14, Debian 12's). `scripts/check-format.sh --fix` rewrites
# them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
else
  mapfile -t files < <(find client examples fuzz host package platform server station tests bench \
                         -name '*.cpp' -o -name '*.h' -o -name '*.c')
fi

if [[ "${1:-}" == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "check-format: the files above are not formatted; scripts/check-format.sh --fix formats them" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted" >&2
