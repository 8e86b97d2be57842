#!/bin/sh
# Installs what the tests need when it is missing (as setup.sh does for the programs), then builds
# and runs every test: the normal build, its Debian package checked by lintian, the core
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and the database reader's fuzzer
# for FUZZ_SECONDS (default 60).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

echo "== Packages the tests need"
"$here/scripts/install-deps.sh" --if-missing

echo "== Build and test"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORIX_GUI=ON -DVELMORIX_TESTS=ON
cmake --build "$here/build" -j "$jobs"
ctest --test-dir "$here/build" --output-on-failure -j "$jobs"

echo "== Debian package, checked by lintian"
rm -rf "$here/build/package"
cpack --config "$here/build/CPackConfig.cmake" -G DEB -B "$here/build/package"
lintian --fail-on error,warning "$here/build/package/"velmorix_*.deb

echo "== Core tests under ASan+UBSan"
cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVELMORIX_GUI=OFF -DVELMORIX_SANITIZE=ON
cmake --build "$here/build-asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$here/build-asan" --output-on-failure -j "$jobs"

echo "== Fuzzing"
"$here/fuzz/run.sh" "$here/build-fuzz" "${FUZZ_SECONDS:-60}"
