#!/usr/bin/env bash
# The heavy end-to-end run (HEAVY.dat: two-frequency localizer in near-field
# mode, 3000-point approach, two large buildings, four wires, a taxiing
# aircraft) timed side by side with the same run of an older build.
#   [BASE_TREE=DIR] bench/heavy/run.sh [BASE_COMMIT]   (default cc75116, the single-threaded engine)
# Builds BASE_COMMIT in /tmp/ilscalc-base (a git worktree) and this tree in
# build/, runs both, compares the field files, prints wall times and peak
# memory (/usr/bin/time), best of REPEAT (default 5) runs each, and the
# median 1 -> 2 threads ratio of the rounds beside that of a load with no
# memory traffic (the machine's ceiling). Run on an otherwise idle machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
base_commit=${1:-cc75116}
base=${BASE_TREE:-/tmp/ilscalc-base}  # an existing checkout of BASE_COMMIT may be named
[ -d "$base" ] || git -C "$root" worktree add "$base" "$base_commit" >/dev/null
for tree in "$base" "$root"; do
  cmake -S "$tree" -B "$tree/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$tree/build" -j2 --target ilscalc >/dev/null
done
work=$(mktemp -d)
runner="$work/run_calc"
for tree in base new; do
  lib=$base/build; [ $tree = new ] && lib=$root/build
  g++ -O2 -std=c++20 -I"$root/include" "$root/bench/run_calc.cpp" -o "$runner-$tree" \
    -L"$lib" -lilscalc -Wl,-rpath,"$lib" -pthread
  mkdir -p "$work/$tree"
  cp "$here/HEAVY.dat" "$here/taxi.mot" "$work/$tree/"
done
# The same machine's ceiling for threads (bench/parallel_ceiling.cpp), timed
# in the same rounds.
g++ -O2 -std=c++20 "$root/bench/parallel_ceiling.cpp" -o "$work/ceiling" -pthread
repeat=${REPEAT:-5}
# Best wall times (s) and largest peak RSS (kB) of REPEAT runs, interleaved
# across the configurations so that a burst of load hits all of them alike.
# "process": the whole program, from start to exit (loading the library
# included); "calculation": ILSCalc_Start to the end state, as run_calc times it.
declare -A best calc rss
configs="base:0 new:1 new:2 new:0"
# Per round, the 1 -> 2 threads ratios of the engine's calculation and of the
# ceiling: their medians stand beside the best-of figures, which a host that
# slows one configuration's runs more than another's can skew.
pairs=() ceilings=()
for ((r = 0; r < repeat; r++)); do
  declare -A round=()
  for c in $configs; do
    tree=${c%%:*}; opt=${c##*:}
    t0=$EPOCHREALTIME
    (cd "$work/$tree" && /usr/bin/time -f "%M" -o "$work/t.txt" "$runner-$tree" . HEAVY . "$opt" >"$work/out.txt")
    t1=$EPOCHREALTIME
    wall=$(awk "BEGIN{printf \"%.4f\", $t1 - $t0}")
    kb=$(cat "$work/t.txt")
    inner=$(awk '{for (i = 1; i < NF; i++) if ($(i + 1) == "s") print $i}' "$work/out.txt")
    if [ -z "${best[$c]:-}" ] || awk "BEGIN{exit !($wall < ${best[$c]})}"; then best[$c]=$wall; fi
    if [ -z "${calc[$c]:-}" ] || awk "BEGIN{exit !($inner < ${calc[$c]})}"; then calc[$c]=$inner; fi
    if [ -z "${rss[$c]:-}" ] || [ "$kb" -gt "${rss[$c]}" ]; then rss[$c]=$kb; fi
    round[$c]=$inner
    cp "$work/$tree/scratch/HEAVY.fld" "$work/$tree-$opt.fld"
  done
  pairs+=("$(awk "BEGIN{printf \"%.3f\", ${round[new:1]} / ${round[new:2]}}")")
  c1=$("$work/ceiling" 1); c2=$("$work/ceiling" 2)
  ceilings+=("$(awk "BEGIN{printf \"%.3f\", $c1 / $c2}")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END{printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
echo "best of $repeat runs (process wall s, calculation wall s, peak kB; ratios to the base):"
for c in $configs; do
  ratio=$(awk "BEGIN{printf \"%.2f\", ${best[base:0]} / ${best[$c]}}")
  inner=$(awk "BEGIN{printf \"%.2f\", ${calc[base:0]} / ${calc[$c]}}")
  echo "  ${c%%:*} option ${c##*:}: ${best[$c]} s (${ratio}x), ${calc[$c]} s (${inner}x), ${rss[$c]} kB"
done
echo "  1 -> 2 threads: $(awk "BEGIN{printf \"%.2f\", ${best[new:1]} / ${best[new:2]}}")x process, $(awk "BEGIN{printf \"%.2f\", ${calc[new:1]} / ${calc[new:2]}}")x calculation"
echo "  1 -> 2 threads, median of the rounds' ratios: $(median "${pairs[@]}")x calculation; this machine's ceiling (parallel_ceiling): $(median "${ceilings[@]}")x"
echo "  memory: $(awk "BEGIN{printf \"%.2f\", ${rss[new:0]} / ${rss[base:0]}}")x the base's peak"
for v in new-2 new-0; do
  if cmp -s "$work/new-1.fld" "$work/$v.fld"; then echo "  $v.fld identical to new-1.fld"; else echo "  $v.fld DIFFERS from new-1.fld"; fi
done
rm -rf "$work"
