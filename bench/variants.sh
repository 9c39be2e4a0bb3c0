#!/usr/bin/env bash
# Where the installed program's start-up time beyond the floor goes. Times the program (A), the
# floor (F) and the floor with one of the program's costs added back at a time
# (bench/floor_plus.c): its Win32 checks, its size, its C++ runtime, and runtime plus checks.
# Run on demand (it is not a test): bench/variants.sh, optionally with ROUNDS=<n> (default 40)
# and QUIET_WAIT=<seconds>. Figures go to build/bench/variants.md and stdout.
#
# Every run has the stand-in editor report on its parent, so every figure includes the same
# report-writing cost; the main figure is the time from the launcher's creation to the
# editor's, which leaves out the shell's fork and exec and both exits.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

rounds=${ROUNDS:-40}
if ! [[ $rounds${QUIET_WAIT:-0} =~ ^[0-9]+$ ]] || ((rounds < 10)); then
  echo "variants.sh: ROUNDS must be a number >= 10" >&2
  exit 2
fi

. bench/common.sh
dir=$bench_root/variants
prefix=$dir/prefix
results=$bench_root/variants.md
mkdir -p "$dir"

# --- Build -------------------------------------------------------------------------------------
build_program
say "building the variants"
build_c bench/floor.c "$dir/floor.exe" -mwindows
build_c bench/floor_plus.c "$dir/checks.exe" -mwindows -DZN_PLUS_CHECKS
build_c bench/floor_plus.c "$dir/sizes_first.exe" -mwindows -DZN_PLUS_CHECKS -DZN_PLUS_SIZES_FIRST
pad_kb=$((($(stat -c %s "$program") - $(stat -c %s "$dir/floor.exe")) / 1024))
build_c bench/floor_plus.c "$dir/size.exe" -mwindows -DZN_PLUS_PAD_KB=$pad_kb
build_cxx() { "$bench_cxx" -std=c++20 -x c++ "${bench_cflags[@]}" bench/floor_plus.c -mwindows "$@" "${bench_ldflags[@]}"; }
build_cxx -DZN_PLUS_CXX -o "$dir/cxx.exe"
build_cxx -DZN_PLUS_CXX -DZN_PLUS_CHECKS -o "$dir/cxx_checks.exe"

names=(A F F+checks F+lean-checks F+size F+cxx F+cxx+checks)
declare -A built=([A]=$program [F]=$dir/floor.exe [F+checks]=$dir/checks.exe
                  [F+lean-checks]=$dir/sizes_first.exe [F+size]=$dir/size.exe
                  [F+cxx]=$dir/cxx.exe [F+cxx+checks]=$dir/cxx_checks.exe)
# Installed in the Windows folder like the program; A must be notepad.exe there to launch.
declare -A exe_of=([A]='C:\windows\notepad.exe' [F]='C:\windows\floor.exe'
                   [F+checks]='C:\windows\plus_checks.exe' [F+lean-checks]='C:\windows\plus_sizes_first.exe'
                   [F+size]='C:\windows\plus_size.exe'
                   [F+cxx]='C:\windows\plus_cxx.exe' [F+cxx+checks]='C:\windows\plus_cxx_checks.exe')
declare -A what=([A]="ZanvekNotepad.exe"
                 [F]="bench/floor.c"
                 [F+checks]="floor + the program's Win32 checks and two-call registry read"
                 [F+lean-checks]="F+checks comparing sizes first: identity only for equal sizes"
                 [F+size]="floor + ${pad_kb} KB of read-only data (the program's file size)"
                 [F+cxx]="floor as C++ with exceptions and std::wstring (static libstdc++, winpthreads)"
                 [F+cxx+checks]="both of the above")

# --- Prefix ------------------------------------------------------------------------------------
cleanup() { zn_stop_server "$prefix"; }
trap cleanup EXIT
say "making the prefix"
make_bench_prefix "$prefix"
for name in "${names[@]}"; do
  target=${exe_of[$name]}
  cp "${built[$name]}" "$prefix/drive_c/windows/${target##*\\}"
done
for name in "${names[@]}"; do check_reaches_editor "${exe_of[$name]}"; done

# --- Rounds ------------------------------------------------------------------------------------
reports=$dir/reports
rm -rf "$reports"
mkdir -p "$reports"
run_reported() {  # run_reported <name> <round>
  local file=$reports/$1-$2.txt
  export ZN_BENCH_PARENT_REPORT
  ZN_BENCH_PARENT_REPORT=$(windows_path "$file")
  run_once "${exe_of[$1]}"
  unset ZN_BENCH_PARENT_REPORT
  expect_editor "$1 (${exe_of[$1]})"
  [[ -s $file ]] || { say "no parent report from $1"; exit 1; }
  printf '%s\n' "$elapsed_us" >"$file.wall"
  ((busy_pct <= disturbed_pct)) || round_disturbed=1
  sleep "$pause"
}
say "warming up"
for name in "${names[@]}"; do run_reported "$name" 0; done
# A round disturbed by other work (the CPU more than disturbed_pct busy during one of its runs)
# is done again once the machine is quiet; at most 3 x ROUNDS rounds in all.
wait_until_quiet "rounds"
say "timing $rounds rounds of ${#names[@]} variants"
disturbed=0
attempts=0
for ((i = 1; i <= rounds && attempts < 3 * rounds; ++attempts)); do
  round_disturbed=0
  # Each round starts one variant further on, so that no variant always follows the same one.
  for ((k = 0; k < ${#names[@]}; ++k)); do
    run_reported "${names[(i + k) % ${#names[@]}]}" "$i"
  done
  if ((round_disturbed && attempts + 1 < 3 * rounds)); then
    disturbed=$((disturbed + 1))
    calm_down
    continue
  fi
  if ((i % 10 == 0)); then say "  $i/$rounds"; fi
  i=$((i + 1))
done
rounds=$((i - 1))
quiet_notes+=("after the rounds: load average $(cut -d' ' -f1-3 /proc/loadavg)")

# --- Report ------------------------------------------------------------------------------------
declare -A spawn wall peak
for name in "${names[@]}"; do
  s=() w=() p=()
  for ((i = 1; i <= rounds; ++i)); do
    s+=("$(field_of spawn_us "$reports/$name-$i.txt")")
    p+=("$(field_of peak_working_set "$reports/$name-$i.txt")")
    w+=("$(cat "$reports/$name-$i.txt.wall")")
  done
  spawn[$name]=$(median_of "${s[@]}")
  wall[$name]=$(median_of "${w[@]}")
  peak[$name]=$(median_of "${p[@]}")
done
ms() { awk -v u="$1" 'BEGIN { printf "%.2f", u / 1000 }'; }
delta() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.2f", (a - b) / 1000 }'; }
{
  echo "# Launcher variants: where the program's time beyond the floor goes"
  echo
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $(git rev-parse --short HEAD)"
  echo "- Machine: $(machine_line)"
  echo "- Wine: $(wine_line)"
  echo "- Rounds: $rounds, every variant once per round in rotating order, ${pause}s pause between runs; medians"
  for note in "${quiet_notes[@]}"; do echo "- Machine load, $note"; done
  echo "- Rounds done again because other work disturbed them (CPU more than ${disturbed_pct}% busy during a run): $disturbed"
  echo
  echo "| variant | what | bytes | start to editor (ms) | vs F | wall (ms) | vs F | peak working set (MiB) |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|"
  for name in "${names[@]}"; do
    echo "| $name | ${what[$name]} | $(stat -c %s "${built[$name]}") | $(ms "${spawn[$name]}") |" \
      "$(delta "${spawn[$name]}" "${spawn[F]}") | $(ms "${wall[$name]}") | $(delta "${wall[$name]}" "${wall[F]}") |" \
      "$(awk -v b="${peak[$name]}" 'BEGIN { printf "%.2f", b / 1048576 }') |"
  done
  echo
  echo "Start to editor: the editor's creation time minus its parent's (GetProcessTimes), i.e. what the"
  echo "launcher does before CreateProcessW. Wall: the whole run from the shell, with the editor's report."
  echo "Raw figures: build/bench/variants/reports/."
} >"$results"
cat "$results"
