#!/usr/bin/env bash
# Runs ami_reference_run on the Linux library and, under wine, its Windows
# build on the Windows DLL, and compares the two outputs line by line (line
# endings aside). Fails on the first difference, showing where it is.
#
# Usage: compare_reference_runs.sh <Linux build folder> <Windows build folder>
#   e.g. tests/kit/compare_reference_runs.sh build build-windows
# Needs wine64 (Debian: apt-get install wine64); WINE names another wine binary.
set -euo pipefail
linux_build=${1:?usage: $0 <Linux build folder> <Windows build folder>}
windows_build=${2:?usage: $0 <Linux build folder> <Windows build folder>}
wine=${WINE:-/usr/lib/wine/wine64}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$linux_build/tests/kit/ami_reference_run" "$linux_build/libnorvask.so" >"$scratch/linux.txt"

# A throw-away wine prefix, no debug chatter, and no offer to install Mono or
# Gecko: the run is headless. Wine maps drive Z: to the Unix root.
dll=$(cd "$windows_build" && pwd)/norvask.dll
WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  "$wine" "$windows_build/tests/kit/ami_reference_run.exe" "Z:$dll" >"$scratch/windows.crlf" \
  2>"$scratch/wine.log" || {
  cat "$scratch/wine.log" >&2
  echo "the Windows run failed" >&2
  exit 1
}
tr -d '\r' <"$scratch/windows.crlf" >"$scratch/windows.txt"

if ! cmp -s "$scratch/linux.txt" "$scratch/windows.txt"; then
  first=$(diff "$scratch/linux.txt" "$scratch/windows.txt" | head -n 1 | grep -o '^[0-9]*' || true)
  echo "Linux and Windows results differ from line $first, in the call:" >&2
  head -n "$first" "$scratch/linux.txt" | grep '^call' | tail -n 1 >&2
  echo "(< Linux, > Windows)" >&2
  diff "$scratch/linux.txt" "$scratch/windows.txt" | head -n 20 >&2 || true
  echo "$(diff "$scratch/linux.txt" "$scratch/windows.txt" | grep -c '^<' || true) line(s) differ" >&2
  exit 1
fi
echo "Linux and Windows results identical: $(grep -c '^call' "$scratch/linux.txt") calls," \
  "$(wc -l <"$scratch/linux.txt") lines"
