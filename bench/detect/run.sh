#!/usr/bin/env bash
# Builds the detection benchmark in build-bench/, cuts the samples from the held-out part of
# the corpus there and runs it. COUNT samples per bucket and code (default 1000), SEED for the
# draw (default 1), PART to measure another part (dev, while choosing constants). Arguments go
# to bench_detect (--ours-only, --no-chardet, --no-speed).
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=build-bench
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  -DQUILLORA_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$dir" --target bench_detect
samples="$dir/bench/detect/samples-${PART:-heldout}-${COUNT:-1000}-${SEED:-1}.bin"
[ -f "$samples" ] || /usr/bin/python3 bench/detect/make_samples.py "$samples" \
  --part "${PART:-heldout}" --count "${COUNT:-1000}" --seed "${SEED:-1}"
exec "$dir"/bin/bench_detect "$samples" "$@"
