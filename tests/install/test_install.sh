#!/usr/bin/env bash
# Installs the build into a temporary prefix, validates the desktop entry and
# the metainfo, builds a program of one's own against the installed library,
# and runs the installed player twice with a fresh home: the
# first start sets up its data folder and saves the song list there, the
# second finds what the first left. Usage: test_install.sh BUILD_DIR [CMAKE]
set -euo pipefail
work=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
"${2:-cmake}" --install "$1" --prefix "$prefix" >"$work/install.log"
share=$prefix/share
for file in melodeck/skin.bmp melodeck/skin.azo melodeck/filetypes.azi icons/hicolor/scalable/apps/melodeck.svg \
    icons/hicolor/256x256/apps/melodeck.png man/man1/melodeck.1 man/man1/azpack.1; do
  [ -e "$share/$file" ] || fail "share/$file is not installed"
done
desktop-file-validate "$share/applications/melodeck.desktop"
appstreamcli validate --no-net "$share/metainfo/org.melodeck.Melodeck.metainfo.xml" >"$work/appstream.log" \
  || { cat "$work/appstream.log"; fail "appstreamcli rejects the metainfo"; }

# Both programs find the installed library by their RUNPATH alone.
library=$(find "$prefix" -name libazpack.so.1)
for program in melodeck azpack; do
  resolved=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/$program" | awk '/libazpack.so.1/ {print $3}')
  [ "$(realpath "$resolved")" = "$(realpath "$library")" ] || fail "$program loads libazpack from '$resolved'"
done

# A program of one's own finds the header and the library through azpack.pc,
# which names the prefix the build was installed into.
pc=$(find "$prefix" -name azpack.pc)
[ -n "$pc" ] || fail "azpack.pc is not installed"
export PKG_CONFIG_PATH=${pc%/*}
[ "$(pkg-config --variable=libdir azpack)" = "${library%/*}" ] || fail "azpack.pc names another library folder"
read -ra flags <<<"$(pkg-config --cflags --libs azpack)"
cat >"$work/own.c" <<'PROGRAM'
#include <azpack.h>
#include <string.h>
int main(int argc, char **argv)
{
    const char *text;
    if (argc != 2 || !compressString("a text of one's own", argv[1]))
        return 1;
    text = uncompressFileToString(argv[1]);
    return text && strcmp(text, "a text of one's own") == 0 ? 0 : 2;
}
PROGRAM
read -ra cflags <<<"${CFLAGS:-}"
"${CC:-cc}" -std=c99 -Wall -Werror "${cflags[@]}" "$work/own.c" "${flags[@]}" -Wl,-rpath,"${library%/*}" -o "$work/own" \
  || fail "a C program does not build against the installed library"
"$work/own" "$work/own.az" >/dev/null || fail "a C program's text did not come back from the installed library"

# A user's starts, with nothing of the test's own sandbox.
home=$work/home data=$work/data log=$work/events.log
folder=$data/melodeck
mkdir -p "$home/Music" "$work/runtime"
chmod 700 "$work/runtime"
start() {
  : >"$log"
  env -u MELODECK_HOME -u LD_LIBRARY_PATH HOME="$home" XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
    QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy MELODECK_TEST_LOG="$log" "$prefix/bin/melodeck" >/dev/null 2>&1 &
  pid=$!
  # Polls (bounded) for the end of the deferred start-up, never for a time.
  local tries=0
  until grep -q "^deferred" "$log"; do
    kill -0 "$pid" 2>/dev/null || fail "melodeck ended during its start"
    tries=$((tries + 1))
    [ "$tries" -lt 3000 ] || fail "melodeck did not finish its start"
    sleep 0.02
  done
  # Everything it writes at start is on disk by then.
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
}

# No base directory yet: the dialog comes (and closes itself in test runs),
# and the empty library is saved in the user's folder beside the copies.
start
grep -q "^dialog Choose Directory" "$log" || fail "the first start did not ask for the music folder"
[ -e "$folder/songlist.azl" ] || fail "no song list in $folder"
for file in skin.bmp skin.azo filetypes.azi; do
  cmp -s "$share/melodeck/$file" "$folder/$file" || fail "$file was not copied to $folder"
done
[ "$(ls "$prefix/bin")" = "$(printf 'azpack\nmelodeck')" ] || fail "the program wrote into its own folder"

# With the user's own skin settings and a base directory, the next start
# loads the stored library and keeps the skin as it is.
"$prefix/bin/azpack" cat "$folder/skin.azo" | sed 's/^1\(\r\?\)$/0\1/' >"$work/myskin.txt"
"$prefix/bin/azpack" c "$work/myskin.txt" "$folder/skin.azo" >/dev/null
printf '%s\r\n' "$home/Music" >"$work/dirs.txt"
"$prefix/bin/azpack" c "$work/dirs.txt" "$folder/music_directories.azi" >/dev/null
before=$(sha256sum <"$folder/skin.azo")
start
[ "$(sha256sum <"$folder/skin.azo")" = "$before" ] || fail "the second start replaced the user's skin settings"
! grep -q "^dialog " "$log" || fail "the second start did not find the stored library"
echo "install test: 1 passed, 0 failed"
