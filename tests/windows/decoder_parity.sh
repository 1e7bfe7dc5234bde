#!/usr/bin/env bash
# The same audio files decoded by the sound library's decoder on Linux
# (libmpg123, SDL) and on Windows (the system's codecs, under Wine) give the
# same samples: the same rate and layout, lengths within a few milliseconds
# and correlation above 0.99. Files are made here with ffmpeg: MP3 (MPEG-1
# stereo, MPEG-2 mono) and WAV in every sample format a 44.1 kHz WAV may
# carry, compressed ones too.
# Usage: decoder_parity.sh LINUX-decode_dump WINDOWS-decode_dump.exe
set -euo pipefail
linux=$1 windows=$2
here=$(cd "$(dirname "$0")" && pwd)
[ -n "${WINE_RUN_SESSION:-}" ] || exec "$here/../../scripts/wine-run" --session "$0" "$@"
work=$(mktemp -d "${TMPDIR:-/tmp}/decoder-parity.XXXXXX")
trap 'rm -rf "$work"' EXIT

# 2 s of two tones under a swell, different in each channel.
ffmpeg -v error -f lavfi -i "aevalsrc=0.4*sin(2*PI*440*t)*(0.5+0.5*sin(PI*t))+0.2*sin(2*PI*1234*t)|0.3*sin(2*PI*660*t)+0.1*sin(2*PI*97*t):s=44100:d=2" \
  -c:a pcm_s16le "$work/source.wav"
make() {  # make NAME FFMPEG-OUTPUT-ARGS...
  local name=$1; shift
  ffmpeg -v error -i "$work/source.wav" "$@" "$work/$name"
}
make mp3-stereo.mp3 -c:a libmp3lame -b:a 192k
make mp3-vbr.mp3 -c:a libmp3lame -q:a 2
make mp3-mono-22k.mp3 -ac 1 -ar 22050 -c:a libmp3lame -b:a 64k
make u8.wav -c:a pcm_u8
make s16.wav -c:a pcm_s16le
make s24.wav -c:a pcm_s24le
make s32.wav -c:a pcm_s32le
make f32.wav -c:a pcm_f32le
make s16-mono-22k.wav -ac 1 -ar 22050 -c:a pcm_s16le
make adpcm-ms.wav -c:a adpcm_ms
make adpcm-ima.wav -c:a adpcm_ima_wav
make alaw.wav -c:a pcm_alaw
make mulaw.wav -c:a pcm_mulaw

failed=0
for file in "$work"/*.mp3 "$work"/*.wav; do
  name=$(basename "$file")
  [ "$name" = source.wav ] && continue
  "$linux" "$file" "$work/$name.linux" || { echo "FAIL $name: the Linux decoder refused it"; failed=1; continue; }
  if ! "$here/../../scripts/wine-run" "$windows" "Z:$file" \
       "Z:$work/$name.windows" </dev/null; then
    echo "FAIL $name: the Windows decoder refused it"; failed=1; continue
  fi
  python3 - "$name" "$work/$name.linux" "$work/$name.windows" <<'PY' || failed=1
import math, struct, sys
name, a, b = sys.argv[1:]
def read(path):
    data = open(path, 'rb').read()
    rate, channels = struct.unpack('<II', data[:8])
    return rate, channels, struct.unpack('<%dh' % ((len(data) - 8) // 2), data[8:8 + (len(data) - 8) // 2 * 2])
ra, ca, sa = read(a)
rb, cb, sb = read(b)
frames_a, frames_b = len(sa) // max(ca, 1), len(sb) // max(cb, 1)
problems = []
if (ra, ca) != (rb, cb):
    problems.append('format %d Hz x %d against %d Hz x %d' % (ra, ca, rb, cb))
# Lengths within 5 ms (decoders may keep a few samples of padding).
if abs(frames_a - frames_b) > ra // 200:
    problems.append('length %d frames against %d' % (frames_a, frames_b))
n = min(len(sa), len(sb))
ma, mb = sum(sa[:n]) / n, sum(sb[:n]) / n
cov = sum((x - ma) * (y - mb) for x, y in zip(sa[:n], sb[:n]))
va = sum((x - ma) ** 2 for x in sa[:n]); vb = sum((y - mb) ** 2 for y in sb[:n])
corr = cov / math.sqrt(va * vb) if va > 0 and vb > 0 else 0
rms = math.sqrt(vb / n)
if corr <= 0.99:
    problems.append('correlation %.4f' % corr)
if rms < 1000:
    problems.append('RMS %.0f: next to silence' % rms)
print('%s %-17s %d Hz x %d, %d / %d frames, correlation %.5f, RMS %.0f%s' % (
    'FAIL' if problems else 'ok  ', name, rb, cb, frames_a, frames_b, corr, rms,
    (': ' + '; '.join(problems)) if problems else ''))
sys.exit(1 if problems else 0)
PY
done
exit $failed
