#!/usr/bin/env bash
# Installs the build into a folder of its own and checks what a desktop user gets: the layout,
# the desktop entry, and the program started as the entry starts it, which finds its
# conversion component and its help file and shows its version.
#   installed-program.sh BUILD_DIR WORK_DIR PRINT_VERSION
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Windows on the display that are mapped and carry exactly this name.
windows_named() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true
}

wait_for_window() {  # name, seconds
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    local found
    found=$(windows_named "$1" | head -1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  return 1
}

press() {  # window, keys
  xdotool windowfocus --sync "$1"
  xdotool key --clearmodifiers "$2"
}

# Starts the program as the desktop entry says, from an unrelated folder, with the launcher's
# folder on the PATH; prints its process id.
start_program() {  # prefix
  local exec
  exec=$(sed -n 's/^Exec=//p' "$1/share/applications/quillora.desktop")
  (cd / && exec env -u QT_QPA_PLATFORM PATH="$1/bin:$PATH" $exec >"$work/program.log" 2>&1) &
  echo $!
}

session() {  # inside the X server
  local prefix=$1 pid main help about
  pid=$(start_program "$prefix")
  main=$(wait_for_window Quillora 20) || fail "the main window did not appear"
  # The component is loaded at the first idle moment; a failure would add a warning box
  # named like the program and then end it.
  sleep 2
  kill -0 "$pid" 2>/dev/null || fail "the program ended after start"
  [ "$(windows_named Quillora | wc -l)" -eq 1 ] || fail "a warning box came up at start"

  press "$main" alt+z
  help=$(wait_for_window "Quillora ヘルプ" 10) || fail "the help viewer did not open"
  screenshot help
  press "$main" alt+y
  about=$(wait_for_window "バージョン情報" 10) || fail "the About box did not open"
  screenshot about
  press "$about" Return
  sleep 0.5
  [ -z "$(windows_named "バージョン情報")" ] || fail "the About box did not close on Enter"
  [ "$(windows_named Quillora | wc -l)" -eq 1 ] || fail "a message box came up"
  kill "$pid"
  wait "$pid" 2>/dev/null || true

  # The same install without the component: the warning is there, so the check above can tell.
  rm "$(dirname "$(readlink -f "$prefix/bin/quillora")")/nkf32.dll"
  pid=$(start_program "$prefix")
  wait_for_window Quillora 20 >/dev/null || fail "the main window did not appear (control run)"
  local i
  for ((i = 0; i < 100; i++)); do
    [ "$(windows_named Quillora | wc -l)" -ge 2 ] && break
    sleep 0.1
  done
  [ "$(windows_named Quillora | wc -l)" -ge 2 ] || fail "no warning without the component"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

screenshot() {
  if command -v import >/dev/null; then
    import -window root "$work/$1.png" || true
  fi
}

if [ "${1:-}" = --session ]; then
  work=$3
  session "$2"
  echo "session passed"
  exit 0
fi

build=$1
work=$2
print_version=$3
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

launcher=$prefix/bin/quillora
[ -L "$launcher" ] || fail "the launcher is not a link"
real=$(readlink -f "$launcher")
folder=$(dirname "$real")
[ "$folder" != "$prefix/bin" ] || fail "the program itself lies on the PATH"
for f in quillora nkf32.dll quillora.CHM; do
  [ -f "$folder/$f" ] || fail "$f is not in the program's folder $folder"
done

desktop=$prefix/share/applications/quillora.desktop
grep -qx 'Exec=quillora' "$desktop" || fail "the desktop entry does not start the launcher"
grep -qx 'Icon=quillora' "$desktop" || fail "the desktop entry names no icon"
for icon in 16x16/apps/quillora.png 64x64/apps/quillora.png 256x256/apps/quillora.png \
  scalable/apps/quillora.svg; do
  [ -s "$prefix/share/icons/hicolor/$icon" ] || fail "icon $icon is missing"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop"
fi

version=$("$print_version" "$launcher") || fail "no version resource in the installed program"
[ "$version" = "0.1.0.0" ] || fail "the installed program says version '$version'"

# A display number of its own, so that other X servers started at the same moment (other tests,
# other programs) cannot race it for the same number; and no reset when the last client leaves,
# or the second start below could meet the server while it resets and fail to connect.
xvfb-run -a -n $((200 + RANDOM % 700)) -s "-screen 0 1024x768x24 -noreset" "$0" --session "$prefix" "$work"
echo "installed program passed"
