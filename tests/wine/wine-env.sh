# Shared by the scripts that run programs under Wine: a quiet, headless, Japanese Wine whose
# prefixes live inside the build folder. Source it; it defines functions and exports settings.

export WINEDEBUG=-all
# No Mono/Gecko prompts; a crashing program ends (exit status 5) instead of hanging in the
# automatic debugger. No menu builder: started while a fresh prefix boots, it starts the desktop's
# shell (explorer.exe) before the COM service is up, and in about one prefix in twenty the shell
# then never lists its desktop view, so that a set-up run as administrator cannot hand its window
# to the shell (measured: 0 of 160 fresh prefixes failed without it, 1 in 24 with it). The shell
# then starts when the first window needs the desktop, after the services.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
# Wine takes its ANSI code page from each process's locale: 932, as on a Japanese system.
export LANG=ja_JP.UTF-8
unset LC_ALL DISPLAY

# Stops the wineserver of one prefix (and with it every process of that prefix), and only it.
zn_stop_server() {
  local prefix=$1
  [[ -d $prefix ]] || return 0
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
}

# Starts a persistent wineserver for a prefix and the services the first program starts, with
# every stream on /dev/null so that nothing holds the caller's pipes open.
zn_start_server() {
  local prefix=$1
  WINEPREFIX=$prefix wineserver -p </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Makes a prefix from scratch: null graphics driver (no display needed), a Japanese font for
# the names the window asks for, and the .txt association of a Windows without the packaged
# Notepad.
zn_make_template() {
  local prefix=$1
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  WINEPREFIX=$prefix wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
    </dev/null >/dev/null 2>&1
  # The labels ask for MS PGothic, which Windows has under its English and its Japanese name;
  # IPAPGothic stands in for it (without this Wine would take the fixed-pitch IPAGothic).
  # Registry names are stored mangled unless reg runs under a UTF-8 locale.
  local face
  for face in 'MS PGothic' 'ＭＳ Ｐゴシック'; do
    LC_ALL=C.UTF-8 WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
      /v "$face" /d IPAPGothic /f </dev/null >/dev/null 2>&1
  done
  LC_ALL=C.UTF-8 WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v 'ＭＳ ゴシック' /d IPAGothic /f </dev/null >/dev/null 2>&1
  # A fresh prefix has no .txt key. Windows without the packaged Notepad opens text files with
  # the system folder's notepad.exe (txtfile), which the redirection reaches: the registration
  # window then offers no default-app page.
  WINEPREFIX=$prefix wine reg add 'HKCR\.txt' /ve /d txtfile /f </dev/null >/dev/null 2>&1
  zn_stop_server "$prefix"  # writes the registry to disk
  zn_template_key >"$prefix/.complete"
}

# What a template is made from: the recipe above, the settings it runs with and the Wine that
# runs it. A template made from anything else is stale.
zn_template_key() {
  { declare -f zn_make_template; printf '%s\n' "$WINEDEBUG" "$WINEDLLOVERRIDES" "$LANG"
    wine --version; } | sha256sum | cut -d' ' -f1
}

# Makes the template at `prefix` unless one made from the current recipe is there already.
zn_ensure_template() {
  local prefix=$1 key
  key=$(zn_template_key)
  if [[ -f $prefix/.complete && $(<"$prefix/.complete") == "$key" ]]; then return 0; fi
  echo "making the template Wine prefix in $prefix"
  zn_make_template "$prefix"
}

# A throwaway copy of the template. The system DLL folders are never written to, so they are
# hard links; everything else is a real copy.
zn_copy_prefix() {
  local template=$1 prefix=$2
  rm -rf "$prefix"
  mkdir -p "$prefix"
  (cd "$template" && find . -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a {} "$prefix/" \;)
  mkdir -p "$prefix/drive_c"
  (cd "$template/drive_c" && find . -mindepth 1 -maxdepth 1 ! -name windows -exec cp -a {} "$prefix/drive_c/" \;)
  mkdir -p "$prefix/drive_c/windows"
  local entry
  for entry in "$template"/drive_c/windows/* "$template"/drive_c/windows/.[!.]*; do
    [[ -e $entry ]] || continue
    case ${entry##*/} in
      system32|syswow64) cp -al "$entry" "$prefix/drive_c/windows/" ;;
      *) cp -a "$entry" "$prefix/drive_c/windows/" ;;
    esac
  done
  # dosdevices links to ../drive_c and z: to /; cp -a kept them as links.
}

# Puts `file` into a prefix's system32 under the name `dll`, in place of Wine's; a native DLL
# there is loaded instead of Wine's own. The copy's system32 is hard-linked to the template's:
# the link is removed first, since writing through it would change the template too.
zn_replace_system_dll() {
  local prefix=$1 dll=$2 file=$3
  local target=$prefix/drive_c/windows/system32/$dll
  [[ -f $file ]] || { echo "no such file: $file" >&2; return 1; }
  rm -f "$target"
  cp "$file" "$target"
}
