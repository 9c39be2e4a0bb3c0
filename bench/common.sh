# Shared by the benchmark scripts (source it from the worktree's top folder): building the
# benchmark's programs like the program itself, a prefix with the stand-in editor registered,
# timing one run, waiting for a quiet machine, and small statistics.

. tests/wine/wine-env.sh

bench_root=$PWD/build/bench
bench_bin=$bench_root/bin
wine=/usr/lib/wine/wine64  # the /usr/bin/wine wrapper costs about 1 ms per start
[[ -x $wine ]] || wine=$(command -v wine)
quiet_wait=${QUIET_WAIT:-900}
pause=0.05  # between two timed runs: the wineserver's clean-up of one stays out of the next
editor='C:\bench\instant_editor.exe'
document='C:\bench\document.txt'
mkdir -p "$bench_bin"

say() { printf '%s\n' "$*" >&2; }

# The program, from the windows preset, into $program; then the program's own compiler and
# flags, as src/CMakeLists.txt writes them into the build folder, into bench_cxx, bench_cc (the
# same GCC's C front end, for the C programs), bench_cflags and bench_ldflags.
build_program() {
  say "building ZanvekNotepad.exe (preset windows)"
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target ZanvekNotepad >/dev/null
  program=$PWD/build/windows/src/ZanvekNotepad.exe
  . build/windows/program-flags.sh
  bench_cxx=$zn_program_cxx
  bench_cc=${zn_program_cxx%g++*}gcc${zn_program_cxx##*g++}
  bench_cflags=("${zn_program_compile_flags[@]}")
  bench_ldflags=("${zn_program_link_flags[@]}")
}

# build_c <source> <output> [-mwindows|-mconsole] [more flags...]
build_c() {
  local source=$1 output=$2
  shift 2
  "$bench_cc" "${bench_cflags[@]}" "$source" "$@" "${bench_ldflags[@]}" -o "$output"
}

# The Windows folder as the system reports it in the benchmark's prefixes. With
# RENAMED_WINDOWS_FOLDER=1 the folder is named "Windows" on disk (as on Windows, where the
# system may report C:\WINDOWS), so the launcher has to look its spelling up; see README.md.
windows='C:\windows'
renamed_windows_folder=${RENAMED_WINDOWS_FOLDER:-0}

# A fresh prefix copied from the template, with a persistent server of its own, the stand-in
# editor registered in the program's setting and the document in place. Sets WINEPREFIX.
make_bench_prefix() {
  local prefix=$1
  zn_ensure_template "$bench_root/template"
  zn_stop_server "$prefix"  # a server left by an interrupted run
  zn_copy_prefix "$bench_root/template" "$prefix"
  if ((renamed_windows_folder)); then
    mv "$prefix/drive_c/windows" "$prefix/drive_c/Windows"
    ln -s Windows "$prefix/drive_c/windows"
  fi
  mkdir -p "$prefix/drive_c/bench"
  build_c bench/instant_editor.c "$bench_bin/instant_editor.exe" -mwindows
  cp "$bench_bin/instant_editor.exe" "$prefix/drive_c/bench/"
  printf 'ZanvekNotepad launch benchmark\r\n' >"$prefix/drive_c/bench/document.txt"
  export WINEPREFIX=$prefix
  zn_start_server "$prefix"
  "$wine" reg add 'HKCU\Software\Kestrane\ZanvekNOTEPAD' /ve /d "$editor" /f </dev/null >/dev/null 2>&1
}

# run_once <exe> [argument...]: runs it with these arguments and then the document; sets $rc,
# $elapsed_us and $busy_pct.
# Only Wine's loader and the program run between the two clock readings (EPOCHREALTIME is a
# shell variable: no process is started to read the clock, and read is a builtin).
# busy_pct: the share of both cores busy meanwhile. A run alone keeps one core busy and a bit
# of the other (35-65 % here); far more means other work ran at the same time.
run_once() {
  local t0 t1 before after total=0 idle i
  rc=0
  read -r -a before </proc/stat
  t0=${EPOCHREALTIME//[!0-9]/}
  "$wine" "$@" "$document" </dev/null >/dev/null 2>&1 || rc=$?
  t1=${EPOCHREALTIME//[!0-9]/}
  read -r -a after </proc/stat
  elapsed_us=$((t1 - t0))
  for ((i = 1; i < ${#after[@]}; ++i)); do total=$((total + after[i] - before[i])); done
  idle=$((after[4] - before[4] + after[5] - before[5]))
  busy_pct=$((total > 0 ? 100 * (total - idle) / total : 0))
}
# Above this share of the CPU, a run is counted as disturbed by other work.
disturbed_pct=75

# Every run must reach the stand-in editor, whose exit code is 42: anything else (a window, an
# error report) would make the timings meaningless. expect_editor <what ran>
expect_editor() {
  if ((rc != 42)); then
    say "$1 ended with $rc instead of the stand-in editor's 42"
    exit 1
  fi
}

# check_reaches_editor <exe> [argument...]: one run with a time limit, before any timing.
check_reaches_editor() {
  rc=0
  timeout 60 "$wine" "$@" "$document" </dev/null >/dev/null 2>&1 || rc=$?
  expect_editor "$*"
}

# Share of all cores busy over one second, in percent, from /proc/stat.
busy_percent() {
  local before after total=0 idle i
  read -r -a before </proc/stat
  sleep 1
  read -r -a after </proc/stat
  for ((i = 1; i < ${#after[@]}; ++i)); do total=$((total + after[i] - before[i])); done
  idle=$((after[4] - before[4] + after[5] - before[5]))
  echo $((total > 0 ? 100 * (total - idle) / total : 0))
}

# Other work on this small machine (a build, another test run) would be timed with ours: wait
# for it to end, up to QUIET_WAIT seconds. Sets $busy to the last share seen.
calm_down() {
  local waited=0
  busy=$(busy_percent)
  while ((busy > 15 && waited < quiet_wait)); do
    ((waited == 0)) && say "  the machine is busy ($busy% of the CPU): waiting for it to calm down"
    sleep 10
    waited=$((waited + 11))
    busy=$(busy_percent)
  done
  ((busy > 15)) && say "  still busy ($busy%) after ${quiet_wait}s: measuring anyway"
  return 0
}

# calm_down before a phase, with a note for the results of how quiet the machine was.
quiet_notes=()
wait_until_quiet() {
  calm_down
  quiet_notes+=("$1: ${busy}% busy before, load average $(cut -d' ' -f1-3 /proc/loadavg)")
}

# stats <file of numbers>: "median p90 min max" with one decimal (p90 by nearest rank).
stats() {
  sort -n "$1" | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    r = int(0.9 * NR); if (r < 0.9 * NR) r++
    printf "%.1f %.1f %.1f %.1f\n", m, v[r], v[1], v[NR] }'
}

# median_of <integers...>: the median, rounded to an integer.
median_of() {
  printf '%s\n' "$@" | sort -n |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.0f\n", m }'
}

# range_of <integers...>: "min..max".
range_of() { printf '%s\n' "$@" | sort -n | sed -n '1h; ${H; x; s/\n/../p}'; }

# field_of <key> <parent report file>
field_of() { awk -v key="$1" '{ sub(/\r$/, "") } $1 == key { print $2 }' "$2"; }

# A Windows path for a Linux one: Wine's drive Z: is the Linux root.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

machine_line() {
  printf '%s, %s cores, %s RAM, Linux %s; %s' \
    "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)" "$(nproc)" \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)" "$(uname -r)" \
    "$(. /etc/os-release && echo "$PRETTY_NAME")"
}

wine_line() {
  printf '%s (%s started directly), persistent wineserver, null graphics driver, LANG=%s' \
    "$("$wine" --version 2>/dev/null | head -n 1)" "$(basename "$wine")" "$LANG"
}
