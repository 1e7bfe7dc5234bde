#!/usr/bin/env bash
# A packed demo's music, played by the Windows player through demosound.dll
# under Wine, reaches the sound output: Wine plays through ALSA, whose
# default device a .asoundrc in a HOME of the test's own points at a file.
# The music is placed at frame 41 with a fast-forward of 40 frames, so what
# is heard must be the track from its second 2 on, loud; while the player
# runs its private temporary directory holds the library and the music, and
# when it has ended the directory is gone.
# (ALSA's null device takes samples as fast as Wine hands them over, faster
# than they play: the file shows what was heard, in order, not when.)
# Usage: sound_output.sh PLAYER.exe DEMOTOOL demosound.dll
set -euo pipefail
player=$1 demotool=$2 library=$3
here=$(cd "$(dirname "$0")" && pwd)
[ -n "${WINE_RUN_SESSION:-}" ] || exec "$here/../../scripts/wine-run" --session "$0" "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/sound-output.XXXXXX")
trap 'rm -rf "$work"' EXIT

# 8 s of music, one tone a second, each its own pitch: 300, 450, 600 Hz...
python3 - "$work/tones.wav" <<'PY'
import math, struct, sys
rate = 44100
samples = [int(16000 * math.sin(2 * math.pi * (300 + 150 * (i // rate)) * i / rate)) for i in range(8 * rate)]
data = struct.pack('<%dh' % len(samples), *samples)
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' +
    struct.pack('<IHHIIHH', 16, 1, 1, rate, rate * 2, 2, 16) + b'data' + struct.pack('<I', len(data)) + data)
PY
cat >"$work/demo.json" <<JSON
{
    "window": {"title": "sound", "width": 160, "height": 120, "fullscreen": false},
    "playback": {"frameRate": 20, "catchUp": true, "loop": false},
    "renderState": [{"clearColor": [0, 0, 0.4, 1]}],
    "totalFrames": 120,
    "resources": [
        {"class": "soundLibrary", "file": "$library"},
        {"class": "music", "tag": "mus", "file": "$work/tones.wav", "name": "tones.wav"},
        {"class": "camera", "tag": "cam", "position": [0, 2, 8], "centre": [0, 0, 0], "up": [0, 1, 0]},
        {"class": "box", "tag": "box", "position": [0, 0, 0], "axis1": [0, 1, 0], "size": [2, 2, 2]}
    ],
    "timeline": [
        {"frame": 1, "commands": [{"place": "cam"}, {"place": "box", "parent": "cam"}]},
        {"frame": 41, "commands": [{"place": "mus", "after": "cam"}, {"skip": "mus", "frames": 40}]}
    ]
}
JSON
"$demotool" pack "$player" "$work/demo.json" --sound-library "$library" -o "$work/demo.exe" >/dev/null
mkdir -p "$work/home"
echo "pcm.!default { type file; slave.pcm \"null\"; file \"$work/out.raw\"; format \"raw\" }" >"$work/home/.asoundrc"
temp=$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | head -n 1)
. "$here/temp_dirs.sh"
before=$(player_dirs)

HOME=$work/home "$here/../../scripts/wine-run" "$work/demo.exe" &
pid=$!
held=
start=$(date +%s)
while kill -0 "$pid" 2>/dev/null; do
  for dir in "$temp"/demoplayer-*/; do
    # The player may end and remove the folder between the two looks.
    if [ -f "$dir/fmod.dll" ] && [ -f "$dir/tones.wav" ] && seen=$(ls "$dir" 2>/dev/null); then
      held=$(printf '%s ' $seen)
    fi
  done
  if [ $(( $(date +%s) - start )) -gt 60 ]; then
    echo "FAIL: the player did not end by itself within 60 s" >&2
    kill "$pid"; exit 1
  fi
  sleep 0.05
done
status=0; wait "$pid" || status=$?
echo "player exit code $status; its temporary directory held: ${held:-nothing seen}"
[ "$status" -eq 0 ] || { echo "FAIL: exit code $status" >&2; exit 1; }
[ -n "$held" ] || { echo "FAIL: never saw the library and the music in the temporary directory" >&2; exit 1; }
left=$(left_behind "$before")
[ -z "$left" ] || { echo "FAIL: left behind: $left" >&2; exit 1; }
[ -s "$work/out.raw" ] || { echo "FAIL: nothing reached the sound output" >&2; exit 1; }

python3 - "$work/out.raw" "$work/tones.wav" <<'PY'
import math, struct, sys
raw = open(sys.argv[1], 'rb').read()
out = struct.unpack('<%dh' % (len(raw) // 2), raw[:len(raw) // 2 * 2])
left, right = out[0::2], out[1::2]
wav = open(sys.argv[2], 'rb').read()[44:]
track = struct.unpack('<%dh' % (len(wav) // 2), wav)
rate = 44100
onset = next((i for i, v in enumerate(left) if abs(v) > 200), None)
if onset is None:
    sys.exit('FAIL: the output is silent (%d frames)' % len(left))
heard = len(left) - onset
rms = math.sqrt(sum(v * v for v in left[onset:onset + rate]) / rate)
print('output %d frames, music from frame %d for %d frames, RMS %.0f' % (len(left), onset, heard, rms))
def corr(a, b):
    n = min(len(a), len(b))
    ma, mb = sum(a[:n]) / n, sum(b[:n]) / n
    c = sum((x - ma) * (y - mb) for x, y in zip(a[:n], b[:n]))
    va = sum((x - ma) ** 2 for x in a[:n]); vb = sum((y - mb) ** 2 for y in b[:n])
    return c / math.sqrt(va * vb) if va and vb else 0
# Where in the track the heard music starts: the best match of its first
# 50 ms among the track's 10 ms steps.
probe = left[onset:onset + rate // 20]
place = max(range(0, len(track) - rate, rate // 100), key=lambda at: corr(probe, track[at:at + len(probe)]))
print('the music heard first is the track at %.2f s' % (place / rate))
problems = []
if abs(place - 2 * rate) > rate // 50:
    problems.append('the music starts at %.2f s of the track, not at 2 s' % (place / rate))
if rms < 5000:
    problems.append('RMS %.0f: not audible' % rms)
if heard < 2 * rate:
    problems.append('only %.2f s of music heard' % (heard / rate))
# The whole of what was heard is the track from there on, in both channels.
span = min(heard, len(track) - 2 * rate) - rate // 10
# Aligned at the sample: the onset may be one sample late (a zero crossing).
best = max(corr(left[onset - d:onset - d + span], track[2 * rate:2 * rate + span]) for d in range(0, 4))
if best < 0.99 or left[onset:onset + span] != right[onset:onset + span]:
    problems.append('heard music differs from the track (correlation %.4f)' % best)
print('correlation with the track from 2 s: %.5f over %.2f s' % (best, span / rate))
if problems:
    sys.exit('FAIL: ' + '; '.join(problems))
PY
