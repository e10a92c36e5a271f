#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for
# the given seconds (default 60), two at a time, starting from the seed
# corpus in fuzz/corpus/. A crash, a violated property, a stack overflow or an
# input taking over a second stops its target and fails the run.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/install-deps.sh
for p in clang libclang-rt-14-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get install -y -qq --no-install-recommends "$p"
  fi
done
cmake -S . -B build-fuzz -G Ninja -DTESORIN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz --parallel --target fuzz_ini fuzz_amount fuzz_filter
export ASAN_OPTIONS="detect_leaks=0"
status=0
run() {
  local name=$1
  mkdir -p "build-fuzz/corpus/$name"
  if ! build-fuzz/fuzz/$name "build-fuzz/corpus/$name" "fuzz/corpus/$name" \
      -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=1100000 \
      -artifact_prefix="build-fuzz/$name-" > "build-fuzz/$name.log" 2>&1; then
    echo "$name: FALLÓ (ver build-fuzz/$name.log)"; return 1
  fi
  echo "$name: $(grep -E '^Done|#[0-9]+.*DONE' "build-fuzz/$name.log" | tail -1)"
}
run fuzz_ini & a=$!
run fuzz_amount & b=$!
wait $a || status=1
wait $b || status=1
run fuzz_filter || status=1
exit $status
