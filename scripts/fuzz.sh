#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer into fuzz-build/ and runs each for N seconds.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=fuzz-build

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELLMOR_FUZZ=ON -DPELLMOR_GUI=OFF -DPELLMOR_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" >/dev/null

targets=()
for src in fuzz/*_fuzz.cpp; do
  [ -e "$src" ] || continue
  targets+=("$(basename "$src" .cpp)")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets"; exit 0; }
cmake --build "$build" --target "${targets[@]}"

# Seeds: the committed fixtures a target reads, where there are any.
seeds_for() {
  case "$1" in
    sheet_reader_fuzz) echo tests/fixtures/sheets ;;
    language_file_fuzz) echo lang ;;
    mpeg_scan_fuzz) echo fuzz/seeds/mpeg_scan ;;
    cdi_subtitles_fuzz) echo tests/fixtures/cdi_subtitles.stream ;;
    task_project_fuzz) echo fuzz/seeds/task_project ;;
    worker_fuzz) echo fuzz/seeds/worker ;;
    image_probe_fuzz) echo fuzz/seeds/image_probe ;;
  esac
}

status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus" "$build/artifacts/$t"
  seeds=$(seeds_for "$t")
  if [ -n "$seeds" ] && [ -d "$seeds" ]; then
    find "$seeds" -maxdepth 1 -type f -size -64k -exec cp -n {} "$corpus"/ \;
  elif [ -n "$seeds" ] && [ -f "$seeds" ]; then
    cp -n "$seeds" "$corpus"/
  fi
  echo "== $t: ${seconds}s"
  if ! UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      "$build/fuzz/$t" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t/" "$corpus"; then
    echo "== $t FAILED (see $build/artifacts/$t/)"
    status=1
  fi
done
exit $status
