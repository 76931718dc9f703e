#!/usr/bin/env bash
# Builds the JSON fuzz target with clang's libFuzzer, ASan and UBSan straight
# from the sources it needs, runs it for <seconds> on a copy of the seed
# corpus, and fails on any crash, leak or sanitizer report.
#   usage: tests/fuzz/run_fuzz.sh <seconds>
# Environment: FUZZ_CXX (default clang++), FUZZ_WORK_DIR (default a new temp
# directory, removed after a clean run and kept after a failure).
set -euo pipefail

seconds="${1:-}"
if [[ ! "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 <seconds>   (a whole number of seconds, at least 1)" >&2
  exit 2
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
cxx="${FUZZ_CXX:-clang++}"
work="${FUZZ_WORK_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/nevo_json_fuzz.XXXXXX")}"
mkdir -p "$work"
keep_work=1
cleanup() { if [[ $keep_work == 0 && -z "${FUZZ_WORK_DIR:-}" ]]; then rm -rf "$work"; fi; }
trap cleanup EXIT

# Only the JSON code, the logger it reports through and the host platform.
sources=(
  "$here/nevo_json_fuzz.cpp"
  "$root/src/nevo_utils/nevo_json_file.cpp"
  "$root/src/nevo_utils/nevo_json_report.cpp"
  "$root/src/nevo_utils/nevo_log.cpp"
  "$root/kiln/runtime/context/print.cpp"
  "$root"/hostsim/platform/*.cpp
)

echo "building $work/nevo_json_fuzz"
"$cxx" -std=c++17 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -Wno-format-zero-length \
  -I"$root/include" -I"$root/src" -I"$root" -I"$root/hostsim/platform/include" \
  "${sources[@]}" -o "$work/nevo_json_fuzz" -pthread

rm -rf "$work/corpus"
cp -r "$here/corpus" "$work/corpus"

echo "fuzzing for $seconds s"
status=0
(cd "$work" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  ./nevo_json_fuzz -max_total_time="$seconds" -print_final_stats=1 -timeout=30 -rss_limit_mb=2048 \
  -dict="$here/nevo_json.dict" -artifact_prefix="$work/" corpus) >"$work/fuzz.log" 2>&1 || status=$?

executions="$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/fuzz.log" | grep -oE '[0-9]+$' || true)"
if [[ $status -ne 0 ]] ||
   grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|SUMMARY: ' "$work/fuzz.log"; then
  tail -n 60 "$work/fuzz.log" >&2
  echo "FAILED (exit $status); log, binary and crash inputs kept in $work" >&2
  exit 1
fi
keep_work=0
progress="$(grep -E '^#[0-9]+' "$work/fuzz.log" | tail -n 1 || true)"
echo "last progress: ${progress:-none}"
echo "executions: ${executions:-unknown} in $seconds s; no crash, leak or sanitizer report"
