#!/usr/bin/env bash
# The Windows player as a user meets it: demo data built and packed with the
# Linux tools, played under Wine (inside a scripts/wine-run session). What the
# screen shows must match `demotool render` of the same data before and after
# the timeline's second entry, in that order, and the player must end by
# itself after its last frame with exit code 0.
# Usage: play_packed.sh PLAYER.exe DEMOTOOL
set -euo pipefail
player=$1 demotool=$2
here=$(cd "$(dirname "$0")" && pwd)
[ -n "${WINE_RUN_SESSION:-}" ] || exec "$here/../../scripts/wine-run" --session "$0" "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/play-packed.XXXXXX")
trap '[ -n "${KEEP_SHOTS:-}" ] || rm -rf "$work"' EXIT

# 120 frames at 20 fps: one box until frame 79, a second one from frame 80;
# each stretch lasts long enough for screenshots on a loaded machine, where
# one can take a second. Nothing moves, so any screenshot within a stretch
# shows that stretch's frame.
cat >"$work/demo.json" <<'JSON'
{
    "window": {"title": "packed", "width": 160, "height": 120, "fullscreen": false},
    "playback": {"frameRate": 20, "catchUp": true, "loop": false},
    "renderState": [
        {"clearColor": [0, 0, 0.4, 1]},
        {"clearDepth": 1},
        {"enable": "depthTest"},
        {"depthFunc": "less"}
    ],
    "totalFrames": 120,
    "resources": [
        {"class": "camera", "tag": "cam", "position": [0, 2, 8], "centre": [0, 0, 0], "up": [0, 1, 0]},
        {"class": "box", "tag": "left", "position": [-1.5, 0, 0], "axis1": [0, 1, 0], "size": [2, 2, 2]},
        {"class": "box", "tag": "rite", "position": [2, 1, 0], "axis1": [0, 1, 0], "size": [1.5, 1.5, 1.5]}
    ],
    "timeline": [
        {"frame": 1, "commands": [{"place": "cam"}, {"place": "left", "parent": "cam"}]},
        {"frame": 80, "commands": [{"place": "rite", "parent": "cam"}]}
    ]
}
JSON
"$demotool" build "$work/demo.json" -o "$work/demo.dat" >/dev/null
if ! "$demotool" pack "$player" "$work/demo.dat" -o "$work/demo.exe" --keep-sound-library >/dev/null 2>"$work/pack.err"; then
  # A demotool that does not know PE files yet: the same layout by hand.
  size=$(stat -c %s "$player")
  [ "$size" -le 151552 ] || { echo "player of $size bytes does not fit before the data" >&2; exit 1; }
  { cat "$player"; head -c $((151552 - size)) /dev/zero; cat "$work/demo.dat"; } >"$work/demo.exe"
  echo "note: packed by hand ($(head -n1 "$work/pack.err"))"
fi
"$demotool" render "$work/demo.dat" --out "$work/ref" --frames 40,100 >/dev/null

# Screenshots of the display's corner for as long as the player runs.
"$here/../../scripts/wine-run" "$work/demo.exe" &
pid=$!
shots=0
start=$(date +%s)
while kill -0 "$pid" 2>/dev/null; do
  import -window root -crop 320x300+0+0 +repage -depth 8 "$work/shot-$(printf %03d $shots).ppm" 2>/dev/null &&
    shots=$((shots + 1))
  sleep 0.2  # a few shots a second are enough, and each costs the comparison time
  if [ $(( $(date +%s) - start )) -gt 60 ]; then
    echo "FAIL: the player did not end by itself within 60 s" >&2
    kill "$pid"; exit 1
  fi
done
status=0; wait "$pid" || status=$?
echo "player exit code $status, $shots screenshots"
[ "$status" -eq 0 ] || { echo "FAIL: exit code $status" >&2; exit 1; }

convert "$work/ref/frame-00040.png" -depth 8 "$work/a.ppm"
convert "$work/ref/frame-00100.png" -depth 8 "$work/b.ppm"
python3 - "$work" <<'PY'
import glob, sys
def ppm(path):
    data = open(path, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[pos:pos+1].isspace(): pos += 1
        end = pos
        while not data[end:end+1].isspace(): end += 1
        fields.append(data[pos:end]); pos = end
    return int(fields[1]), int(fields[2]), data[pos+1:]
aw, ah, a = ppm(sys.argv[1] + '/a.ppm')
_, _, b = ppm(sys.argv[1] + '/b.ppm')
# Every 3rd pixel of every 3rd row of the reference frames.
samples = [(x, y) for y in range(0, ah, 3) for x in range(0, aw, 3)]
# Mean difference per channel that rasteriser differences stay under; the two
# frames differ from each other by far more.
tolerance = 6
known = []  # where the client area was found last
def distance(shot, ref):
    sw, sh, s = shot
    def at(ox, oy, limit):
        total, stop = 0, limit * len(samples) * 3
        for x, y in samples:
            i = 3 * ((y + oy) * sw + x + ox); j = 3 * (y * aw + x)
            total += abs(s[i] - ref[j]) + abs(s[i+1] - ref[j+1]) + abs(s[i+2] - ref[j+2])
            if total > stop: break
        return total / (len(samples) * 3)
    if known and at(*known, tolerance) < tolerance:
        return at(*known, 1e9)
    best = 1e9
    # The client area sits below Wine's own caption and inside its border.
    for oy in range(0, min(60, sh - ah) + 1):
        for ox in range(0, min(16, sw - aw) + 1):
            d = at(ox, oy, best)
            if d < best:
                best = d
                if d < tolerance: known[:] = [ox, oy]
    return best
seen = []
for path in sorted(glob.glob(sys.argv[1] + '/shot-*.ppm')):
    shot = ppm(path)
    if len(set(shot[2][::97])) < 3:  # an empty display, before the window is up
        seen.append('-')
        continue
    da, db = distance(shot, a), distance(shot, b)
    seen.append('A' if da < tolerance and da < db else 'B' if db < tolerance else '-')
    print(path.rsplit('/', 1)[1], 'frame 40: %.1f' % da, 'frame 100: %.1f' % db)
order = ''.join(seen)
print('order', order)
first_b = order.find('B')
ok = 'A' in order and first_b > order.find('A') and 'A' not in order[first_b:]
sys.exit(0 if ok else 1)
PY
