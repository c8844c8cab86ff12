#!/usr/bin/env bash
# Runs every bundled example with the Linux host and with the Windows host
# under Wine, and compares their message logs, post logs and reports line by
# line and their FieldFiles value by value (compare_outputs.cpp).
#   tests/windows/compare_platforms.sh LINUX_ILSCALC WINDOWS_ILSCALC_EXE WORK_DIR
# Needs WINEPREFIX set up (wineboot -i). Exit status 0 when every run agrees.
set -euo pipefail
linux_host=$(realpath "$1")
windows_host=$(realpath "$2")
work=$(realpath -m "$3")
src=$(cd "$(dirname "$0")/../.." && pwd)

rm -rf "$work"
mkdir -p "$work"
g++ -std=c++20 -O2 -Wall -Wextra -o "$work/compare_outputs" "$src/tests/windows/compare_outputs.cpp"

status=0
runs=0
for dat in "$src"/examples/*/*.dat; do
  example=$(basename "$(dirname "$dat")")
  run=$(basename "$dat" .dat)
  for side in linux windows; do
    rm -rf "$work/$side/$example"
    mkdir -p "$work/$side"
    cp -r "$src/examples/$example" "$work/$side/$example"
    rm -rf "$work/$side/$example/scratch"
  done
  echo "== $example/$run"
  "$linux_host" run "$work/linux/$example" "$run" > "$work/linux/$example/$run.host.txt" 2>&1 ||
    { echo "FAIL the Linux host ended with $?"; status=1; }
  wine "$windows_host" run "$(winepath -w "$work/windows/$example")" "$run" \
    > "$work/windows/$example/$run.host.txt" 2>&1 ||
    { echo "FAIL the Windows host ended with $?"; status=1; }
  texts=()
  if [ -f "$src/examples/$example/$run.post" ]; then
    report=$(sed -n '3{s/[[:space:]]*$//;p;q}' "$src/examples/$example/$run.post" | tr -d '\r')
    texts=(ILSPOST.LOG "$report.PTS")
  fi
  "$work/compare_outputs" "$work/linux/$example/scratch" "$work/windows/$example/scratch" "$run" \
    "${texts[@]}" || status=1
  runs=$((runs + 1))
done
[ "$runs" -gt 0 ] || { echo "no example found"; exit 1; }
if [ "$status" -eq 0 ]; then
  echo "== the Linux and Windows builds agree on all $runs example runs"
else
  echo "== the Linux and Windows builds DIFFER (see FAIL above)"
fi
exit "$status"
