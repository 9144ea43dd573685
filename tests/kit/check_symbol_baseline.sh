#!/usr/bin/env bash
# Checks that a Linux shared library loads on every x86-64 Linux the
# manylinux2014 policy covers (the RHEL 7 family and newer): none of the
# versioned symbols it needs from other libraries is newer than GLIBC_2.17,
# GLIBCXX_3.4.19, CXXABI_1.3.7 or GCC_4.8.0, and it needs no library but libc,
# libm, libstdc++ and libgcc_s. Prints the newest version it needs of each
# family and "baseline met", or names every offending symbol and fails.
#
# Usage: check_symbol_baseline.sh <library> [--plant "<symbol> <version>"]
# --plant adds one needed symbol to what objdump reports, to show the check
# catches it.
set -euo pipefail
library=${1:?usage: $0 <library> [--plant \"<symbol> <version>\"]}
planted=""
if [ "${2:-}" = "--plant" ]; then
  planted=${3:?--plant needs \"<symbol> <version>\"}
fi
objdump=${OBJDUMP:-objdump}

declare -A baseline=([GLIBC]=2.17 [GLIBCXX]=3.4.19 [CXXABI]=1.3.7 [GCC]=4.8.0)
allowed_libraries=" libc.so.6 libm.so.6 libstdc++.so.6 libgcc_s.so.1 "

# "symbol version" for every undefined (needed) symbol that carries a version:
# objdump prints "... *UND* <size> (GLIBC_2.2.5) log" or without parentheses.
needed=$("$objdump" -T "$library" | awk '$0 ~ /\*UND\*/ && NF >= 2 {
    version = $(NF - 1); gsub(/[()]/, "", version)
    if (version ~ /_[0-9]/) print $NF, version }')
if [ -n "$planted" ]; then
  needed+=$'\n'"$planted"
fi

# True when version $1 is newer than version $2 (numeric, part by part).
newer() {
  [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$1" ]
}

declare -A newest newest_symbol
failures=0
while read -r symbol version; do
  [ -n "$symbol" ] || continue
  family=${version%%_[0-9]*}
  number=${version#"${family}"_}
  if [ -z "${baseline[$family]:-}" ]; then
    echo "$symbol needs $version, a version family outside the baseline" >&2
    failures=$((failures + 1))
    continue
  fi
  if newer "$number" "${baseline[$family]}"; then
    echo "$symbol needs $version, above the baseline ${family}_${baseline[$family]}" >&2
    failures=$((failures + 1))
  fi
  if [ -z "${newest[$family]:-}" ] || newer "$number" "${newest[$family]}"; then
    newest[$family]=$number
    newest_symbol[$family]=$symbol
  fi
done <<<"$needed"

for library_name in $("$objdump" -p "$library" | awk '$1 == "NEEDED" {print $2}'); do
  if [[ "$allowed_libraries" != *" $library_name "* ]]; then
    echo "needs $library_name, which is not libc, libm, libstdc++ or libgcc_s" >&2
    failures=$((failures + 1))
  fi
done

for family in GLIBC GLIBCXX CXXABI GCC; do
  if [ -n "${newest[$family]:-}" ]; then
    echo "newest $family: ${family}_${newest[$family]} (${newest_symbol[$family]})"
  else
    echo "newest $family: none needed"
  fi
done
if [ "$failures" -gt 0 ]; then
  echo "$library: $failures problem(s) above the manylinux2014 baseline" >&2
  exit 1
fi
echo "baseline met: GLIBC_2.17, GLIBCXX_3.4.19, CXXABI_1.3.7, GCC_4.8.0"
