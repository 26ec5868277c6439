#!/usr/bin/env bash
# Installs what Parlix needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev -DPARLIX_BUILD_TESTS=OFF -DPARLIX_BUILD_BENCH=OFF >/dev/null
cmake --build --preset dev --target parlix
exec build/dev/app/parlix "$@"
