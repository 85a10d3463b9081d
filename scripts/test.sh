#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
MIRT_WERROR=${MIRT_WERROR:-ON}
scripts/build.sh -DMIRT_WERROR="$MIRT_WERROR" "$@"
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"${JOBS:-2}"
