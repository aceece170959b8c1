#!/usr/bin/env bash
# Installs what the build needs when it is missing, then configures, builds
# and runs every test.
#   scripts/test.sh                      plain build in build/
#   scripts/test.sh --sanitize LIST      e.g. address,undefined (in build-LIST/)
#   scripts/test.sh --sanitize thread --filter REGEX   only tests matching REGEX
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=""
filter=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) sanitize="$2"; shift 2 ;;
    --filter) filter="$2"; shift 2 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done

bash scripts/install-deps.sh

build_dir=build
[ -n "$sanitize" ] && build_dir="build-${sanitize//,/-}"

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSELVANE_WERROR=ON -DSELVANE_SANITIZE="$sanitize"
cmake --build "$build_dir" -j "$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}
args=(--test-dir "$build_dir" --output-on-failure -j "$(nproc)")
[ -n "$filter" ] && args+=(-R "$filter")
ctest "${args[@]}"
