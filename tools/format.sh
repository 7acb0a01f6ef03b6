#!/usr/bin/env bash
# Lays out every tracked C++ file as .clang-format says, with clang-format 14
# (installed when missing); with --check only reports the files out of format
# and fails on them, changing nothing (what .ci/run does).
#   tools/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format-14 >/dev/null 2>&1; then
  apt-get update -qq && apt-get install -y -qq clang-format-14 >/dev/null
fi
mode=(-i)
[ "${1:-}" = --check ] && mode=(--dry-run --Werror)
git ls-files -z '*.cpp' '*.h' '*.hpp' '*.cc' | xargs -0 clang-format-14 "${mode[@]}"
