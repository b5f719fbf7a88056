#!/usr/bin/env bash
# Quillora's one entry point for building.
#   ./build.sh run     install what is missing, build, start Quillora
#   ./build.sh test    install what is missing, build, run every test
# CI also uses: sanitize (address + undefined), tsan (thread), unsigned-char, fuzz.
set -euo pipefail
cd "$(dirname "$0")"

# Debian packages the build, the tests and the benchmarks need.
PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libchm-dev fp-utils
  libicu-dev libuchardet-dev python3 python3-chardet perl locales manpages-ja debian-reference-ja
  xvfb xauth fonts-noto-cjk
  xdotool xdg-utils
)

install_missing() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

JOBS=$(nproc)

configure_build() {  # dir, cmake options...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

run_ctest() {  # dir, ctest options...
  local dir=$1
  shift
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j "$JOBS" "$@"
}

cmd=${1:-}
case "$cmd" in
  run)
    install_missing
    configure_build build
    exe=build/bin/quillora
    if [ ! -x "$exe" ]; then
      echo "Quillora's window is not built yet; nothing to start." >&2
      exit 1
    fi
    exec "$exe"
    ;;
  test)
    install_missing
    configure_build build
    run_ctest build
    ;;
  sanitize)
    install_missing
    configure_build build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLORA_SANITIZE=ON \
      -DQUILLORA_GUI=OFF -DQUILLORA_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
      run_ctest build-asan
    ;;
  tsan)
    install_missing
    configure_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLORA_TSAN=ON \
      -DQUILLORA_GUI=OFF -DQUILLORA_BENCH=OFF
    TSAN_OPTIONS=halt_on_error=1:allocator_may_return_null=1 run_ctest build-tsan -L thread
    ;;
  unsigned-char)
    install_missing
    configure_build build-uchar -DQUILLORA_UNSIGNED_CHAR=ON -DQUILLORA_GUI=OFF \
      -DQUILLORA_BENCH=OFF
    run_ctest build-uchar -L codec
    ;;
  fuzz)
    install_missing
    seconds=${2:-60}
    # The component carries the fuzzer's coverage instrumentation too (fuzzer-no-link), or
    # libFuzzer would steer blind; only the fuzz targets and what they link are built.
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUILLORA_FUZZ=ON \
      -DQUILLORA_SANITIZE=ON -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link \
      -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DQUILLORA_GUI=OFF -DQUILLORA_BENCH=OFF \
      -DBUILD_TESTING=OFF >/dev/null
    cmake --build build-fuzz -j "$JOBS" --target fuzzers
    mkdir -p build-fuzz/artifacts
    for f in build-fuzz/bin/fuzz_*; do
      [ -x "$f" ] || continue
      name=$(basename "$f")
      mkdir -p build-fuzz/corpus/"$name"
      seeds=()
      [ -d fuzz/seeds/"$name" ] && seeds=(fuzz/seeds/"$name")
      # New inputs go to the first folder; the committed seeds are only read. The fuzzer's
      # progress lines go to a log; its summary, or the crash it found, is shown.
      log=build-fuzz/"$name".log
      if ! "$f" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/artifacts/"$name"- build-fuzz/corpus/"$name" "${seeds[@]}" \
        >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "$name failed; its input is in build-fuzz/artifacts/" >&2
        exit 1
      fi
      grep -E '^(Done|stat::)' "$log"
    done
    ;;
  *)
    echo "usage: ./build.sh run|test|sanitize|tsan|unsigned-char|fuzz [seconds]" >&2
    exit 2
    ;;
esac
