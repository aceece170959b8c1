#!/usr/bin/env bash
# Installs selvane2x into a temporary prefix, then builds the demo host
# (examples/demo_host.c) outside this tree twice, once through
# find_package(selvane2x) and once through pkg-config, and runs both
# against the installed library.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

source_dir=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
work=$(cd "$work" && pwd -P)
prefix=$work/prefix

fail() {
  echo "install check: $*" >&2
  exit 1
}

# Built as a host's build would take it: without tests and benchmarks, so
# neither GoogleTest nor Google Benchmark may be looked for.
cmake -S . -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSELVANE_WERROR=ON \
  -DSELVANE2X_BUILD_TESTS=OFF -DSELVANE2X_BUILD_BENCH=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
cmake --build "$work/build" -j "$(nproc)"
cmake --install "$work/build" --prefix "$prefix"

# The library under its versioned names, the header, both package files,
# Tarnwick.
for file in lib/libselvane2x.so.1.0.0 include/selvane2x.h lib/pkgconfig/selvane2x.pc \
            lib/cmake/selvane2x/selvane2xConfig.cmake \
            lib/cmake/selvane2x/selvane2xConfigVersion.cmake; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/tarnwick" ] || fail "Tarnwick is not installed"
[ "$(readlink "$prefix/lib/libselvane2x.so")" = libselvane2x.so.1 ] || fail "no development link"
[ "$(readlink "$prefix/lib/libselvane2x.so.1")" = libselvane2x.so.1.0.0 ] || fail "no soname link"
soname=$(readelf -d "$prefix/lib/libselvane2x.so.1.0.0" | sed -n 's/.*Library soname: \[\(.*\)\].*/\1/p')
[ "$soname" = libselvane2x.so.1 ] || fail "soname is '$soname'"

host=$work/host
mkdir -p "$host"
cp examples/demo_host.c "$host/"

# A host built with CMake.
cat > "$host/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(demo_host C)
find_package(selvane2x 1.0 REQUIRED)
add_executable(demo_host demo_host.c)
set_target_properties(demo_host PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON)
target_compile_options(demo_host PRIVATE -Wall -Wextra -Werror)
target_link_libraries(demo_host PRIVATE selvane2x::selvane2x)
CMAKE
cmake -S "$host" -B "$host/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix"
cmake --build "$host/cmake"
"$host/cmake/demo_host" > "$host/cmake.out" || fail "the find_package host failed"

# A host built with the compiler and pkg-config alone.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046
"${CC:-cc}" -std=c11 -Wall -Wextra -Werror $(pkg-config --cflags selvane2x) \
  "$host/demo_host.c" $(pkg-config --libs selvane2x) -o "$host/demo_host_pc"
libdir=$(cd "$(pkg-config --variable=libdir selvane2x)" && pwd -P)
LD_LIBRARY_PATH=$libdir "$host/demo_host_pc" > "$host/pc.out" || fail "the pkg-config host failed"

# Both ran the installed library, to the end, with the same result.
# The library names itself by the file the system mapped: the version's file
# behind the links.
expected="  log: SetCryptDebugCallBackProc to : $(readlink -f "$prefix/lib/libselvane2x.so.1")"
[ "$(head -n 1 "$host/cmake.out")" = "$expected" ] || fail "the host did not use the installed library"
[ "$(tail -n 1 "$host/cmake.out")" = closed ] || fail "the host did not finish"
cmp -s "$host/cmake.out" "$host/pc.out" || fail "the two hosts differ"
cat "$host/cmake.out"
echo "install check: passed"
