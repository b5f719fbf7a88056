#!/usr/bin/env bash
# Fails when a C or C++ file of the project is not as clang-format writes it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.c' '*.h' '*.cpp' '*.hpp' '*.inc' \
  | grep -v -E '^nkf32/tables/.*\.inc$' || true)
[ ${#files[@]} -eq 0 ] && exit 0
clang-format --dry-run -Werror "${files[@]}"
