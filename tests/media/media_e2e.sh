#!/usr/bin/env bash
# rukotool media and midi on files made by makemedia: media_e2e.sh RUKOTOOL MAKEMEDIA WORKDIR
set -uo pipefail
tool=$1
make=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"$make" vorbis 48000 2 1500 "$work/tone.ogg" 250 || fail "makemedia vorbis"
"$make" wav-msadpcm 22050 1 1000 "$work/tone.wav" || fail "makemedia adpcm"
out=$("$tool" media "$work/tone.ogg") || fail "media tone.ogg: $out"
[[ $out == *"format Ogg Vorbis"* && $out == *"48000 Hz, 2 channels"* && $out == *"length 1500 ms"* ]] ||
  fail "media tone.ogg said: $out"
out=$("$tool" media "$work/tone.wav") || fail "media tone.wav: $out"
[[ $out == *"WAV adpcm_ms"* && $out == *"22050 Hz, 1 channels"* ]] || fail "media tone.wav said: $out"
head -c 100 /dev/urandom >"$work/noise.ogg"
"$tool" media "$work/noise.ogg" >/dev/null 2>&1 && fail "media accepted noise"

"$make" smf "$work/song.mid" || fail "makemedia smf"
out=$("$tool" midi "$work/song.mid" --events) || fail "midi --events: $out"
# Tempo 500000 until tick 960 (1000 ms), 250000 after: tick 1440 falls at 1250 ms, the end at 1750.
[[ $out == *"length 1750 ms"* ]] || fail "midi: $out"
grep -q "1250 ms  tick     1440  track   1  note-off" <<<"$out" || fail "no note-off at 1250 ms: $out"
grep -q "1000 ms  tick      960  track   1  control" <<<"$out" || fail "no pedal at 1000 ms: $out"

if [[ -e /usr/share/sounds/sf2/TimGM6mb.sf2 ]]; then
  "$tool" midi "$work/song.mid" --render "$work/song.wav" --soundfont /usr/share/sounds/sf2/TimGM6mb.sf2 \
    --from 500 --until 2500 || fail "midi --render"
  size=$(stat -c %s "$work/song.wav" 2>/dev/null || echo 0)
  [[ $size == $((44 + 88200 * 4)) ]] || fail "2000 ms rendered into $size bytes"
fi
((failures == 0))
