#!/usr/bin/env bash
# End-to-end runs of rukoplay: player_e2e.sh CASE RUKOPLAY WORKDIR [DEMO-TITLE [RUKOTOOL]]
# Exit status 77 tells CTest the case was skipped.
set -uo pipefail
case_name=$1
player=$2
work=$3
demo=${4:-}
tool=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/run" "$work/tmp" "$work/A" "$work/B"
# Private lock and temporary folders, so other runs on this machine never interfere.
export XDG_RUNTIME_DIR=$work/run
export TMPDIR=$work/tmp
export LC_ALL=C.UTF-8
unset LANG LC_MESSAGES

# Runs on the SDL back end load the display's libraries (X11, Mesa, D-Bus, fontconfig), which
# keep allocations until exit; leak checks of sanitizer builds stay on for headless runs.
sdl_asan_options=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Waits up to 30 s for a file to appear.
wait_for() {
  for _ in $(seq 300); do
    [[ -e $1 ]] && return 0
    sleep 0.1
  done
  return 1
}

second_copy() {
  # The first copy runs on the SDL back end without a display, in real time, until stopped.
  SDL_VIDEODRIVER=dummy ASAN_OPTIONS=$sdl_asan_options "$player" --test-pattern --until 600000 --snapshot-at "0:$work/first.png" "$work/A" \
    >"$work/first.out" 2>&1 &
  local first=$!
  wait_for "$work/first.png" || fail "the first copy did not start"

  # The same folder, also when written another way, is refused at once and silently.
  local same
  for same in "$work/A" "$work/A/" "$work/B/../A"; do
    local started=$SECONDS
    local out
    out=$("$player" --headless --test-pattern --until 600000 --snapshot "$work/second.png" "$same" 2>&1)
    local status=$?
    [[ $status == 0 ]] || fail "second copy on $same: status $status"
    [[ -z $out ]] || fail "second copy on $same printed: $out"
    [[ ! -e $work/second.png ]] || fail "second copy on $same ran"
    ((SECONDS - started < 5)) || fail "second copy on $same took $((SECONDS - started)) s"
  done

  # Another folder runs beside it.
  "$player" --headless --test-pattern --frames 3 --snapshot "$work/other.png" "$work/B" ||
    fail "a copy on another folder failed"
  [[ -e $work/other.png ]] || fail "a copy on another folder did not run"

  kill -TERM "$first"
  wait "$first"
  local status=$?
  [[ $status == 0 ]] || fail "the first copy ended with status $status: $(cat "$work/first.out")"
  # Once the first has ended, the folder is free again.
  "$player" --headless --test-pattern --frames 3 --snapshot "$work/again.png" "$work/A" &&
    [[ -e $work/again.png ]] || fail "the folder stayed locked after the first copy ended"
  [[ -z $(ls -A "$work/tmp") ]] || fail "temporary folders left behind: $(ls -A "$work/tmp")"
}

window_matches_headless() {
  command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed" >&2; exit 77; }
  compare_window "test pattern" 67 --test-pattern "$work/A"
  # The demo title at 345 frames is in the middle of a fade between two screens.
  if [[ -n $demo && -n $(ls -A "$demo" 2>/dev/null) ]]; then
    compare_window "demo title" 345 "$demo"
  fi
}

# Runs the same frames in a window under Xvfb and headless; the window's picture must be the
# headless snapshot, pixel for pixel (both PNGs are written the same way, so byte for byte).
compare_window() {
  local what=$1 frames=$2
  shift 2
  ASAN_OPTIONS=$sdl_asan_options xvfb-run -a -s "-screen 0 1280x1024x24" "$player" --virtual-clock --seed 1 --frames $frames \
    --screenshot-window "$work/window.png" "$@" >"$work/window.out" 2>&1 ||
    fail "$what: the window run failed: $(cat "$work/window.out")"
  "$player" --headless --seed 1 --frames $frames --snapshot "$work/headless.png" "$@" ||
    fail "$what: the headless run failed"
  cmp -s "$work/window.png" "$work/headless.png" || fail "$what: the window shows another picture"
  rm -f "$work/window.png" "$work/headless.png"
}

test_pattern_is_repeatable() {
  local run
  for run in 1 2; do
    "$player" --headless --test-pattern --until 3000 --snapshot-at "1000:$work/at$run.png" \
      --snapshot "$work/last$run.png" "$work/A" || fail "run $run failed"
  done
  cmp -s "$work/at1.png" "$work/at2.png" || fail "the frames at 1000 ms differ between runs"
  cmp -s "$work/last1.png" "$work/last2.png" || fail "the last frames differ between runs"
  ! cmp -s "$work/at1.png" "$work/last1.png" || fail "the picture does not move"
}

# Runs the player and checks its status and that stderr holds one line containing the text.
expect_error() {
  local status=$1 text=$2
  shift 2
  local err
  err=$("$player" "$@" 2>&1 >/dev/null)
  local got=$?
  [[ $got == "$status" ]] || fail "rukoplay $*: status $got, expected $status"
  [[ $err == *"$text"* ]] || fail "rukoplay $*: stderr lacks '$text': $err"
  printf '%s' "$err" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1 || fail "rukoplay $*: stderr is not UTF-8: $err"
  (($(printf '%s\n' "$err" | wc -l) == 1)) || fail "rukoplay $*: more than one line: $err"
}

command_line() {
  printf '0 move 1 2\n15 jump\n' >"$work/bad-input.txt"
  expect_error 2 "unknown option --bogus" --headless --bogus "$work/A"
  expect_error 2 "--frames" --headless --frames ten "$work/A"
  expect_error 2 "$work/missing.txt" --headless --input "$work/missing.txt" "$work/A"
  expect_error 2 "line 2" --headless --input "$work/bad-input.txt" "$work/A"
  expect_error 2 "$work/A" --headless --input "$work/A" "$work/A"
  # A start-up failure: the warning text in UTF-8, status 1.
  expect_error 1 "warning [" --headless "$work/missing"

  local out err status
  out=$("$player" --help 2>"$work/help.err")
  status=$?
  [[ $status == 0 && $out == Usage:* && ! -s $work/help.err ]] || fail "--help: status $status, $out"

  # "/config" in any letter case ends quietly; later on the line it is an ordinary parameter.
  for config in /config /CONFIG /Config; do
    out=$("$player" --headless "$config" "$work/A" 2>&1)
    status=$?
    [[ $status == 0 && -z $out ]] || fail "$config: status $status, printed: $out"
  done
  expect_error 1 "warning [" --headless "$work/missing" /config

  # A garbled options file keeps the defaults and the title runs.
  printf '\x81\x5c[[Sound\nDelayTime=abc\n\xff\xfe\x00\n' >"$work/A/game.ini"
  "$player" --headless --test-pattern --frames 2 --snapshot "$work/ini.png" "$work/A" 2>"$work/ini.err" &&
    [[ -e $work/ini.png && ! -s $work/ini.err ]] || fail "a garbled game.ini stopped the run: $(cat "$work/ini.err")"

  [[ -z $(ls -A "$work/tmp") ]] || fail "temporary folders left behind: $(ls -A "$work/tmp")"
}

# Frames in a WAV file written by --audio-out: its data chunk's size / 4.
wav_frames() {
  local size
  size=$(od -An -tu4 -j40 -N4 "$1" | tr -d ' ')
  echo $((size / 4))
}

audio_out() {
  [[ -n $demo && -n $(ls -A "$demo" 2>/dev/null) ]] || { echo "no demo title" >&2; exit 77; }
  # A copy of its own: the single-copy guard would end this run silently beside another case's.
  cp -r "$demo" "$work/title"
  demo=$work/title
  # Headless: exactly floor(virtual ms × 44.1) frames, the same bytes on every run.
  local run
  for run in 1 2; do
    "$player" --headless --until 3000 --audio-out "$work/run$run.wav" "$demo" >"$work/run$run.out" 2>&1 ||
      fail "headless run $run failed: $(cat "$work/run$run.out")"
  done
  [[ -e $work/run1.wav ]] || fail "no WAV written"
  [[ $(wav_frames "$work/run1.wav") == 132300 ]] || fail "3000 ms gave $(wav_frames "$work/run1.wav") frames"
  [[ $(stat -c %s "$work/run1.wav") == $((44 + 132300 * 4)) ]] || fail "the WAV's size disagrees with its header"
  cmp -s "$work/run1.wav" "$work/run2.wav" || fail "two headless runs sound different"
  [[ -z $(ls -A "$work" | grep '^~') ]] || fail "a partial WAV was left behind"

  # A window with SDL's dummy audio driver pulls in real time through the device.
  command -v xvfb-run >/dev/null || return 0
  SDL_AUDIODRIVER=dummy ASAN_OPTIONS=$sdl_asan_options xvfb-run -a -s "-screen 0 1280x1024x24" "$player" \
    --until 1500 --audio-out "$work/window.wav" "$demo" >"$work/window.out" 2>&1 ||
    fail "the window run failed: $(cat "$work/window.out")"
  # The device runs on the real clock, from start-up on: at least the 1.5 s played, more on a busy machine.
  local frames
  frames=$(wav_frames "$work/window.wav")
  ((frames > 44100)) || fail "the window's device pulled $frames frames in 1.5 s"
  [[ $(stat -c %s "$work/window.wav") == $((44 + frames * 4)) ]] || fail "the window's WAV disagrees with its header"
}

# Builds the title in ending/ (its exit page sets "ended" to the frames played + 1) into
# $work/ending, and a copy whose exit page never ends into $work/endless.
build_ending_titles() {
  "$tool" build "$here/ending" -o "$work/ending" >/dev/null || fail "cannot build the ending title"
  cp -r "$here/ending" "$work/endless-src"
  # Each pass is costly, so the 2 s bound, not the command budget, ends it however fast the engine is.
  local terms
  terms=$(printf ' + 1%.0s' $(seq 300))
  printf 'while 1 == 1\ncalc ended = ended%s\nloop\n' "$terms" >"$work/endless-src/exit.rss"
  "$tool" build "$work/endless-src" -o "$work/endless" >/dev/null || fail "cannot build the endless title"
}

# Starts the player in the background ($! is it) and waits until it has drawn its first frame.
start_player() {
  rm -f "$work/started.png"
  "$player" --snapshot-at "0:$work/started.png" "$@" >"$work/run.out" 2>"$work/run.err" &
  wait_for "$work/started.png" || fail "the player did not start: $*"
}

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }

# Sends a signal after a random share of a second and waits for the end; sets `status` and
# `took` (ms from the signal to the end).
stop_with() {
  local pid=$1 signal=$2
  sleep "0.$((RANDOM % 10))"
  local sent
  sent=$(now_ms)
  kill -"$signal" "$pid"
  wait "$pid"
  status=$?
  took=$(($(now_ms) - sent))
}

# The folder is free again and no temporary folder was left.
expect_released() {
  local title=$1 what=$2
  "$player" --headless --frames 2 --snapshot "$work/again.png" "$title" && [[ -e $work/again.png ]] ||
    fail "$what: the title stayed locked"
  rm -f "$work/again.png"
  [[ -z $(ls -A "$work/tmp") ]] || fail "$what: temporary folders left behind: $(ls -A "$work/tmp")"
}

signals_end_in_order() {
  build_ending_titles
  local signal status took
  for signal in INT TERM HUP; do
    rm -f "$work/vars.json"
    start_player --headless --until 100000000 --dump-vars "$work/vars.json" "$work/ending"
    stop_with $! "$signal"
    [[ $status == 0 ]] || fail "SIG$signal: status $status: $(cat "$work/run.err")"
    ((took < 3000)) || fail "SIG$signal: the end took $took ms"
    [[ ! -s $work/run.err ]] || fail "SIG$signal: said $(cat "$work/run.err")"
    # The exit page ran after the frames: ended = frames + 1.
    local frames ended
    frames=$(sed -n 's/^ *"frames": \([0-9]*\).*/\1/p' "$work/vars.json")
    ended=$(sed -n 's/^ *"ended": \([0-9]*\).*/\1/p' "$work/vars.json")
    [[ -n $frames && $ended == $((frames + 1)) ]] || fail "SIG$signal: the exit page did not run: $(cat "$work/vars.json")"
    expect_released "$work/ending" "SIG$signal"
  done

  # A second signal during the end stops at once with 128 + its number, writing nothing.
  rm -f "$work/vars.json"
  start_player --headless --until 100000000 --dump-vars "$work/vars.json" "$work/endless"
  local pid=$!
  kill -TERM $pid
  sleep 0.3
  stop_with $pid INT
  [[ $status == $((128 + 2)) ]] || fail "a second signal: status $status"
  ((took < 1000)) || fail "a second signal: the stop took $took ms"
  [[ ! -e $work/vars.json ]] || fail "a second signal: the variables were still written"
  rm -rf "${work:?}/tmp/"*

  # An exit page that never ends is abandoned after 2 s, with a note.
  start_player --headless --until 100000000 --dump-vars "$work/vars.json" "$work/endless"
  stop_with $! TERM
  [[ $status == 0 ]] || fail "endless exit page: status $status: $(cat "$work/run.err")"
  ((took < 3000)) || fail "endless exit page: the end took $took ms"
  grep -q "exit page did not end within 2 s" "$work/run.err" || fail "endless exit page: no note: $(cat "$work/run.err")"
  expect_released "$work/endless" "endless exit page"
}

# Under Xvfb: the X server goes away while the demo plays; and SIGTERM ends a window whose title
# has an endless exit page.
display_lost() {
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; exit 77; }
  [[ -n $demo && -n $(ls -A "$demo" 2>/dev/null) ]] || { echo "the demo title is not built" >&2; exit 77; }
  build_ending_titles
  local xpid display status took
  start_x() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.out" 2>&1 &
    xpid=$!
    exec 3>&-
    for _ in $(seq 100); do
      [[ -s $work/display ]] && break
      sleep 0.1
    done
    display=:$(head -n1 "$work/display")
    rm -f "$work/display"
  }

  export SDL_VIDEODRIVER=x11
  # No sound card on test machines: the dummy driver keeps ALSA's complaints off stderr.
  export SDL_AUDIODRIVER=dummy
  start_x
  DISPLAY=$display ASAN_OPTIONS=$sdl_asan_options start_player "$demo"
  local pid=$!
  sleep 0.5
  kill -TERM $xpid
  wait $xpid 2>/dev/null
  wait $pid
  status=$?
  [[ $status == 1 ]] || fail "lost display: status $status: $(cat "$work/run.err")"
  [[ $(cat "$work/run.err") == "rukoplay: the display connection was lost" ]] ||
    fail "lost display: stderr was: $(cat "$work/run.err")"
  expect_released "$demo" "lost display"

  start_x
  DISPLAY=$display ASAN_OPTIONS=$sdl_asan_options start_player "$work/endless"
  stop_with $! TERM
  [[ $status == 0 ]] || fail "window, endless exit page: status $status: $(cat "$work/run.err")"
  ((took < 3000)) || fail "window, endless exit page: the end took $took ms"
  kill -TERM $xpid
  wait $xpid 2>/dev/null
  expect_released "$work/endless" "window, endless exit page"
}

case $case_name in
second_copy | window_matches_headless | test_pattern_is_repeatable | command_line | signals_end_in_order | display_lost | audio_out) "$case_name" ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac
((failures == 0))
