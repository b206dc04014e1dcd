#!/usr/bin/env bash
# Builds everything if needed and runs every test: the unit and GPU tests, the update check over
# HTTPS on loopback, the presence client, server and bots on loopback, the client end to end and
# played under Xvfb, the same again built with AddressSanitizer and UndefinedBehaviorSanitizer, each
# fuzz target for a short, bounded time, the Windows build's tests under Wine, and what a release
# ships, unpacked.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
fuzz_seconds=${VZ_FUZZ_SECONDS:-15}

# Every option a run depends on is set here, whatever an earlier command (play, say) left in a
# build folder's cache, and ctest fails when it finds no tests rather than passing on nothing.
echo "== build"
# A client whose maker host is a test HTTPS server on loopback, for the end-to-end test of "Update";
# the certificate it trusts is made by that test.
update_build="$root/build/update-e2e"
bash "$here/build.sh" "$update_build" -DVZ_TESTS=OFF -DVZ_BENCHMARKS=OFF -DVZ_SANITIZE=OFF \
  -DVZ_MAKER_HOST=127.0.0.1:29443 -DVZ_MAKER_CA_FILE="$update_build/test-ca.pem"
bash "$here/build.sh" "$root/build/release" -DVZ_TESTS=ON -DVZ_BENCHMARKS=ON -DVZ_SANITIZE=OFF \
  -DVZ_UPDATE_TEST_BUILD="$update_build"
echo "== tests"
(cd "$root/build/release" && ctest --no-tests=error --output-on-failure)

echo "== sanitizer build and tests"
bash "$here/build.sh" "$root/build/sanitize" -DVZ_SANITIZE=ON -DVZ_TESTS=ON -DVZ_BENCHMARKS=OFF
# GPU objects are never released by design, and Dawn and Mesa keep their own allocations to the end.
# The end-to-end test preloads a small probe ahead of the sanitizer runtime; that order is harmless here.
# Fresh allocations are filled with 190 throughout, so memory read before it is written shows.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:verify_asan_link_order=0:max_malloc_fill_size=1000000:malloc_fill_byte=190
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$root/build/sanitize" && ctest --no-tests=error --output-on-failure)

echo "== fuzzing, ${fuzz_seconds}s per target"
bash "$here/build.sh" "$root/build/fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVZ_FUZZ=ON \
  -DVZ_TESTS=OFF -DVZ_BENCHMARKS=OFF
bash "$root/tests/fuzz/run_fuzzers.sh" "$root/build/fuzz" "$fuzz_seconds"
echo "== Windows: cross build, tests under Wine"
bash "$here/test_windows.sh"
echo "== release artefacts, unpacked where a user unpacks them"
bash "$root/tests/release_test.sh" "$root/build/release" "$root/build/windows/vornhalzanthery-windows.zip"
echo "== all tests passed"
