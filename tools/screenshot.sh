#!/usr/bin/env bash
# Usage: tools/screenshot.sh OUTDIR [FILE.mp3]
# Starts the real application under a virtual X server with fresh settings and saves
# OUTDIR/welcome.png, OUTDIR/tracks.png (FILE's tracks; a CUE sheet with its name beside it
# is taken), OUTDIR/maximised.png and OUTDIR/freedb.png (maximised, the freedb panel open).
# Without FILE, a three-minute album with a four-track sheet is made with ffmpeg and lame.
# MAVLOR_BIN names the binary (default: build/src/app/mavlor).
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 OUTDIR [FILE.mp3]" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(mkdir -p "$1" && cd "$1" && pwd)"
bin="${MAVLOR_BIN:-$root/build/src/app/mavlor}"
[ -x "$bin" ] || { echo "$0: no application at $bin (build first)" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

file="${2:-}"
if [ -z "$file" ]; then
  mkdir -p "$work/music"
  file="$work/music/Demo Album.mp3"
  # Four pieces of different loudness with short pauses, so the outline shows its tracks.
  ffmpeg -loglevel error -f lavfi -i "anoisesrc=d=180:c=pink:a=0.6:r=44100" \
    -af "volume='(0.05+0.95*lt(mod(t,45),43))*(0.35+0.65*abs(sin(2*PI*t/(6+floor(t/45)))))':eval=frame" \
    -ac 2 "$work/demo.wav"
  lame --quiet -V2 "$work/demo.wav" "$file"
  cat > "$work/music/Demo Album.cue" <<'CUE'
PERFORMER "The Examples"
TITLE "Demo Album"
FILE "Demo Album.mp3" MP3
  TRACK 01 AUDIO
    TITLE "Opening"
    PERFORMER "The Examples"
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Second Thoughts"
    PERFORMER "The Examples"
    INDEX 01 00:45:00
  TRACK 03 AUDIO
    TITLE "A Longer Title for the Third Track"
    PERFORMER "The Examples"
    INDEX 01 01:30:00
  TRACK 04 AUDIO
    TITLE "Closing"
    PERFORMER "The Examples"
    INDEX 01 02:15:00
CUE
fi

mkdir -p "$work/config"
env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/config" MAVLOR_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$bin" "$file"

for shot in welcome tracks maximised freedb; do
  [ -s "$out/$shot.png" ] || { echo "$0: $shot.png was not made" >&2; exit 1; }
done
echo "screenshots in $out"
