#!/usr/bin/env bash
# Launch benchmark of ZanvekNotepad.exe installed as C:\windows\notepad.exe, under Wine.
# Run on demand (it is not a test): bench/launch.sh, optionally with ROUNDS=<n> (at least 50),
# REPORT_ROUNDS=<n>, WINDOW_ROUNDS=<n> and QUIET_WAIT=<seconds>. See bench/README.md for what
# each figure means.
#
# Builds the program (preset windows) and this benchmark's own programs, makes a throwaway
# prefix under build/bench, times A (the installed launcher), F (the floor launcher) and B (the
# stand-in editor alone) interleaved, and writes the figures to build/bench/results.md and
# stdout.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

rounds=${ROUNDS:-50}
window_rounds=${WINDOW_ROUNDS:-20}
report_rounds=${REPORT_ROUNDS:-20}
quiet_wait=${QUIET_WAIT:-900}
warmup_rounds=5
pause=0.05  # between two timed runs: the wineserver's clean-up of one stays out of the next
if ! [[ $rounds$window_rounds$report_rounds$quiet_wait =~ ^[0-9]+$ ]] ||
  ((rounds < 50 || window_rounds < 1 || report_rounds < 1)); then
  echo "launch.sh: ROUNDS must be a number >= 50; REPORT_ROUNDS, WINDOW_ROUNDS >= 1" >&2
  exit 2
fi

root=$PWD/build/bench
bin=$root/bin
prefix=$root/prefix
results=$root/results.md
mkdir -p "$bin"

say() { printf '%s\n' "$*" >&2; }

# Share of all cores busy over one second, in percent, from /proc/stat.
busy_percent() {
  local before after
  read -r -a before </proc/stat
  sleep 1
  read -r -a after </proc/stat
  local total=0 idle i
  for ((i = 1; i < ${#after[@]}; ++i)); do total=$((total + after[i] - before[i])); done
  idle=$((after[4] - before[4] + after[5] - before[5]))
  echo $((total > 0 ? 100 * (total - idle) / total : 0))
}

# Other work on this small machine (a build, another test run) would be timed with ours: wait
# for it to end, up to QUIET_WAIT seconds, and say in the results how quiet it was.
quiet_notes=()
wait_until_quiet() {
  local what=$1 waited=0 busy
  busy=$(busy_percent)
  while ((busy > 15 && waited < quiet_wait)); do
    ((waited == 0)) && say "  the machine is busy ($busy% of the CPU): waiting for it to calm down"
    sleep 10
    waited=$((waited + 11))
    busy=$(busy_percent)
  done
  ((busy > 15)) && say "  still busy ($busy%) after ${quiet_wait}s: measuring anyway"
  quiet_notes+=("$what: ${busy}% busy before, load average $(cut -d' ' -f1-3 /proc/loadavg)")
}

# --- Build -------------------------------------------------------------------------------------
say "building ZanvekNotepad.exe (preset windows)"
cmake --preset windows >/dev/null
cmake --build --preset windows --target ZanvekNotepad >/dev/null
program=$PWD/build/windows/src/ZanvekNotepad.exe

# The same toolchain and flags as the program (its C front end: no C++ runtime in the floor).
cc=x86_64-w64-mingw32-gcc-posix
cflags=(-Os -DNDEBUG -Wall -Wextra -Werror -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN
        -D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -ffunction-sections -fdata-sections)
ldflags=(-municode -static -s -Wl,--gc-sections -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat)
say "building the benchmark's programs"
"$cc" "${cflags[@]}" bench/floor.c -mwindows "${ldflags[@]}" -o "$bin/floor.exe"
"$cc" "${cflags[@]}" bench/instant_editor.c -mwindows "${ldflags[@]}" -o "$bin/instant_editor.exe"
"$cc" "${cflags[@]}" bench/window_probe.c -mconsole "${ldflags[@]}" -o "$bin/window_probe.exe"
cc -O2 -Wall -Wextra -Werror bench/delay_imports.c -o "$bin/delay_imports"

# An unstripped copy of the program, linked from the same objects with a link map: the
# cross-check of the delay-load list. The link command is the build's own, minus -s.
say "relinking an unstripped copy with a link map"
unstripped=$root/unstripped/ZanvekNotepad.exe
link_map=$root/unstripped/ZanvekNotepad.map
mkdir -p "$root/unstripped"
rm -f "$unstripped" "$link_map"
link=$(cd build/windows && ninja -t commands src/ZanvekNotepad.exe | tail -n 1)
link=${link#': && '}
link=${link%' && :'}
if [[ $link == *' -s '* && $link == *' -o src/ZanvekNotepad.exe '* ]]; then
  link=${link/' -s '/' '}
  link=${link/' -o src/ZanvekNotepad.exe '/" -o $unstripped -Wl,-Map=$link_map "}
  link=$(sed 's/-Wl,--out-implib,[^ ]*//' <<<"$link")
  (cd build/windows && eval "$link")
else
  say "the link command has an unexpected form: no cross-check"
fi

# --- Prefix ------------------------------------------------------------------------------------
. tests/wine/wine-env.sh
wine=/usr/lib/wine/wine64  # the /usr/bin/wine wrapper costs about 1 ms per start
[[ -x $wine ]] || wine=$(command -v wine)

cleanup() { zn_stop_server "$prefix"; }
trap cleanup EXIT

say "making the prefix"
[[ -f $root/template/.complete ]] || zn_make_template "$root/template"
zn_stop_server "$prefix"  # a server left by an interrupted run
zn_copy_prefix "$root/template" "$prefix"
cp "$program" "$prefix/drive_c/windows/notepad.exe"
cp "$bin/floor.exe" "$prefix/drive_c/windows/floor.exe"
mkdir -p "$prefix/drive_c/bench"
cp "$bin/instant_editor.exe" "$bin/window_probe.exe" "$prefix/drive_c/bench/"
printf 'ZanvekNotepad launch benchmark\r\n' >"$prefix/drive_c/bench/document.txt"
export WINEPREFIX=$prefix
zn_start_server "$prefix"
"$wine" reg add 'HKCU\Software\Kestrane\ZanvekNOTEPAD' /ve /d 'C:\bench\instant_editor.exe' /f \
  </dev/null >/dev/null 2>&1

launcher='C:\windows\notepad.exe'
floor='C:\windows\floor.exe'
editor='C:\bench\instant_editor.exe'
document='C:\bench\document.txt'
declare -A exe_of=([A]=$launcher [F]=$floor [B]=$editor)

# Runs one case once with the document argument; sets $rc and $elapsed_us. Only Wine's loader
# and the program run between the two clock readings (EPOCHREALTIME is a shell variable: no
# process is started to read the clock).
run_case() {
  local exe=${exe_of[$1]} t0 t1
  rc=0
  t0=${EPOCHREALTIME//[!0-9]/}
  "$wine" "$exe" "$document" </dev/null >/dev/null 2>&1 || rc=$?
  t1=${EPOCHREALTIME//[!0-9]/}
  elapsed_us=$((t1 - t0))
}

# Every case must reach the stand-in editor, whose exit code is 42: anything else (a window,
# an error report) would make the timings meaningless.
check_case() {
  if ((rc != 42)); then
    say "case $1 (${exe_of[$1]}) ended with $rc instead of the stand-in editor's 42"
    exit 1
  fi
}

say "checking each case"
for case in A F B; do
  rc=0
  timeout 60 "$wine" "${exe_of[$case]}" "$document" </dev/null >/dev/null 2>&1 || rc=$?
  check_case "$case"
done

# --- Working set and modules of the waiting launcher, as the editor sees its parent ---------------
wait_until_quiet "parent reports"
say "reading the waiting launcher's working set, modules and spawn time ($report_rounds rounds)"
reports=$root/reports
rm -rf "$reports"
mkdir -p "$reports"
for ((i = 1; i <= report_rounds; ++i)); do
  for case in A F; do
    file=$reports/$case-$i.txt
    export ZN_BENCH_PARENT_REPORT="Z:${file//\//\\}"
    run_case "$case"
    unset ZN_BENCH_PARENT_REPORT
    check_case "$case"
    [[ -s $file ]] || { say "no parent report from case $case"; exit 1; }
    sleep "$pause"
  done
done
# median_of <numbers...>
median_of() {
  printf '%s\n' "$@" | sort -n |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.0f\n", m }'
}
field_of() { awk -v key="$1" '$1 == key { print $2 }' "$2"; }
declare -A peak_ws peak_ws_range spawn spawn_range
for case in A F; do
  values=()
  spawns=()
  for ((i = 1; i <= report_rounds; ++i)); do
    values+=("$(field_of peak_working_set "$reports/$case-$i.txt")")
    spawns+=("$(field_of spawn_us "$reports/$case-$i.txt")")
  done
  peak_ws[$case]=$(median_of "${values[@]}")
  peak_ws_range[$case]="$(printf '%s\n' "${values[@]}" | sort -n | head -n 1)..$(printf '%s\n' "${values[@]}" | sort -n | tail -n 1)"
  spawn[$case]=$(median_of "${spawns[@]}")
  spawn_range[$case]="$(printf '%s\n' "${spawns[@]}" | sort -n | head -n 1)..$(printf '%s\n' "${spawns[@]}" | sort -n | tail -n 1)"
done
modules_a=$(awk '$1 == "module" { $1 = ""; print substr($0, 2) }' "$reports/A-1.txt")
modules_f=$(awk '$1 == "module" { $1 = ""; print substr($0, 2) }' "$reports/F-1.txt")
gui_modules=$(grep -ixE 'user32\.dll|gdi32\.dll|ole32\.dll|shell32\.dll|comctl32\.dll' <<<"$modules_a" || true)

# --- Timings -----------------------------------------------------------------------------------
say "warming up ($warmup_rounds rounds)"
for ((i = 1; i <= warmup_rounds; ++i)); do
  for case in A F B; do
    run_case "$case"
    check_case "$case"
    sleep "$pause"
  done
done

wait_until_quiet "timed rounds"
say "timing $rounds rounds of A F B"
timings=$root/timings.tsv  # round, case, microseconds
printf 'round\tcase\tus\n' >"$timings"
for ((i = 1; i <= rounds; ++i)); do
  for case in A F B; do
    run_case "$case"
    check_case "$case"
    printf '%d\t%s\t%d\n' "$i" "$case" "$elapsed_us" >>"$timings"
    sleep "$pause"
  done
  if ((i % 10 == 0)); then say "  $i/$rounds"; fi
done
quiet_notes+=("after the timed rounds: load average $(cut -d' ' -f1-3 /proc/loadavg)")

# --- Registration window -----------------------------------------------------------------------
wait_until_quiet "registration window"
say "timing the registration window ($window_rounds rounds)"
window_file=$root/window.txt
rm -f "$window_file"
rc=0
timeout 600 "$wine" 'C:\bench\window_probe.exe' "$launcher" "$window_rounds" "Z:${window_file//\//\\}" \
  </dev/null >/dev/null 2>&1 || rc=$?
if ((rc != 0)); then
  say "the window probe failed (exit code $rc): the window did not become ready or did not close with 0"
  exit 1
fi

# --- Report ------------------------------------------------------------------------------------
# stats <file of numbers>: "median p90 min max" (p90 by nearest rank).
stats() {
  sort -n "$1" | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    r = int(0.9 * NR); if (r < 0.9 * NR) r++
    printf "%.1f %.1f %.1f %.1f\n", m, v[r], v[1], v[NR] }'
}
declare -A median p90 low high
for case in A F B; do
  awk -v c="$case" -F'\t' 'NR > 1 && $2 == c { print $3 / 1000 }' "$timings" >"$root/$case.ms"
  read -r median[$case] p90[$case] low[$case] high[$case] < <(stats "$root/$case.ms")
done
# Per round, A against the F run right after it: the difference survives slow drifts.
awk -F'\t' 'NR > 1 { t[$1, $2] = $3 } END { for (i = 1; (i, "A") in t; i++) print (t[i, "A"] - t[i, "F"]) / 1000 }' \
  "$timings" >"$root/A-F.ms"
read -r diff_median diff_p90 _ _ < <(stats "$root/A-F.ms")
ratio=$(awk -v a="${median[A]}" -v f="${median[F]}" 'BEGIN { printf "%.3f", a / f }')
overhead_ratio=$(awk -v a="${median[A]}" -v f="${median[F]}" -v b="${median[B]}" \
  'BEGIN { if (f - b > 0) printf "%.2f", (a - b) / (f - b); else print "n/a" }')
ratio_ok=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.10) ? "yes" : "NO" }')
ws_ratio=$(awk -v a="${peak_ws[A]}" -v f="${peak_ws[F]}" 'BEGIN { printf "%.3f", a / f }')
ws_ok=$(awk -v r="$ws_ratio" 'BEGIN { print (r <= 1.2) ? "yes" : "NO" }')
awk '{ print $1 }' "$window_file" >"$root/window-visible.ms"
awk '{ print $2 }' "$window_file" >"$root/window-ready.ms"
read -r wv_median wv_p90 wv_low wv_high < <(stats "$root/window-visible.ms")
read -r wr_median wr_p90 wr_low wr_high < <(stats "$root/window-ready.ms")

mib() { awk -v b="$1" 'BEGIN { printf "%.2f MiB", b / 1048576 }'; }
dll_names() { x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ { print $3 }' | paste -sd' '; }
delay_list=$("$bin/delay_imports" "$program" | grep -v '^#' || true)
delay_count=$("$bin/delay_imports" "$program" | awk '/delay-load descriptor/ { print $2 }')
delay_entry=$("$bin/delay_imports" "$program" | awk '/directory entry/ { print $NF }')
cross_check="not made (see the build step's message)"
if [[ -f $link_map ]]; then
  # Each archive member taken from a delay-load library, with the __imp_ symbol it satisfied.
  from_map=$(awk 'match($0, /^delayload\/lib[A-Za-z0-9]+_delay\.a\(/) {
                    dll = substr($0, 14, RLENGTH - 22); getline
                    if (match($0, /\(__imp_[A-Za-z0-9_]+\)/)) print tolower(dll) ".dll " substr($0, RSTART + 7, RLENGTH - 8) }' \
               "$link_map" | sort)
  from_scan=$(awk '{ dll = tolower($1); sub(/:$/, "", dll); for (i = 2; i <= NF; i++) print dll " " $i }' \
                <<<"$delay_list" | sort)
  if [[ $from_map == "$from_scan" ]]; then
    cross_check="agrees: the link map of the unstripped copy pulls the same $(wc -l <<<"$from_map") functions from the delay-load libraries"
  else
    cross_check="DISAGREES with the link map: $(diff <(echo "$from_map") <(echo "$from_scan") | grep '^[<>]' | paste -sd' ')"
  fi
fi
machine="$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo) RAM, Linux $(uname -r)"
os=$(. /etc/os-release && echo "$PRETTY_NAME")

{
  echo "# Launch benchmark: ZanvekNotepad.exe as C:\\windows\\notepad.exe"
  echo
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $(git rev-parse --short HEAD)$(git diff --quiet HEAD -- src cmake CMakeLists.txt || echo ' (src changed)')"
  echo "- Machine: $machine; $os"
  echo "- Wine: $("$wine" --version 2>/dev/null | head -n 1) ($(basename "$wine") started directly), persistent wineserver, null graphics driver, LANG=$LANG"
  echo "- Compiler: $(x86_64-w64-mingw32-g++-posix --version | head -n 1)"
  echo "- Rounds: $rounds timed (after $warmup_rounds warm-up), order A F B, ${pause}s pause between runs"
  for note in "${quiet_notes[@]}"; do echo "- Machine load, $note"; done
  echo
  echo "## Launch (ms, wall clock from the shell, argument $document)"
  echo
  echo "| case | what runs | median | p90 | min | max |"
  echo "|---|---|---:|---:|---:|---:|"
  echo "| A | $launcher (ZanvekNotepad.exe) → editor | ${median[A]} | ${p90[A]} | ${low[A]} | ${high[A]} |"
  echo "| F | floor launcher → editor | ${median[F]} | ${p90[F]} | ${low[F]} | ${high[F]} |"
  echo "| B | editor alone | ${median[B]} | ${p90[B]} | ${low[B]} | ${high[B]} |"
  echo
  echo "- A/F (medians): **$ratio** (goal <= 1.10: $ratio_ok)"
  echo "- (A-B)/(F-B), the launcher's own part against the floor's: $overhead_ratio"
  echo "- A-F paired per round: median $diff_median ms, p90 $diff_p90 ms"
  echo
  echo "## Peak working set of the waiting launcher (read by the editor from its parent; median of $report_rounds)"
  echo
  echo "| case | peak working set | range (bytes) |"
  echo "|---|---:|---|"
  echo "| A ZanvekNotepad.exe | $(mib "${peak_ws[A]}") (${peak_ws[A]} B) | ${peak_ws_range[A]} |"
  echo "| F floor | $(mib "${peak_ws[F]}") (${peak_ws[F]} B) | ${peak_ws_range[F]} |"
  echo
  echo "- A/F: **$ws_ratio** (goal <= 1.2: $ws_ok)"
  echo
  echo "## Launcher start to editor creation (creation times of parent and child; median of $report_rounds, ms)"
  echo
  echo "| case | median | range |"
  echo "|---|---:|---|"
  echo "| A ZanvekNotepad.exe | $(awk -v u="${spawn[A]}" 'BEGIN { printf "%.2f", u / 1000 }') | $(awk -v r="${spawn_range[A]}" 'BEGIN { split(r, v, /\.\./); printf "%.2f..%.2f", v[1] / 1000, v[2] / 1000 }') |"
  echo "| F floor | $(awk -v u="${spawn[F]}" 'BEGIN { printf "%.2f", u / 1000 }') | $(awk -v r="${spawn_range[F]}" 'BEGIN { split(r, v, /\.\./); printf "%.2f..%.2f", v[1] / 1000, v[2] / 1000 }') |"
  echo
  echo "## Modules loaded in the waiting launcher"
  echo
  echo "- A: $(paste -sd' ' <<<"$modules_a")"
  echo "- F: $(paste -sd' ' <<<"$modules_f")"
  echo "- user32, gdi32, ole32, shell32, comctl32 in A: $( [[ -z $gui_modules ]] && echo none || paste -sd' ' <<<"$gui_modules")"
  echo
  echo "## Executables"
  echo
  echo "| file | bytes | load-time imports (objdump -p, DLL Name) |"
  echo "|---|---:|---|"
  echo "| ZanvekNotepad.exe | $(stat -c %s "$program") | $(dll_names "$program") |"
  echo "| floor.exe | $(stat -c %s "$bin/floor.exe") | $(dll_names "$bin/floor.exe") |"
  echo "| instant_editor.exe | $(stat -c %s "$bin/instant_editor.exe") | $(dll_names "$bin/instant_editor.exe") |"
  echo
  echo "Delay-load imports of ZanvekNotepad.exe (delay-import directory entry: RVA $delay_entry; $delay_count descriptors found in the image by bench/delay_imports.c):"
  echo
  while IFS= read -r line; do
    [[ -n $line ]] && echo "- ${line%%:*}: $(wc -w <<<"${line#*:}") functions: ${line#*: }"
  done <<<"$delay_list"
  echo
  echo "Cross-check: $cross_check."
  echo
  echo "## Registration window ($window_rounds rounds: $launcher with no argument, started by CreateProcessW)"
  echo
  echo "| until | median | p90 | min | max |"
  echo "|---|---:|---:|---:|---:|"
  echo "| window visible | $wv_median | $wv_p90 | $wv_low | $wv_high |"
  echo "| visible and text box registered as drop target | $wr_median | $wr_p90 | $wr_low | $wr_high |"
  echo
  echo "Raw figures: build/bench/timings.tsv, build/bench/window.txt, build/bench/reports/."
} >"$results"
cat "$results"
