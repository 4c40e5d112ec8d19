#!/usr/bin/env bash
# Checks that every tracked C/C++ source and header follows .clang-format, without changing any
# file: `clang-format --dry-run -Werror` over each. Prints clang-format's complaints (file, line,
# the code) and the files that need formatting, and exits 1 when there is any; 0 when all follow.
# Usage: scripts/check-format.sh [FILE...]   (default: every tracked *.c, *.cpp, *.h)
# To format a file: clang-format -i FILE (Debian's clang-format 14; other versions may differ).
set -uo pipefail
cd "$(dirname "$0")/.."

formatter=${CLANG_FORMAT:-clang-format}
if ! command -v "$formatter" >/dev/null; then
  echo "check-format: $formatter not found (scripts/install-deps.sh installs it)" >&2
  exit 2
fi
version=$("$formatter" --version)
case $version in
  *"version 14."*) ;;
  *) echo "check-format: warning: the style is checked with clang-format 14; this is: $version" >&2 ;;
esac

if [ $# -gt 0 ]; then
  files=("$@")
else
  # Every tracked C/C++ file. There are no generated or third-party sources in the tree (widl's
  # output goes to the build folder); add a pattern below if one ever arrives.
  mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' \
    ':(exclude)build/**')
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no files to check" >&2
  exit 2
fi

# One run over all files (fast); clang-format names each file and line that differs from the style,
# at most a few places per file.
report=$("$formatter" --style=file --dry-run -Werror --ferror-limit=3 "${files[@]}" 2>&1)
status=$?
if [ $status -ne 0 ]; then
  printf '%s\n' "$report" >&2
  mapfile -t unformatted < <(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*clang-format-violations.*/\1/p' | sort -u)
  echo >&2
  if [ ${#unformatted[@]} -eq 0 ]; then
    echo "check-format: clang-format failed (status $status)" >&2
    exit 2
  fi
  echo "check-format: ${#unformatted[@]} of ${#files[@]} files do not follow .clang-format:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "check-format: run  clang-format -i FILE...  to format them" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files follow .clang-format"
