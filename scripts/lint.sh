#!/usr/bin/env bash
# The checks that need no build: every C++ file laid out as .clang-format says, and clang-tidy
# (.clang-tidy) over the library's and the tools' sources, read through the compile commands of the
# "default" preset. The tests are left out to keep the run short.
# Usage: scripts/lint.sh [format | tidy]   (both when neither is named)
set -euo pipefail
cd "$(dirname "$0")/.."

check_format() {
  if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
    echo "lint.sh: files not laid out as .clang-format says (above; clang-format -i fixes them)" >&2
    return 1
  fi
  echo "lint.sh: $(git ls-files '*.cpp' '*.h' | wc -l) files laid out as .clang-format says"
}

check_tidy() {
  # Configured each time, so that the file list follows the CMake files.
  cmake --preset default >/dev/null
  local log status=0 files
  log=$(mktemp)
  run-clang-tidy -j2 -quiet -p build/default \
    "^$(pwd -P)/(framework|parse|plcprotocol|plccommon|tools)/" >"$log" 2>&1 || status=$?
  files=$(grep -c '^clang-tidy' "$log" || true)
  if ((status != 0 || files == 0)); then
    # Without colours, and without the counts of what clang-tidy left out in system headers.
    sed 's/\x1b\[[0-9;]*m//g' "$log" |
      grep -vE '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings' || true
    rm -f "$log"
    echo "lint.sh: clang-tidy failed (status $status, $files files checked)" >&2
    return 1
  fi
  rm -f "$log"
  echo "lint.sh: clang-tidy found nothing in $files files"
}

bash scripts/install-deps.sh --lint
case "${1:-}" in
  format) check_format ;;
  tidy) check_tidy ;;
  "")
    check_format
    check_tidy
    ;;
  *) echo "usage: scripts/lint.sh [format | tidy]" >&2; exit 2 ;;
esac
