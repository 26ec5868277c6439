#!/usr/bin/env bash
# Installs what the tests need, builds, starts a private desktop (Xvfb + tray host +
# PulseAudio microphone) and runs every test.
#   scripts/test.sh              the normal build (warnings are errors)
#   scripts/test.sh --sanitize   the same suite built with AddressSanitizer + UBSan
set -euo pipefail
cd "$(dirname "$0")/.."

preset=ci
[[ "${1:-}" == "--sanitize" ]] && preset=asan

scripts/install-deps.sh --with-tests
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

session=$(pwd)/build/$preset-session
trap 'tests/tools/test-session.sh stop "$session"' EXIT
eval "$(tests/tools/test-session.sh start "$session" "${PARLIX_TEST_DISPLAY:-:91}")"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(pwd)/tests/tools/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset "$preset" --timeout 300 -j "${PARLIX_TEST_JOBS:-2}"
