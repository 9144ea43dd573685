#!/usr/bin/env bash
# Mutation testing: applies each fault listed in mutants.txt to the source,
# rebuilds, and runs the whole test suite. A fault the suite does not notice
# ("SURVIVED") points at a test gap.
#
# usage: tests/mutation/run_mutations.sh [-b BUILD_DIR] [-f REGEX] [-l MUTANTS_FILE]
#   -b  build folder (default build-mutation, relative to the repository root)
#   -f  run only the mutants whose line matches REGEX (extended regex)
#   -l  the mutant list (default tests/mutation/mutants.txt; paths relative to the root)
#
# Mutant list: one per line, four tab-separated fields
#   path  original-text  replacement-text  description
# The original text must occur exactly once in the file; otherwise the mutant
# is reported "not applicable" (e.g. after code has moved). Lines starting
# with # and blank lines are ignored.
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null || true

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root" || exit 1
build="build-mutation"
filter=
list=tests/mutation/mutants.txt
while getopts "b:f:l:h" opt; do
  case $opt in
    b) build=$OPTARG ;;
    f) filter=$OPTARG ;;
    l) list=$OPTARG ;;
    *) sed -n '6,9p' "$0"; exit 2 ;;
  esac
done

backup=
target=
restore() {
  if [[ -n $backup && -f $backup ]]; then
    cp "$backup" "$target" && rm -f "$backup"
  fi
  backup=
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

build_quietly() { cmake --build "$build" -j2 >"$build/mutation-build.log" 2>&1; }
test_quietly() {
  ctest --test-dir "$build" -j2 --timeout 120 --stop-on-failure >"$build/mutation-test.log" 2>&1
}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVASK_BENCH=OFF >/dev/null ||
  { echo "configure failed"; exit 1; }
if ! build_quietly || ! test_quietly; then
  echo "the unmutated code does not build or pass its tests; see $build/mutation-*.log"
  exit 1
fi

total=0 killed=0 survived=0 skipped=0
while IFS= read -r line || [[ -n $line ]]; do
  [[ -z $line || $line == \#* ]] && continue
  [[ -n $filter ]] && ! [[ $line =~ $filter ]] && continue
  file=${line%%$'\t'*}; rest=${line#*$'\t'}
  original=${rest%%$'\t'*}; rest=${rest#*$'\t'}
  replacement=${rest%%$'\t'*}; description=${rest#*$'\t'}
  [[ $rest == *$'\t'* ]] || description="'$original' -> '$replacement'"
  total=$((total + 1))
  label="$file: $description"

  occurrences=0
  if [[ -f $file && -n $original ]]; then
    content=$(<"$file")
    without=${content//"$original"/}
    occurrences=$(((${#content} - ${#without}) / ${#original}))
  fi
  if ((occurrences != 1)); then
    skipped=$((skipped + 1))
    echo "not applicable  $label"
    continue
  fi

  target=$file
  backup="$build/mutation-backup"
  cp "$file" "$backup"
  printf '%s\n' "${content/"$original"/"$replacement"}" >"$file"
  if ! build_quietly; then
    verdict="killed (build)"
  elif ! test_quietly; then
    verdict=killed
  else
    verdict=SURVIVED
  fi
  restore
  if [[ $verdict == SURVIVED ]]; then
    survived=$((survived + 1))
  else
    killed=$((killed + 1))
  fi
  printf '%-15s %s\n' "$verdict" "$label"
done <"$list"

build_quietly  # leave the build folder matching the restored sources
echo "mutants: $total, killed: $killed, survived: $survived, not applicable: $skipped"
