#!/usr/bin/env bash
# The heavy end-to-end run (HEAVY.dat: two-frequency localizer in near-field
# mode, 3000-point approach, two large buildings, four wires, a taxiing
# aircraft) timed side by side with the same run of an older build.
#   [BASE_TREE=DIR] bench/heavy/run.sh [BASE_COMMIT]   (default cc75116, the single-threaded engine)
# Builds BASE_COMMIT in /tmp/ilscalc-base (a git worktree) and this tree in
# build/, runs both, compares the field files, prints wall times and peak
# memory (/usr/bin/time -v). Run on an otherwise idle machine.
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
run() {  # tree option
  (cd "$work/$1" && /usr/bin/time -v "$runner-$1" . HEAVY . "$2" 2>"$work/time-$1-$2.txt")
  grep -E "Elapsed|Maximum resident" "$work/time-$1-$2.txt" | sed "s/^/  $1 option $2: /"
  cp "$work/$1/scratch/HEAVY.fld" "$work/$1-$2.fld"
}
run base 0
run new 1
run new 2
run new 0
for v in new-1 new-2 new-0; do
  if cmp -s "$work/new-1.fld" "$work/$v.fld"; then echo "  $v.fld identical to new-1.fld"; else echo "  $v.fld DIFFERS"; fi
done
if cmp -s "$work/base-0.fld" "$work/new-1.fld"; then echo "  new field file identical to the base's"; else echo "  new field file differs from the base's"; fi
rm -rf "$work"
