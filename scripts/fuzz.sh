#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang with the address and
# undefined-behaviour sanitizers) and runs each for a bounded time:
#
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET [TARGET...]]
#
# Default 20 s per target (ZEMA_FUZZ_SECONDS overrides it), all targets:
# parameter_file settings_file image_header link_reply. Each starts from its
# seed corpus tests/fuzz/corpus/<target>, which it only reads (every input
# there, regression inputs included, runs first); what it finds goes to
# build-fuzz/corpus/<target> and is kept for the next run. Any finding (a
# crash, a sanitizer report, a failed property, a leak, an input that takes
# longer than 10 s) fails the script; its input is saved under
# build-fuzz/findings/<target>/. Once the fault is mended, copy that input
# into tests/fuzz/corpus/<target>/ as a regression input.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${ZEMA_FUZZ_SECONDS:-20}}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(parameter_file settings_file image_header link_reply)
fi

echo "=== fuzz: configure, build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
summary=()
for target in "${targets[@]}"; do
  program=build-fuzz/bin/fuzz_$target
  seeds=tests/fuzz/corpus/$target
  [ -x "$program" ] && [ -d "$seeds" ] || { echo "no fuzz target '$target'" >&2; exit 2; }
  found=build-fuzz/corpus/$target
  findings=build-fuzz/findings/$target
  log=build-fuzz/fuzz-$target.log
  mkdir -p "$found" "$findings"
  echo "=== fuzz: $target for ${seconds} s"
  if ! "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$found" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    failed+=("$target")
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
  summary+=("$(printf '%-15s %4s s %12s runs' "$target" "${took:-?}" "${runs:-?}")")
done

echo "=== fuzz: results"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "findings in: ${failed[*]} (inputs under build-fuzz/findings/, logs build-fuzz/fuzz-*.log)" >&2
  exit 1
fi
echo "no findings"
