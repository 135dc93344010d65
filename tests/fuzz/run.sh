#!/usr/bin/env bash
# Builds the readers' fuzz targets with clang and runs each for a fixed time
# on a corpus seeded from the test fixtures, the examples and the data files.
# A finding (crash, sanitizer report, leak, time-out) fails the run and is
# kept under BUILD/fuzz-artifacts.
#   tests/fuzz/run.sh [BUILD [SECONDS]]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$source_dir/build-fuzz}
seconds=${2:-20}

cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELDANA_BUILD_FUZZ=ON -DKELDANA_BUILD_TESTS=OFF
cmake --build "$build" --target fuzz_targets -j "$(nproc)"

fixtures=$source_dir/tests/fixtures
corpus=$build/fuzz-corpus
rm -rf "$corpus"
seed() {  # seed TARGET FILE...
  mkdir -p "$corpus/$1"
  cp "${@:2}" "$corpus/$1/"
}
# Several files of one reader go in as one input, separated by NUL bytes.
seed_joined() {  # seed_joined TARGET NAME FILE...
  mkdir -p "$corpus/$1"
  local out=$corpus/$1/$2 first=1 file
  : > "$out"
  for file in "${@:3}"; do
    [ $first -eq 1 ] || printf '\0' >> "$out"
    cat "$file" >> "$out"
    first=0
  done
}
kdn_files=("$fixtures"/kdn/*.kdn "$fixtures"/loader/*.kdn "$fixtures"/loader/hostile/*.kdn
           "$source_dir"/examples/*/*.kdn)
seed fuzz_kdn "${kdn_files[@]}"
seed fuzz_loader "$fixtures"/kdn/*.kdn "$fixtures"/loader/hostile/*.kdn "$source_dir"/examples/free_atoms/*.kdn
seed_joined fuzz_xd ch2o "$fixtures/xd/ch2o.inp" "$fixtures/xd/ch2o.mas" "$fixtures/xd/atoms.szt"
seed_joined fuzz_xd ch2o_rdsd "$fixtures/xd/ch2o.inp" "$fixtures/xd/ch2o_rdsd.mas"
seed_joined fuzz_molly ch2o "$fixtures/molly/ch2o.par" "$fixtures/molly/ch2o.tab"
seed fuzz_element_table "$source_dir/data/atoms.axp"
seed fuzz_bank "$fixtures"/loader/*.bnk "$source_dir/data/wavefCR.bnk"
seed fuzz_covariance "$fixtures"/covariance/*.dat "$fixtures"/covariance/*.cov
seed fuzz_blentrix "$fixtures"/covariance/*.mat

artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
status=0
for target in "$corpus"/*; do
  name=$(basename "$target")
  echo "== $name: $seconds s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/bin/$name" -max_total_time="$seconds" -seed=1 -max_len=262144 -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "$target" > "$artifacts/$name.log" 2>&1; then
    echo "$name: finding, see $artifacts/$name.log"
    tail -40 "$artifacts/$name.log"
    status=1
  fi
  grep -E "^stat::number_of_executed_units" "$artifacts/$name.log" || true
done
exit $status
