#!/usr/bin/env bash
# Nevo build and run entry point.
#   ./nevo.sh capture    install missing packages, build, run a simulated capture
#                        (nevo-capture with its defaults; extra arguments go to it)
#   ./nevo.sh test       install missing packages, build, run the whole test suite
#   ./nevo.sh sanitize   the suite built with AddressSanitizer + UndefinedBehaviorSanitizer
#   ./nevo.sh tsan       the threaded tests (kiln, wrapper, engine) with ThreadSanitizer
#   ./nevo.sh aarch64    cross build for AArch64, suite run under qemu-user
#   ./nevo.sh fuzz [s]   the JSON loader fuzz target for s seconds (default 60)
#   ./nevo.sh bench      build and run the benchmarks (ours beside OpenCV)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
JOBS="${NEVO_JOBS:-$(nproc)}"

PACKAGES=(cmake make g++ binutils pkg-config
  nlohmann-json3-dev libsimde-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libopencv-dev crossbuild-essential-arm64 qemu-user clang libclang-rt-14-dev)

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local cmd="apt-get install -y --no-install-recommends ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    echo "== installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $cmd
  else
    echo "Missing packages. Run as root:" >&2
    echo "  sudo apt-get update && sudo $cmd" >&2
    exit 1
  fi
}

# configure_build <dir> [cmake args...]
configure_build() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

# Sanitizer builds: -O1 (the sanitizers' advice) and line tables only, which
# halves their build time and keeps file:line in every report.
SANITIZER_FLAGS=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1")

run_ctest() {
  local dir="$1"; shift
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" "$@")
}

cmd="${1:-test}"
shift || true
case "$cmd" in
  capture)
    ensure_packages
    configure_build "$ROOT/build/host"
    "$ROOT/build/host/out/nevo-capture" "$@"
    ;;
  test)
    ensure_packages
    configure_build "$ROOT/build/host"
    run_ctest "$ROOT/build/host" "$@"
    ;;
  sanitize)
    ensure_packages
    configure_build "$ROOT/build/asan" "${SANITIZER_FLAGS[@]}" -DNEVO_SANITIZE=address,undefined
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      run_ctest "$ROOT/build/asan" "$@"
    ;;
  tsan)
    ensure_packages
    # The threaded parts: kiln's runtime and operators, the capture
    # lifecycle of the wrapper base and the engine.
    labels='kiln|nevo_algo_wrapper|nevo_engine'
    cmake -S "$ROOT" -B "$ROOT/build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${SANITIZER_FLAGS[@]}" -DNEVO_SANITIZE=thread >/dev/null
    targets=$(cd "$ROOT/build/tsan" && ctest -N -L "$labels" | sed -n 's/^ *Test *#[0-9]*: *//p')
    cmake --build "$ROOT/build/tsan" -j "$JOBS" --target $targets
    TSAN_OPTIONS=halt_on_error=1 run_ctest "$ROOT/build/tsan" -L "$labels" "$@"
    ;;
  fuzz)
    ensure_packages
    "$ROOT/tests/fuzz/run_fuzz.sh" "${1:-60}"
    ;;
  aarch64)
    ensure_packages
    configure_build "$ROOT/build/aarch64" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/aarch64-linux-gnu.cmake"
    run_ctest "$ROOT/build/aarch64" "$@"
    ;;
  bench)
    ensure_packages
    configure_build "$ROOT/build/bench" -DCMAKE_BUILD_TYPE=Release -DNEVO_BUILD_BENCH=ON -DNEVO_BUILD_TESTS=OFF
    for b in "$ROOT"/build/bench/out/*_bench; do [ -x "$b" ] && "$b" "$@"; done
    ;;
  *)
    echo "usage: $0 {capture|test|sanitize|tsan|aarch64|fuzz|bench}" >&2
    exit 2
    ;;
esac
