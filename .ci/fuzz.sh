#!/usr/bin/env bash
# Fuzz smoke runs: builds the libFuzzer targets of tests/fuzz with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for a bounded
# time from its seed and regression corpora. A crash, a leak, a sanitizer
# report, a timeout or a broken invariant fails the job and prints the input.
# The regression corpora are also replayed by every CTest run (FuzzReplay.*).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${ILSCALC_FUZZ_SECONDS:-30}
targets=(command_file flight_profile motion_file post_params field_file scanner)

need=()
command -v clang++-14 >/dev/null || need+=(clang-14)
ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
  need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  echo "== installing: ${need[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${need[@]}"
fi

echo "== fuzz targets (clang-14, libFuzzer, ASan + UBSan)"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DILSCALC_FUZZ=ON -DILSCALC_TESTS=OFF -DILSCALC_BENCH=OFF
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for t in "${targets[@]}"; do
  echo "== fuzz_$t for ${seconds} s"
  mkdir -p "$work/$t/corpus" "$work/$t/artifacts"
  # Only the corpora that exist: a target may have no regression inputs yet.
  corpora=("$work/$t/corpus")
  for c in "$PWD/tests/fuzz/corpus/$t" "$PWD/tests/fuzz/regression/$t"; do
    [ -d "$c" ] && corpora+=("$c")
  done
  # Inputs go to a scratch corpus; the checked-in corpora are only read.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/$t/artifacts/" \
      "${corpora[@]}" \
      >"$work/$t/log.txt" 2>&1; then
    status=1
    tail -n 60 "$work/$t/log.txt"
    for f in "$work/$t/artifacts/"*; do
      [ -f "$f" ] || continue
      echo "== finding of fuzz_$t: $(basename "$f") ($(wc -c <"$f") bytes); add it to tests/fuzz/regression/$t/"
      od -A d -c "$f" | head -n 80
    done
  else
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$work/$t/log.txt" | tail -n 2 || true
  fi
done
exit $status
