#!/usr/bin/env bash
# Frames the Windows player presents under Wine, counted as on Linux: every
# SwapBuffers call, from Wine's relay trace of gdi32.SwapBuffers with its
# timestamps. Plays demos/hundred_frames.json without its music (as first
# measured, before demosound.dll; music and picture together are
# bench/music_sync_bench.cpp's), packed with the Linux demotool.
#   bench/wine_present_count.sh [runs]     (after scripts/build-windows and a
#                                           Release build of demotool)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
if [ -z "${WINE_RUN_SESSION:-}" ]; then
  exec "$root/scripts/wine-run" --session "$0" "$@"
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/wine-present.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 - "$root/demos/hundred_frames.json" "$work/h.json" <<'PY'
import json, sys
text = '\n'.join(l for l in open(sys.argv[1]) if not l.strip().startswith('//'))
d = json.loads(text)
d['resources'] = [r for r in d['resources'] if r['class'] not in ('soundLibrary', 'music')]
for entry in d['timeline']:
    entry['commands'] = [c for c in entry['commands'] if c.get('place') != 'mus']
json.dump(d, open(sys.argv[2], 'w'))
PY
"$root/build/release/demotool" build "$work/h.json" -o "$work/h.dat" >/dev/null
"$root/build/release/demotool" pack "$root/build/windows/demoplayer.exe" "$work/h.dat" -o "$work/h.exe" \
  --keep-sound-library >/dev/null
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d gdi32.SwapBuffers /f >/dev/null 2>&1
for i in $(seq "$runs"); do
  status=0
  WINEDEBUG=+timestamp,+relay /usr/lib/wine/wine64 "$work/h.exe" 2>"$work/relay.log" || status=$?
  grep 'Call gdi32.SwapBuffers' "$work/relay.log" | cut -d: -f1 |
    awk -v s="$status" '{ t[NR] = $1 } END {
      printf "run: %d frames presented over %.3f s (first to last), exit code %d\n", NR, t[NR] - t[1], s }'
done
