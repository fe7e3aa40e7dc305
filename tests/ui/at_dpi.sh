#!/usr/bin/env bash
# Runs one of the window's tests in a Wine session of its own whose display
# DPI is set before its first program starts, as after signing in again.
# Runs inside scripts/wine-ctest's session, beside it.
#   at_dpi.sh DPI ui_tests.exe TEST_NAME
set -euo pipefail
dpi=$1 exe=$2 test=$3
if [ -z "${VBC_WINE_SESSION:-}" ]; then
  echo "at_dpi: run through scripts/wine-ctest" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-prefix.sh"
export VBC_SESSION_DPI=$dpi VBC_FORCE_XVFB=1
vbc_wine_session_start
trap vbc_wine_session_stop EXIT
cd "$(dirname "$exe")"
output=$("$here/../../scripts/wine-exec" "$(basename "$exe")" --gtest_filter="$test" 2>&1) || {
  echo "$output"; exit 1; }
echo "$output"
# A filter that matched nothing would pass too.
grep -q '^\[  PASSED  \] 1 test' <<<"$output" || { echo "at_dpi: $test did not run" >&2; exit 1; }
