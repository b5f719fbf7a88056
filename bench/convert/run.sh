#!/usr/bin/env bash
# Builds the conversion benchmark in build-bench/, writes the sample text there and runs it.
# Arguments go to bench_convert (--reps N, --no-python). BUILD_TYPE picks the CMake build type;
# the default is the one the program ships with.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=build-bench
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  -DQUILLORA_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$dir" --target bench_convert
/usr/bin/python3 bench/convert/make_sample.py "$dir"/bench/convert/sample
exec "$dir"/bin/bench_convert "$dir"/bench/convert/sample "$@"
