#!/usr/bin/env bash
# How the Windows player binds the sound library its demo carries, played
# under Wine. Each case is one demo with music and a box, packed with the
# Linux tools, that must run to its end by itself with exit code 0 (a
# message box would hold it) and leave its private temporary directory
# behind it cleaned away:
#   recorder   a library that logs its calls: bound by the decorated names,
#              called in the player's order
#   lacking    the same lacking one name: refused whole, never called, silent
#   damaged    a library cut short: not loaded, silent
#   none       no library (and so no music): silent
#   silent     demosound.dll with Wine's audio drivers off: no device, so one
#              line of its own on stderr, and the music on its silent clock
# And demosound.dll exports exactly the player's 217 names and needs only
# DLLs every Windows has.
# Usage: sound_binding.sh PLAYER.exe DEMOTOOL demosound.dll RECORDER.dll RECORDER-LACKING.dll
set -euo pipefail
player=$1 demotool=$2 library=$3 recorder=$4 lacking=$5
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..
[ -n "${WINE_RUN_SESSION:-}" ] || exec "$root/scripts/wine-run" --session "$0" "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/sound-binding.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }

# The exports against the player's table.
objdump=x86_64-w64-mingw32-objdump
"$objdump" -p "$library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -oE '_F[A-Za-z0-9_]+@[0-9]+' |
  sort >"$work/exports"
grep -oE '"_F[A-Za-z0-9_]+@[0-9]+"' "$root/sound/sound_api.cpp" | tr -d '"' | sort >"$work/names"
[ "$(wc -l <"$work/names")" -eq 217 ] || fail "the player's table has $(wc -l <"$work/names") names"
diff "$work/names" "$work/exports" >"$work/diff" || fail "exports differ from the table: $(head -c 300 "$work/diff")"
dlls=$("$objdump" -p "$library" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for dll in $dlls; do
  case $dll in kernel32.dll|user32.dll|winmm.dll|msacm32.dll|msvcrt.dll|advapi32.dll) ;;
    *) fail "demosound.dll needs $dll" ;; esac
done
echo "demosound.dll: $(wc -l <"$work/exports") exports, needs $dlls"

python3 - "$work/tone.wav" <<'PY'
import math, struct, sys
rate = 44100
s = [int(12000 * math.sin(2 * math.pi * 440 * i / rate)) for i in range(3 * rate)]
d = struct.pack('<%dh' % len(s), *s)
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', 36 + len(d)) + b'WAVEfmt ' +
    struct.pack('<IHHIIHH', 16, 1, 1, rate, rate * 2, 2, 16) + b'data' + struct.pack('<I', len(d)) + d)
PY
head -c 4096 "$library" >"$work/damaged.dll"
temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | head -n 1)
. "$here/temp_dirs.sh"
mkdir -p "$work/home"

for case in recorder lacking damaged none silent; do
  case $case in
    recorder) carried=$recorder ;; lacking) carried=$lacking ;; damaged) carried=$work/damaged.dll ;; none) carried= ;;
    silent) carried=$library ;;
  esac
  overrides=
  [ "$case" = silent ] && overrides=winealsa.drv=d
  sound=
  [ -n "$carried" ] && sound="{\"class\": \"soundLibrary\", \"file\": \"$carried\"},
        {\"class\": \"music\", \"tag\": \"mus\", \"file\": \"$work/tone.wav\", \"name\": \"tone.wav\"},"
  place=
  [ -n "$carried" ] && place=', {"place": "mus", "after": "cam"}'
  cat >"$work/$case.json" <<JSON
{
    "window": {"title": "binding", "width": 160, "height": 120, "fullscreen": false},
    "playback": {"frameRate": 20, "catchUp": true, "loop": false},
    "renderState": [{"clearColor": [0, 0, 0.4, 1]}],
    "totalFrames": 30,
    "resources": [
        $sound
        {"class": "camera", "tag": "cam", "position": [0, 2, 8], "centre": [0, 0, 0], "up": [0, 1, 0]},
        {"class": "box", "tag": "box", "position": [0, 0, 0], "axis1": [0, 1, 0], "size": [2, 2, 2]}
    ],
    "timeline": [{"frame": 1, "commands": [{"place": "cam"}, {"place": "box", "parent": "cam"}$place]}]
}
JSON
  "$demotool" pack "$player" "$work/$case.json" --keep-sound-library -o "$work/$case.exe" >/dev/null
  rm -f "$work/out.raw" "$work/calls.log"
  echo "pcm.!default { type file; slave.pcm \"null\"; file \"$work/out.raw\"; format \"raw\" }" >"$work/home/.asoundrc"
  before=$(player_dirs)
  status=0
  HOME=$work/home DEMOSOUND_RECORDER_LOG="Z:$work/calls.log" WINEDLLOVERRIDES=$overrides timeout 60 "$root/scripts/wine-run" "$work/$case.exe" \
    >"$work/stdout" 2>"$work/stderr" || status=$?
  left=$(left_behind "$before")
  touch "$work/calls.log"
  tr -d '\r' <"$work/calls.log" >"$work/calls"  # written in text mode
  calls=$(cut -d' ' -f1 "$work/calls" | tr '\n' ' ')
  heard=$(stat -c %s "$work/out.raw" 2>/dev/null || echo 0)
  echo "$case: exit code $status, $heard bytes heard, calls: ${calls:-none}"
  [ "$status" -eq 0 ] || fail "$case: exit code $status (124: it did not end by itself)"
  [ -z "$left" ] || fail "$case: left behind $left"
  if [ "$case" = silent ]; then
    said=$(cat "$work/stderr")
    [ "$(wc -l <"$work/stderr")" -eq 1 ] && [ "${said#demosound: no audio device (}" != "$said" ] &&
      [ "${said%; the music plays silently}" != "$said" ] || fail "silent: said '$said'"
  else
    [ ! -s "$work/stderr" ] || fail "$case: said $(head -c 200 "$work/stderr")"
  fi
  if [ "$case" = recorder ]; then
    want="FSOUND_SetOutput FSOUND_SetDriver FSOUND_Init FSOUND_Sample_Load FSOUND_Sample_GetLength"
    want="$want FSOUND_PlaySoundEx FSOUND_SetVolume FSOUND_SetPaused FSOUND_StopSound FSOUND_Sample_Free FSOUND_Close "
    [ "$calls" = "$want" ] || fail "recorder: calls '$calls', not '$want'"
    grep -qx 'FSOUND_Init 44100 32 0' "$work/calls" || fail "recorder: $(grep Init "$work/calls")"
    grep -q '^FSOUND_Sample_Load -1 .*\\tone.wav 304 0 0$' "$work/calls" ||
      fail "recorder: $(grep Sample_Load "$work/calls")"
  else
    [ -z "$calls" ] || fail "$case: the library was called: $calls"
    [ "$heard" -eq 0 ] || fail "$case: $heard bytes reached the sound output"
  fi
done
exit $failed
