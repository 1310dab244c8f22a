#!/usr/bin/env bash
# The Windows setup program of one target, run under Wine in a new prefix as
# a user or an administrator runs it: silent installs and uninstalls, for all
# users and for the current user, with .obj files unclaimed and claimed by
# another program. After an install the files, the Start-menu shortcut and
# the registry entries are there, and an .obj file opened through the shell
# shows in the viewer; after the uninstall nothing of ours is left, the
# user's own files and the other program's association are as they were.
#
#   setup-test.sh ROOT TARGET BUILD_TREE
#
# Needs an X server in $DISPLAY. Exit code 77 (skipped) where this host
# cannot run the setup program.
set -uo pipefail
root=$1 target=$2 tree=$3
. "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
. "$root/tests/e2e/pictures.sh"
. "$root/scripts/wine-env.sh"
: "${DISPLAY:?setup-test.sh needs an X display}"

case $target in
  i686) name=corvasi-0.10-win32 view=/reg:32 ;;
  x86_64) name=corvasi-0.10-win64 view=/reg:64 ;;
  *) echo "setup-test: unknown target $target" >&2; exit 2 ;;
esac
bash "$root/scripts/package.sh" --from "$tree" --out "$work/dist" "$target" >/dev/null || { echo "FAIL: package.sh failed" >&2; exit 1; }
setup=$work/dist/$name-setup.exe
if ! corvasi_wine_runs "$setup"; then
  echo "SKIPPED: $name-setup.exe is a 32-bit program and $CORVASI_NO32"
  exit 77
fi
mkdir "$work/files"
(cd "$work/files" && cmake -E tar xf "$work/dist/$name.zip")
files="corvasi.exe corvasi-render.exe README.md samples/README.md samples/stone.mtl samples/tile.obj samples/tile.png
  samples/torus.mtl samples/torus.obj samples/torus.tga"

# A prefix of its own in the build tree, made anew each time; Wine's menu
# builder would put the shortcut and the association on this Linux desktop.
export WINEPREFIX=$tree/tests/e2e/setup-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
rm -rf "$WINEPREFIX"
cleanup_prefix() {
  wineserver -k 2>/dev/null
  [ $failures -gt 0 ] || rm -rf "$WINEPREFIX"
}
trap 'cleanup_prefix; rm -rf "$work"' EXIT
"$CORVASI_WINE" wineboot -i >/dev/null 2>&1 || { echo "FAIL: no Wine prefix could be made" >&2; exit 1; }
wine_() { "$CORVASI_WINE" "$@" 2>/dev/null </dev/null; }
quiet() { "$@" >/dev/null; }
# Waits until every program of the prefix has ended (the uninstaller runs
# from a copy of itself in the temporary folder).
settle() { wineserver -w; }

uninstall_key='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvasi'
# A value as reg.exe shows it; empty when the key or the value is missing.
value() { # key, name ("" for the default value)
  local shown
  if [ -n "$2" ]; then
    shown=$(wine_ reg query "$1" /v "$2" $view)
  else
    shown=$(wine_ reg query "$1" /ve $view)
  fi
  echo "$shown" | tr -d '\r' | sed -n -E "s/^    (.*)    (REG_[A-Z_]+)    ?(.*)\$/\3/p" | head -1
}
exists() { wine_ reg query "$1" $view >/dev/null; }
# Everything under a key, to compare before and after.
subtree() { wine_ reg query "$1" /s $view | tr -d '\r'; }

# Polls: `within SECONDS command...` succeeds as soon as the command does.
within() {
  local limit=$((SECONDS + $1))
  shift
  while ! "$@"; do
    [ $SECONDS -lt $limit ] || return 1
    sleep 0.5
  done
}

# Another program that opens .obj files, as it registered itself.
other_program() {
  quiet wine_ reg add 'HKLM\Software\Classes\Other.Mesh\shell\open\command' /ve /d 'notepad.exe "%1"' /f $view &&
    quiet wine_ reg add 'HKLM\Software\Classes\.obj' /ve /d Other.Mesh /f $view &&
    quiet wine_ reg add 'HKLM\Software\Classes\.obj\OpenWithProgids' /v Other.Mesh /t REG_NONE /f $view
}

# The viewer's window, opened through the shell, shows the mesh as the
# installed renderer draws it.
open_through_shell() { # install folder (Unix)
  local window
  mkdir -p "$work/my meshes"
  cp "$work/files/$name/samples"/torus.* "$work/my meshes/"
  wine_ start /unix "$work/my meshes/torus.obj"
  found() { window=$(xdotool search --onlyvisible --name '^Corvasi - ver\.0\.10$' 2>/dev/null | head -1) && [ -n "$window" ]; }
  within 60 found || { fail "opening torus.obj through the shell brought up no viewer window"; return; }
  wine_ "$1/corvasi-render.exe" --samples 1 -o 'C:\expected.bmp' "Z:${work//\//\\}\\my meshes\\torus.obj" ||
    fail "the installed renderer failed"
  to_png "$WINEPREFIX/drive_c/expected.bmp" "$work/expected.png" || fail "the installed renderer wrote no picture"
  rm -f "$WINEPREFIX/drive_c/expected.bmp"
  shows() { import -window "$window" "$work/shown.png" 2>/dev/null && [ "$(on_show_differing "$work/expected.png" "$work/shown.png")" = 0 ]; }
  within 20 shows ||
    fail "the viewer opened through the shell differs from the renderer's torus in $(on_show_differing "$work/expected.png" "$work/shown.png") pixels off edges"
  # The viewer is ours to end; so is the rest of the prefix.
  wineserver -k
  settle
}

# One round: install with the options, check, uninstall, check.
#   scope: all (the machine's) or user (the current user's)
#   claimed: the .obj type's program before: none or other
#   expected: what opens .obj files while Corvasi is installed
round() { # options, scope, claimed, expected program
  local options=$1 scope=$2 claimed=$3 expected=$4 classes location folder file
  echo "-- $options: for $scope, .obj claimed by $claimed"
  if [ "$scope" = all ]; then classes='HKLM\Software\Classes'; else classes='HKCU\Software\Classes'; fi
  local before
  before=$(subtree 'HKLM\Software\Classes\.obj')

  # shellcheck disable=SC2086
  wine_ "$setup" $options
  local code=$?
  settle
  same "the exit code of $options" "$code" 0
  if [ "$scope" = all ]; then key=$uninstall_key; else key=${uninstall_key/LOCAL_MACHINE/CURRENT_USER}; fi
  location=$(value "$key" InstallLocation)
  [ -n "$location" ] || { fail "$options: no uninstall entry under $key"; return; }
  folder=$(wine_ winepath -u "$location")
  for file in $files; do
    cmp -s "$work/files/$name/$file" "$folder/$file" || fail "$options: $file is not installed in $location"
  done
  [ -f "$folder/uninstall.exe" ] || fail "$options: no uninstaller"
  case $scope/$target in
    all/i686) same "$options: the folder" "$location" 'C:\Program Files (x86)\Corvasi' ;;
    all/x86_64) same "$options: the folder" "$location" 'C:\Program Files\Corvasi' ;;
    user/*) [[ $location == 'C:\users\'*'\AppData\Local\Programs\Corvasi' ]] ||
      fail "$options: installed in $location, not in the user's programs" ;;
  esac
  same "$options: the uninstall entry" "$(for v in DisplayName DisplayVersion Publisher DisplayIcon UninstallString; do
    value "$key" $v; done)" "Corvasi 0.10
0.10
The Corvasi developers
\"$location\\corvasi.exe\",0
\"$location\\uninstall.exe\""
  size=$(value "$key" EstimatedSize)
  [ $((size)) -gt 100 ] || fail "$options: EstimatedSize is $size"
  if [ "$scope" = all ]; then menu='ProgramData/Microsoft/Windows/Start Menu/Programs'; else
    menu='users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs'; fi
  links=$(cd "$WINEPREFIX/drive_c" && find . -name Corvasi.lnk -path "./$menu/Corvasi.lnk")
  [ "$(echo "$links" | grep -c .)" = 1 ] || fail "$options: the Start-menu shortcuts: ${links:-none}"
  grep -q -a -i 'corvasi\.exe' "$WINEPREFIX/drive_c/${links#./}" 2>/dev/null || fail "$options: the shortcut does not start corvasi.exe"
  same "$options: the program of .obj files" "$(value "$classes\\.obj" "")" "$expected"
  exists "$classes\\.obj\\OpenWithProgids" && [ -n "$(wine_ reg query "$classes\\.obj\\OpenWithProgids" /v Corvasi.obj $view)" ] ||
    fail "$options: Corvasi is not in .obj's OpenWithProgids"
  same "$options: the command of Corvasi.obj" "$(value "$classes\\Corvasi.obj\\shell\\open\\command" "")" "\"$location\\corvasi.exe\" \"%1\""
  same "$options: the icon of Corvasi.obj" "$(value "$classes\\Corvasi.obj\\DefaultIcon" "")" "\"$location\\corvasi.exe\",0"
  [ "$claimed" != none ] || open_through_shell "$folder"

  # A file of the user's in the folder stays, and so does the folder.
  echo mine >"$folder/samples/mine.obj"
  wine_ "$location\\uninstall.exe" /S
  settle
  [ -f "$folder/samples/mine.obj" ] || fail "$options: the uninstaller removed the user's file"
  left=$(cd "$folder" && find . ! -name . ! -name samples ! -name mine.obj)
  [ -z "$left" ] || fail "$options: left after uninstalling: $left"
  rm -rf "$folder"
  left=$(find "$WINEPREFIX/drive_c" -iname '*corvasi*')
  [ -z "$left" ] || fail "$options: files left after uninstalling: $left"
  left=$(grep -i -n corvasi "$WINEPREFIX"/*.reg)
  [ -z "$left" ] || fail "$options: registry entries left after uninstalling: $left"
  same "$options: the .obj type after uninstalling" "$(subtree 'HKLM\Software\Classes\.obj')" "$before"
}

round /S all none Corvasi.obj
other_program || fail "cannot register the other program"
round /S all other Other.Mesh
round "/S /TakeObj" all other Corvasi.obj
round "/S /CurrentUser /TakeObj" user other Corvasi.obj

finish "$name-setup.exe: installed and uninstalled four ways"
