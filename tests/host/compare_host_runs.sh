#!/usr/bin/env bash
# Runs two builds of ami_host through the same fixed runs and compares what
# they print, their exit codes and every file they write. Each build runs from
# the same scratch path, with its own model library beside it, so full paths
# in the reports match.
#
# usage: tests/host/compare_host_runs.sh BEFORE_BUILD AFTER_BUILD
# Exits 1 when any run differs, 2 on a usage error.
set -uo pipefail

if (($# != 2)); then
  sed -n '6p' "$0"
  exit 2
fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=${TMPDIR:-/tmp}/norvask-host-compare
stage=$work/stage

# One run per line: a name, a tab, the arguments as a shell reads them.
runs=$(cat <<'RUNS'
builtin	--out builtin
builtin_csv	--csv --txi 7 --gain 0.8 --out builtin_csv
impulse	--channel impulse.txt --aggressor xtalk.txt --txi 5 --out impulse
impulse_stat	--channel impulse.txt --aggressor xtalk.txt --stat-eye --noise 0.01 --rj 0.01 --dj 0.05 --xtalk-phase average --ber 1e-15 --out impulse_stat
lane	--channel lossy_lane.s4p --ports 1,3,2,4 --aggressor lossy_lane.s4p@1,2,3,4 --window hann --out lane
two_aggressors	--channel impulse.txt --aggressor xtalk.txt --aggressor lossy_lane.s4p@1,2,3,4 --sweep-txi --csv --out two_aggressors
lane_sweep_stat	--channel lossy_lane.s4p --sweep-txi --stat-eye --out lane_sweep_stat
sweep	--sweep-txi --rank ratio --loss 12 --out sweep
sweep_stat_csv	--sweep-txi --stat-eye --csv --rank-ber --aggressor xtalk.txt --out sweep_stat_csv
params_csv	--params '(Norvask (OutputGain 0.8)(txi 4))' --loss 20 --csv --out params_csv
refused_txi	--txi 16 --out refused_txi
refused_params	--params '(Norvask (txi 99))' --out refused_params
refused_nan	--params '(Norvask (OutputGain nan))' --out refused_nan
bad_bit_rate	--bit-rate 0
bad_option	--speed 3
bad_combination	--sweep-txi --txi 3 --params '(Norvask (txi 2))'
missing_channel	--channel missing.txt
malformed_channel	--channel malformed.txt
fine_grid	--bit-rate 1e30
lane_without_ports	--ports 1,3,2,4
lane_bad_pair	--channel lossy_lane.s4p --aggressor @1,2
lane_no_other_lane	--channel lossy_lane.s4p --aggressor @all
RUNS
)

# The channel files the runs read, the same for both builds.
writeInputs() {
  awk 'BEGIN { for (n = 0; n <= 4000; ++n) { t = n * 1e-12; late = t - 2e-10;
    h = late > 0 ? 0.9 * late / (8e-11 * 8e-11) * exp(-late / 8e-11) : 0;
    printf "%.6e %.9e\n", t, h } }' >impulse.txt
  awk 'BEGIN { print "time value"; for (n = 0; n <= 400; ++n) {
    printf "%.6e %.9e\n", n * 1e-12, 2e9 * sin(n / 40.0) * exp(-n / 100.0) } }' >xtalk.txt
  printf 'time value\n0 1e10\n1e-11 5e9\n2e-11 x\n' >malformed.txt
  cp "$root/host/examples/lossy_lane.s4p" .
}

runAll() {
  local build=$1 results=$2
  rm -rf "$stage" "$results"
  mkdir -p "$stage/host" "$stage/run" "$results"
  cp "$build/host/ami_host" "$stage/host/" || return 1
  cp "$build"/libnorvask.so "$stage/" || return 1
  (
    cd "$stage/run" || exit 1
    writeInputs
    while IFS=$'\t' read -r name arguments; do
      eval "../host/ami_host $arguments" >"$results/$name.stdout" 2>"$results/$name.stderr"
      echo $? >"$results/$name.exit"
    done <<<"$runs"
    for file in *; do
      case $file in impulse.txt | xtalk.txt | malformed.txt | lossy_lane.s4p) ;;
        *) cp "$file" "$results/written_$file" ;;
      esac
    done
  )
}

runAll "$1" "$work/before" || { echo "cannot run the build in $1"; exit 2; }
runAll "$2" "$work/after" || { echo "cannot run the build in $2"; exit 2; }

count=$(grep -c . <<<"$runs")
files=$(find "$work/before" -type f | wc -l)
if diff -r "$work/before" "$work/after"; then
  echo "$count runs, $files outputs: identical"
  exit 0
fi
echo "$count runs, $files outputs: DIFFERENT (see above)"
exit 1
