#!/usr/bin/env bash
# rukotool text and map: captions_e2e.sh RUKOTOOL FIXTURES WORDS-FIXTURES WORKDIR [--update]
# Each caption case draws with pixel fonts made by "rukotool font --from" and must equal its
# golden picture in FIXTURES/captions/ by pixels; --update writes the goldens instead (review each
# one before committing it). Damaged fonts are refused with the player's message and no picture.
set -uo pipefail
tool=$1
fixtures=$2
words=$3
work=$4
update=${5:-}
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"$tool" font --from "$fixtures/caption.txt" -o "$work/cap.rft" || fail "font caption.txt"
"$tool" font --from "$fixtures/caption_bold.txt" -o "$work/bold.rft" || fail "font caption_bold.txt"
"$tool" font --from "$words/pix.txt" -o "$work/gothic.rft" || fail "font pix.txt"

pix=506978 # "Pix"
common=(--font "$work/cap.rft" --face-hex $pix --size 8 --surface 40x16 --background 0x404040 --at 2,3)
# name | text (CP932 hex) | options
cases=(
  "plain|41422061|"
  "border1|41422061|--border 1 --border-color 0xFF0000"
  "border2|41422061|--border 2 --border-color 0x00FF00 --color 0x0000FF"
  "shadow|41422061|--shadow 2 --shadow-color 0x000000"
  "both|41422061|--border 1 --border-color 0xFF0000 --shadow 2 --shadow-color 0x101010"
  "underline|41422061|--style 4"
  "strikeout|41422061|--style 8 --border 1"
  "trail5c|835C5C835C|"
  "bold|4141|--font $work/bold.rft --style 1"
  "fallback|4182A041|--font $work/gothic.rft"
  "clamped|41|--surface 128x120 --border 40 --shadow 999 --border-color 0xFF0000 --shadow-color 0x00FFFF"
  "quality0|61616161|--quality 0"
  "alpha|41422061|--alpha 128 --border 1 --border-color 0xFF0000"
  "alphaplain|41422061|--alpha 96"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name text options <<<"$entry"
  # shellcheck disable=SC2086 # the options are words
  if ! "$tool" text "${common[@]}" --text-hex "$text" $options --out "$work/$name.png"; then
    fail "text $name"
    continue
  fi
  if [[ $update == --update ]]; then
    cp "$work/$name.png" "$fixtures/captions/$name.png"
  elif ! "$tool" compare "$work/$name.png" "$fixtures/captions/$name.png" >/dev/null; then
    fail "$name differs from its golden"
  fi
done
# A height below 1 draws nothing: the surface stays as filled.
"$tool" text "${common[@]}" --size 0 --text-hex 41 --out "$work/none.png" || fail "text size 0"
"$tool" text "${common[@]}" --text-hex 20 --out "$work/blank.png" || fail "text blank"
"$tool" compare "$work/none.png" "$work/blank.png" >/dev/null || fail "size 0 drew something"

# Without --font the caption takes an installed face by name: "ＭＳ ゴシック" is IPAGothic
# (scripts/setup installs it), drawn smoothed or, at Quality 0, without levels between.
if [[ -n $(fc-list IPAGothic 2>/dev/null) ]]; then
  installed=(--face-hex 826C827220835383568362834E --size 16 --surface 40x20 --text-hex 889F41)
  for q in 0 3; do
    "$tool" text "${installed[@]}" --quality $q --out "$work/ipa$q.png" || fail "text IPAGothic quality $q"
  done
  "$tool" text "${installed[@]}" --size 0 --out "$work/ipa-none.png" || fail "text IPAGothic size 0"
  "$tool" compare "$work/ipa0.png" "$work/ipa-none.png" >/dev/null && fail "IPAGothic drew nothing"
  "$tool" compare "$work/ipa0.png" "$work/ipa3.png" >/dev/null && fail "Quality 0 and 3 drew alike"
fi

# Damaged fonts: the name, a line break and the message; status 1; no picture and no fallback.
damaged_message=$'\r'$'\n'"フォントファイルが破壊されています"
patch() { # FILE OFFSET HEX-BYTES
  printf "$(sed 's/../\\x&/g' <<<"$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
size=$(stat -c %s "$work/cap.rft")
damage() { # NAME, then the patch applied to a copy of cap.rft
  local name=$1
  shift
  cp "$work/cap.rft" "$work/$name.rft"
  "$@" "$work/$name.rft"
  rm -f "$work/$name.png"
  local err
  err=$("$tool" text --font "$work/$name.rft" --face-hex $pix --size 8 --text-hex 41 --surface 8x8 \
    --out "$work/$name.png" 2>&1 >/dev/null)
  local status=$?
  [[ $status == 1 ]] || fail "$name: status $status"
  [[ $err == *"$name.rft$damaged_message"* ]] || fail "$name: said '$err'"
  [[ ! -e $work/$name.png ]] || fail "$name: a picture was written"
}
magic() { patch "$1" 0 58; }                         # "X" for "R"
long_index() { patch "$1" 18 FFFFFF7F; }             # L past the end of the file
many_glyphs() { patch "$1" 102 70110100; }           # N = 70000
wrong_count() { patch "$1" 102 07000000; }           # N = 7 with an index of 6 entries
negative_count() { patch "$1" 102 FFFFFFFF; }
open_face() { patch "$1" 26 "$(printf '41%.0s' {1..64})"; } # no zero in the 64 face bytes
cut_bitmap() { truncate -s $((size - 1)) "$1"; }     # the last bitmap leaves the file
for name in magic long_index many_glyphs wrong_count negative_count open_face cut_bitmap; do
  damage "$name" "$name"
done

# rukotool map: the text form survives the round trip, and a damaged map file is refused.
cat >"$work/map.txt" <<'MAP'
# areas of a map image
rect door 0 0 9 9
ellipse moon 5 5 14 14
poly 屋根 20,0 30,0 25,8
MAP
"$tool" map "$work/map.txt" "$work/map.bin" || fail "map"
out=$("$tool" map --dump "$work/map.bin") || fail "map --dump"
[[ $out == "$(grep -v '^#' "$work/map.txt")" ]] || fail "map --dump said: $out"
head -c 20 "$work/map.bin" >"$work/short.bin"
err=$("$tool" map --dump "$work/short.bin" 2>&1)
[[ $? == 1 && $err == *"short.bin:ファイルが破壊されています"* ]] || fail "short map: $err"
printf 'oval x 1 2 3 4\n' >"$work/bad.txt"
err=$("$tool" map "$work/bad.txt" "$work/bad.bin" 2>&1)
[[ $? == 1 && $err == *"bad.txt:1:"* && ! -e $work/bad.bin ]] || fail "bad map text: $err"

# Malformed numbers on the command line are refused as usage errors (status 2) and write nothing:
# a second sign, text after the number, more than 64 bits, values out of range.
"$tool" png 8x8 "$work/pic.png" --fill 0x808080 || fail "png"
# the arguments before the output | those after it
refused=(
  "text --text-hex 41 --surface 8x8 --size --5 --out|"
  "text --text-hex 41 --surface 8x8 --size -0x-5 --out|"
  "text --text-hex 41 --surface 8x8 --size --9223372036854775808 --out|"
  "text --text-hex 41 --surface 8x8 --size 99999999999999999999 --out|"
  "text --text-hex 41 --surface 8x-8 --out|"
  "text --text-hex 41 --surface 8x8 --at 1,2junk --out|"
  "png 8x8junk|"
  "png +8x8|"
  "png 8x8x8|"
  "png 4294967304x8|"
  "png 8x8|--rect 0,0,9223372036854775807,9223372036854775807,0"
  "png 8x8|--rect 0,0,2,2,0x-1"
  "png 8x8|--rect 0,0,2,2,0x1000000"
  "png 8x8|--rect 0,0,-2,2,0"
  "png 8x8|--rect 0,0,2,2,0,0"
  "png 8x8|--fill 0x-1"
  "image $work/pic.png --delay 0x-5|"
  "image $work/pic.png --delay 0|"
  "image $work/pic.png --delay 2147483648|"
  "image $work/pic.png --delay 10ms|"
  "image $work/pic.png --ident 0x-1|"
)
for entry in "${refused[@]}"; do
  IFS='|' read -r before after <<<"$entry"
  rm -f "$work/refused.out"
  # shellcheck disable=SC2086 # the arguments are words
  "$tool" $before "$work/refused.out" $after >/dev/null 2>&1
  status=$?
  [[ $status == 2 ]] || fail "'$entry': status $status"
  [[ ! -e $work/refused.out ]] || fail "'$entry': wrote its output"
done
"$tool" image "$work/pic.png" --delay 0x10 "$work/delay.brm" || fail "image --delay 0x10"
"$tool" png 8x8 "$work/neg.png" --rect -0x4,-4,8,8,0x0000FF || fail "png --rect at negative corners"

if ((failures)); then
  echo "$failures failures" >&2
  exit 1
fi
echo "captions and maps: all cases passed"
