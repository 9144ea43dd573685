#!/usr/bin/env bash
# Checks the cross-built Windows DLL the way a Windows host's loader sees it:
# its export name table holds exactly AMI_Close and AMI_Init, undecorated (no
# leading underscore, no @n suffix, no C++ mangling), nothing is exported by
# ordinal only, and it needs no mingw runtime DLL beside it.
#
# Usage: tests/programs/check_dll_exports.sh <path to norvask.dll>
set -euo pipefail
dll=${1:?usage: $0 <path to norvask.dll>}
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
headers=$("$objdump" -p "$dll")

# The lines after "[Ordinal/Name Pointer] Table" up to the next blank line
# read "[   0] AMI_Close".
names=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {inside = 1; next}
             inside && NF == 0 {exit}
             inside {print $NF}' <<<"$headers" | sort)
expected=$'AMI_Close\nAMI_Init'
if [ "$names" != "$expected" ]; then
  echo "$dll exports by name:" >&2
  echo "${names:-(nothing)}" >&2
  echo "expected exactly AMI_Close and AMI_Init" >&2
  exit 1
fi

addresses=$(awk '/Export Address Table[ \t]+[0-9a-fA-F]+$/ {print $NF; exit}' <<<"$headers")
if [ "$((16#${addresses:-0}))" -ne 2 ]; then
  echo "$dll has $((16#${addresses:-0})) entries in its export address table, expected 2" >&2
  exit 1
fi

runtime=$(grep -Eio 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)[^ ]*' <<<"$headers" || true)
if [ -n "$runtime" ]; then
  echo "$dll needs a mingw runtime DLL: $runtime" >&2
  exit 1
fi
echo "$dll exports exactly AMI_Close and AMI_Init, undecorated"
