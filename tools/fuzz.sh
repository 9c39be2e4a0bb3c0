#!/usr/bin/env bash
# A longer fuzzing run than the test step's 20 seconds per target:
#   tools/fuzz.sh [SECONDS [TARGET...]]
# builds the fuzz preset, then runs each named target (default: every one, one after another)
# for SECONDS (default 600). Targets are named as the folders under tests/fuzz/corpus/.
#
# Each run starts from the committed seeds plus what earlier runs and tests kept in
# build/fuzz/tests/fuzz/corpus/<target>/, and adds what it finds there; the seeds are not
# changed. An input that breaks a property or crashes is saved under
# build/fuzz/tests/fuzz/artifacts/<target>/ and stops the run; run the target with that file as
# its only argument to see it again. Once the fault is fixed, add the file to the seeds.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-600}
if [[ ! $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: tools/fuzz.sh [SECONDS [TARGET...]]" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))

bin=build/fuzz/tests/fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then
  for seeds in tests/fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi

tools/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
for target in "${targets[@]}"; do
  if [[ ! -x $bin/fuzz_$target ]]; then
    echo "fuzz: no target named $target (see tests/fuzz/corpus/)" >&2
    exit 2
  fi
done

for target in "${targets[@]}"; do
  printf '\n== %s, %s seconds ==\n' "$target" "$seconds"
  mkdir -p "$bin/corpus/$target" "$bin/artifacts/$target"
  "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$bin/artifacts/$target/" "$bin/corpus/$target" "tests/fuzz/corpus/$target"
done
