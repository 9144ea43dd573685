#!/usr/bin/env bash
# Runs AMI_Init/AMI_Close cycles with varied inputs, failures included, through
# the real shared library under valgrind memcheck. Any invalid access, use of
# uninitialised memory or leak (definite, indirect or possible) fails.
#
# Usage: tests/programs/memcheck_cycles.sh <build dir> [cycles]   (default 10000)
set -euo pipefail
build=${1:?usage: $0 <build dir> [cycles]}
cycles=${2:-10000}
for f in "$build/tests/ami_cycles" "$build/libnorvask.so"; do
  [ -e "$f" ] || { echo "missing $f: build the ami_cycles and norvask targets first" >&2; exit 2; }
done
valgrind --error-exitcode=1 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect,possible \
  "$build/tests/ami_cycles" "$build/libnorvask.so" "$cycles"
