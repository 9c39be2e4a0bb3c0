#!/usr/bin/env bash
# Launch benchmark of ZanvekNotepad.exe installed as C:\windows\notepad.exe and as the redirect
# copy C:\windows\ZanvekNotepad.exe, under Wine. Run on demand (it is not a test):
# bench/launch.sh, optionally with ROUNDS=<n> (at least 50), REPORT_ROUNDS=<n>,
# WINDOW_ROUNDS=<n>, QUIET_WAIT=<seconds> and RENAMED_WINDOWS_FOLDER=1. See bench/README.md for
# what each figure means.
#
# Builds the program (preset windows) and this benchmark's own programs, makes a throwaway
# prefix under build/bench, times A (the installed launcher), R (the redirect copy, started as
# Windows starts it in Notepad's place), F (the floor launcher) and B (the stand-in editor
# alone) interleaved, and writes the figures to build/bench/results.md (results-renamed.md with
# RENAMED_WINDOWS_FOLDER=1) and stdout.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

rounds=${ROUNDS:-50}
window_rounds=${WINDOW_ROUNDS:-20}
report_rounds=${REPORT_ROUNDS:-20}
warmup_rounds=5
if ! [[ $rounds$window_rounds$report_rounds${QUIET_WAIT:-0} =~ ^[0-9]+$ ]] ||
  ((rounds < 50 || window_rounds < 1 || report_rounds < 1)); then
  echo "launch.sh: ROUNDS must be a number >= 50; REPORT_ROUNDS, WINDOW_ROUNDS >= 1" >&2
  exit 2
fi

. bench/common.sh
root=$bench_root
bin=$bench_bin
prefix=$root/prefix
results=$root/results.md
variant_note="the Windows folder is C:\\windows on disk, as Wine reports it: the launcher compares the two texts only"
if ((renamed_windows_folder)); then
  # Programs are started by the disk's spelling, as Windows itself starts them.
  windows='C:\Windows'
  prefix=$root/prefix-renamed
  results=$root/results-renamed.md
  variant_note="the Windows folder is named Windows on disk while Wine reports C:\\windows: the launcher looks the folder's spelling up on every start"
fi

# --- Build -------------------------------------------------------------------------------------
build_program
say "building the benchmark's programs"
build_c bench/floor.c "$bin/floor.exe" -mwindows
build_c bench/window_probe.c "$bin/window_probe.exe" -mconsole
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
cleanup() { zn_stop_server "$prefix"; }
trap cleanup EXIT

say "making the prefix"
make_bench_prefix "$prefix"
cp "$program" "$prefix/drive_c/windows/notepad.exe"
cp "$program" "$prefix/drive_c/windows/ZanvekNotepad.exe"
cp "$bin/floor.exe" "$prefix/drive_c/windows/floor.exe"
cp "$bin/window_probe.exe" "$prefix/drive_c/bench/"

launcher="$windows\notepad.exe"
redirect_copy="$windows\ZanvekNotepad.exe"
floor="$windows\floor.exe"
# As Windows starts the redirect copy in place of System32's notepad.exe: the program's token
# goes in front of Notepad's command line (Wine's loader quotes the copy's own path).
notepad_token='C:\windows\system32\notepad.exe'
cases=(A R F B)
declare -A exe_of=([A]=$launcher [R]=$redirect_copy [F]=$floor [B]=$editor)
declare -A token_of=([R]=$notepad_token)
run_case() { run_once "${exe_of[$1]}" ${token_of[$1]:+"${token_of[$1]}"}; }
check_case() { expect_editor "case $1 (${exe_of[$1]} ${token_of[$1]:-})"; }

say "checking each case"
for case in "${cases[@]}"; do check_reaches_editor "${exe_of[$case]}" ${token_of[$case]:+"${token_of[$case]}"}; done

# --- Working set and modules of the waiting launcher, as the editor sees its parent ---------------
wait_until_quiet "parent reports"
say "reading the waiting launcher's working set, modules and spawn time ($report_rounds rounds)"
reports=$root/reports
rm -rf "$reports"
mkdir -p "$reports"
# A round disturbed by other work is done again once the machine is quiet (at most
# 3 x REPORT_ROUNDS attempts in all).
report_disturbed=0
attempts=0
for ((i = 1; i <= report_rounds && attempts < 3 * report_rounds; ++attempts)); do
  disturbed=0
  report_cases=(A R F)
  first=$((attempts % 3))
  for case in "${report_cases[@]:first}" "${report_cases[@]:0:first}"; do
    file=$reports/$case-$i.txt
    export ZN_BENCH_PARENT_REPORT
    ZN_BENCH_PARENT_REPORT=$(windows_path "$file")
    run_case "$case"
    unset ZN_BENCH_PARENT_REPORT
    check_case "$case"
    ((busy_pct <= disturbed_pct)) || disturbed=1
    [[ -s $file ]] || { say "no parent report from case $case"; exit 1; }
    sleep "$pause"
  done
  if ((disturbed && attempts + 1 < 3 * report_rounds)); then
    report_disturbed=$((report_disturbed + 1))
    calm_down
  else
    i=$((i + 1))
  fi
done
report_rounds=$((i - 1))
declare -A peak_ws peak_ws_range spawn spawn_range
for case in A R F; do
  values=()
  spawns=()
  for ((i = 1; i <= report_rounds; ++i)); do
    values+=("$(field_of peak_working_set "$reports/$case-$i.txt")")
    spawns+=("$(field_of spawn_us "$reports/$case-$i.txt")")
  done
  peak_ws[$case]=$(median_of "${values[@]}")
  peak_ws_range[$case]=$(range_of "${values[@]}")
  spawn[$case]=$(median_of "${spawns[@]}")
  spawn_range[$case]=$(range_of "${spawns[@]}")
done
modules_of() { awk '$1 == "module" { $1 = ""; print substr($0, 2) }' "$reports/$1-1.txt"; }
modules_a=$(modules_of A)
modules_r=$(modules_of R)
modules_f=$(modules_of F)
gui_modules=$(printf '%s\n%s\n' "$modules_a" "$modules_r" |
  grep -ixE 'user32\.dll|gdi32\.dll|ole32\.dll|shell32\.dll|comctl32\.dll' || true)

# --- Timings -----------------------------------------------------------------------------------
say "warming up ($warmup_rounds rounds)"
for ((i = 1; i <= warmup_rounds; ++i)); do
  for case in "${cases[@]}"; do
    run_case "$case"
    check_case "$case"
    sleep "$pause"
  done
done

# Rounds go on until ROUNDS of them were quiet: none of their three runs disturbed by other
# work (the CPU more than disturbed_pct busy). After a disturbed round the script waits for
# the machine to calm down. At most 4 x ROUNDS rounds in all.
wait_until_quiet "timed rounds"
say "timing $rounds quiet rounds of ${cases[*]}"
timings=$root/timings.tsv  # round, case, microseconds, share of the CPU busy during the run
printf 'round\tcase\tus\tbusy\n' >"$timings"
total_rounds=0
quiet_rounds=0
while ((quiet_rounds < rounds && total_rounds < 4 * rounds)); do
  total_rounds=$((total_rounds + 1))
  disturbed=0
  # Each round starts one case further on: under Wine a run's time depends on the run before
  # it, and no case may always take the same place.
  first=$((total_rounds % ${#cases[@]}))
  for case in "${cases[@]:first}" "${cases[@]:0:first}"; do
    run_case "$case"
    check_case "$case"
    printf '%d\t%s\t%d\t%d\n' "$total_rounds" "$case" "$elapsed_us" "$busy_pct" >>"$timings"
    ((busy_pct <= disturbed_pct)) || disturbed=1
    sleep "$pause"
  done
  if ((disturbed)); then
    calm_down
  else
    quiet_rounds=$((quiet_rounds + 1))
    if ((quiet_rounds % 10 == 0)); then say "  $quiet_rounds/$rounds"; fi
  fi
done
quiet_notes+=("after the timed rounds: load average $(cut -d' ' -f1-3 /proc/loadavg)")

# --- Registration window -----------------------------------------------------------------------
wait_until_quiet "registration window"
say "timing the registration window ($window_rounds rounds)"
window_file=$root/window.txt
rm -f "$window_file"
read -r -a cpu_before </proc/stat
rc=0
timeout 600 "$wine" 'C:\bench\window_probe.exe' "$launcher" "$window_rounds" "$(windows_path "$window_file")" \
  </dev/null >/dev/null 2>&1 || rc=$?
read -r -a cpu_after </proc/stat
cpu_total=0
for ((k = 1; k < ${#cpu_after[@]}; ++k)); do cpu_total=$((cpu_total + cpu_after[k] - cpu_before[k])); done
cpu_idle=$((cpu_after[4] - cpu_before[4] + cpu_after[5] - cpu_before[5]))
window_busy=$((cpu_total > 0 ? 100 * (cpu_total - cpu_idle) / cpu_total : 0))
if ((rc != 0)); then
  say "the window probe failed (exit code $rc): the window did not become ready or did not close with 0"
  exit 1
fi

# --- Report ------------------------------------------------------------------------------------
# The figures come from the quiet rounds; whole rounds are kept or left out, so that no case
# loses more runs than another. The medians of all rounds are shown beside them.
awk -F'\t' -v limit="$disturbed_pct" 'NR > 1 && $4 > limit { print $1 }' "$timings" | sort -u >"$root/disturbed-rounds"
declare -A median p90 low high all_median
for case in "${cases[@]}"; do
  awk -v c="$case" -F'\t' 'NR > 1 && $2 == c { print $3 / 1000 }' "$timings" >"$root/$case.all.ms"
  read -r all_median[$case] _ < <(stats "$root/$case.all.ms")
  awk -v c="$case" -F'\t' 'FILENAME == ARGV[1] { bad[$1] = 1; next }
                            FNR > 1 && $2 == c && !($1 in bad) { print $3 / 1000 }' \
    "$root/disturbed-rounds" "$timings" >"$root/$case.ms"
  if [[ ! -s $root/$case.ms ]]; then say "no quiet round at all: the machine never calmed down"; exit 1; fi
  read -r median[$case] p90[$case] low[$case] high[$case] < <(stats "$root/$case.ms")
done
# Per quiet round, A and R against the F run of the same round: the difference survives slow
# drifts.
declare -A diff_median diff_p90
for case in A R; do
  awk -F'\t' -v c="$case" 'FILENAME == ARGV[1] { bad[$1] = 1; next } FNR > 1 && !($1 in bad) { t[$1, $2] = $3 }
               END { for (k in t) { split(k, p, SUBSEP); if (p[2] == c) print (t[p[1], c] - t[p[1], "F"]) / 1000 } }' \
    "$root/disturbed-rounds" "$timings" >"$root/$case-F.ms"
  read -r diff_median[$case] diff_p90[$case] _ _ < <(stats "$root/$case-F.ms")
done
ratio_of() { awk -v a="$1" -v f="$2" 'BEGIN { if (f + 0 > 0) printf "%.3f", a / f; else print "n/a" }'; }
overhead_of() {
  awk -v a="$1" -v f="$2" -v b="$3" 'BEGIN { if (f - b > 0) printf "%.2f", (a - b) / (f - b); else print "n/a" }'
}
verdict() { awk -v r="$1" -v goal="$2" 'BEGIN { print (r == "n/a") ? "n/a" : (r <= goal) ? "yes" : "NO" }'; }
declare -A ratio ratio_ok overhead_ratio all_ratio min_ratio ws_ratio ws_ok
for case in A R; do
  ratio[$case]=$(ratio_of "${median[$case]}" "${median[F]}")
  ratio_ok[$case]=$(verdict "${ratio[$case]}" 1.05)
  overhead_ratio[$case]=$(overhead_of "${median[$case]}" "${median[F]}" "${median[B]}")
  all_ratio[$case]=$(ratio_of "${all_median[$case]}" "${all_median[F]}")
  min_ratio[$case]=$(ratio_of "${low[$case]}" "${low[F]}")
  ws_ratio[$case]=$(awk -v a="${peak_ws[$case]}" -v f="${peak_ws[F]}" 'BEGIN { printf "%.3f", a / f }')
  ws_ok[$case]=$(verdict "${ws_ratio[$case]}" 1.2)
done
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

{
  echo "# Launch benchmark: ZanvekNotepad.exe as C:\\windows\\notepad.exe and as the redirect copy"
  echo
  echo "- Prefix: $variant_note"
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $(git rev-parse --short HEAD)$(git diff --quiet HEAD -- src cmake CMakeLists.txt || echo ' (src changed)')"
  echo "- Machine: $(machine_line)"
  echo "- Wine: $(wine_line)"
  echo "- Compiler: $(x86_64-w64-mingw32-g++-posix --version | head -n 1)"
  echo "- Rounds: $quiet_rounds quiet of $total_rounds timed (after $warmup_rounds warm-up), order ${cases[*]} rotated by one each round, ${pause}s pause between runs"
  for note in "${quiet_notes[@]}"; do echo "- Machine load, $note"; done
  echo
  echo "## Launch (ms, wall clock from the shell, argument $document)"
  echo
  echo "Quiet rounds: $quiet_rounds of $total_rounds (a round is left out when the CPU was more than ${disturbed_pct}% busy"
  echo "during one of its runs: a run alone keeps it 35-65% busy). Medians of all $total_rounds rounds in the last column."
  echo
  echo "| case | what runs | median | p90 | min | max | median, all rounds |"
  echo "|---|---|---:|---:|---:|---:|---:|"
  echo "| A | \`$launcher\` (ZanvekNotepad.exe) → editor | ${median[A]} | ${p90[A]} | ${low[A]} | ${high[A]} | ${all_median[A]} |"
  echo "| R | \`\"$redirect_copy\" $notepad_token\` → editor | ${median[R]} | ${p90[R]} | ${low[R]} | ${high[R]} | ${all_median[R]} |"
  echo "| F | floor launcher → editor | ${median[F]} | ${p90[F]} | ${low[F]} | ${high[F]} | ${all_median[F]} |"
  echo "| B | editor alone | ${median[B]} | ${p90[B]} | ${low[B]} | ${high[B]} | ${all_median[B]} |"
  echo
  for case in A R; do
    echo "- $case/F (medians): **${ratio[$case]}** (goal <= 1.05: ${ratio_ok[$case]}); all rounds: ${all_ratio[$case]}"
    echo "- ($case-B)/(F-B), the launcher's own part against the floor's: ${overhead_ratio[$case]}"
    echo "- $case-F paired per round: median ${diff_median[$case]} ms, p90 ${diff_p90[$case]} ms; $case/F of the minima: ${min_ratio[$case]}"
  done
  echo
  echo "## Peak working set of the waiting launcher (read by the editor from its parent; median of $report_rounds)"
  echo
  echo "| case | peak working set | range (bytes) |"
  echo "|---|---:|---|"
  echo "| A ZanvekNotepad.exe as notepad.exe | $(mib "${peak_ws[A]}") (${peak_ws[A]} B) | ${peak_ws_range[A]} |"
  echo "| R the redirect copy | $(mib "${peak_ws[R]}") (${peak_ws[R]} B) | ${peak_ws_range[R]} |"
  echo "| F floor | $(mib "${peak_ws[F]}") (${peak_ws[F]} B) | ${peak_ws_range[F]} |"
  echo
  echo "- A/F: **${ws_ratio[A]}** (goal <= 1.2: ${ws_ok[A]}); R/F: **${ws_ratio[R]}** (goal <= 1.2: ${ws_ok[R]})"
  echo
  echo "## Launcher start to editor creation (creation times of parent and child; median of $report_rounds, ms)"
  echo
  echo "Rounds done again because other work disturbed them: $report_disturbed."
  echo
  echo "| case | median | range |"
  echo "|---|---:|---|"
  for case in A R F; do
    echo "| $case | $(awk -v u="${spawn[$case]}" 'BEGIN { printf "%.2f", u / 1000 }') | $(awk -v r="${spawn_range[$case]}" 'BEGIN { split(r, v, /\.\./); printf "%.2f..%.2f", v[1] / 1000, v[2] / 1000 }') |"
  done
  echo
  echo "## Modules loaded in the waiting launcher"
  echo
  echo "- A: $(paste -sd' ' <<<"$modules_a")"
  echo "- R: $(paste -sd' ' <<<"$modules_r")"
  echo "- F: $(paste -sd' ' <<<"$modules_f")"
  echo "- user32, gdi32, ole32, shell32, comctl32 in A or R: $( [[ -z $gui_modules ]] && echo none || paste -sd' ' <<<"$gui_modules")"
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
  echo "## Registration window ($window_rounds rounds: \`$launcher\` with no argument, started by CreateProcessW)"
  echo
  echo "The CPU was ${window_busy}% busy over these rounds (no per-round check here)."
  echo
  echo "| until | median | p90 | min | max |"
  echo "|---|---:|---:|---:|---:|"
  echo "| window visible | $wv_median | $wv_p90 | $wv_low | $wv_high |"
  echo "| visible and text box registered as drop target | $wr_median | $wr_p90 | $wr_low | $wr_high |"
  echo
  echo "Raw figures: build/bench/timings.tsv, build/bench/window.txt, build/bench/reports/."
} >"$results"
cat "$results"
