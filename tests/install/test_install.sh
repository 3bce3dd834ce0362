#!/usr/bin/env bash
# Installs the build into a temporary prefix, validates the desktop entry and
# the metainfo, and runs the installed program twice with a fresh home: the
# first start sets up its data folder and saves the song list there, the
# second finds what the first left.
# Usage: test_install.sh BUILD_DIR [CMAKE]
set -euo pipefail
build=$1
cmake=${2:-cmake}
work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log"

# Everything in its place.
for file in bin/melodeck bin/azpack share/melodeck/skin.bmp share/melodeck/skin.azo \
    share/melodeck/filetypes.azi share/applications/melodeck.desktop \
    share/icons/hicolor/scalable/apps/melodeck.svg share/icons/hicolor/256x256/apps/melodeck.png \
    share/metainfo/org.melodeck.Melodeck.metainfo.xml share/man/man1/melodeck.1; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
library=$(find "$prefix" -name libazpack.so.1)
[ -n "$library" ] || fail "libazpack.so.1 is not installed"
[ ! -e "$(dirname "$library")/libazpack.so" ] || fail "the development link is installed"

# The programs find the installed library by their RUNPATH alone.
for program in melodeck azpack; do
  readelf -d "$prefix/bin/$program" | grep -q 'RUNPATH.*\$ORIGIN/' || fail "$program has no relative RUNPATH"
  resolved=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/$program" | awk '/libazpack.so.1/ {print $3}')
  [ "$(realpath "$resolved")" = "$(realpath "$library")" ] || fail "$program loads libazpack from '$resolved'"
done
env -u LD_LIBRARY_PATH "$prefix/bin/azpack" cat "$prefix/share/melodeck/skin.azo" >"$work/skin.txt"
[ "$(wc -l <"$work/skin.txt")" -eq 26 ] || fail "the installed azpack cannot read the shipped skin settings"

desktop-file-validate "$prefix/share/applications/melodeck.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.melodeck.Melodeck.metainfo.xml" >"$work/appstream.log" \
  || { cat "$work/appstream.log"; fail "appstreamcli rejects the metainfo"; }

# A user's first and second start, with nothing of the test's own sandbox.
home=$work/home
data=$work/data
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
log=$work/events.log
start() {
  : >"$log"
  env -u MELODECK_HOME -u LD_LIBRARY_PATH HOME="$home" XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
    QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy MELODECK_TEST_LOG="$log" \
    "$prefix/bin/melodeck" >/dev/null 2>"$work/stderr.log" &
  pid=$!
}
# Polls for a state (bounded), never for a time.
wait_for() {
  local tries=0
  until eval "$1"; do
    kill -0 "$pid" 2>/dev/null || { cat "$work/stderr.log" >&2; fail "melodeck ended while waiting for: $1"; }
    tries=$((tries + 1))
    [ "$tries" -lt 3000 ] || fail "gave up waiting for: $1"
    sleep 0.02
  done
}
# Everything asked for is on disk by then; the test needs no clean close.
stop() {
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
}

start
folder=$data/melodeck
# No base directory yet: the dialog comes (and closes itself in test runs),
# and the empty library is saved in the user's folder.
wait_for 'grep -q "^dialog Choose Directory" "$log"'
wait_for 'grep -q "^deferred" "$log"'
stop
[ -e "$folder/songlist.azl" ] || fail "no song list in $folder"
for file in skin.bmp skin.azo filetypes.azi; do
  cmp -s "$prefix/share/melodeck/$file" "$folder/$file" || fail "$file was not copied to $folder"
done
[ "$(ls "$prefix/bin")" = "$(printf 'azpack\nmelodeck')" ] || fail "the program wrote into its own folder"

# The user's own skin settings and a base directory; the next start loads the
# stored library and keeps the skin as it is.
sed 's/^1\(\r\?\)$/0\1/' "$work/skin.txt" >"$work/myskin.txt"
cmp -s "$work/skin.txt" "$work/myskin.txt" && fail "no switch to turn off in the shipped skin settings"
"$prefix/bin/azpack" c "$work/myskin.txt" "$folder/skin.azo" >/dev/null
mkdir -p "$home/Music"
printf '%s\r\n' "$home/Music" >"$work/dirs.txt"
"$prefix/bin/azpack" c "$work/dirs.txt" "$folder/music_directories.azi" >/dev/null
before=$(sha256sum <"$folder/skin.azo")
start
wait_for 'grep -q "^deferred" "$log"'
stop
[ "$(sha256sum <"$folder/skin.azo")" = "$before" ] || fail "the second start replaced the user's skin settings"
grep -q "^dialog " "$log" && fail "the second start did not find the stored library"
echo "install test: 1 passed, 0 failed"
