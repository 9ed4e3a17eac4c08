#!/bin/bash
# Kills the headless player (SIGKILL) at seeded random moments while it rewrites its save file:
# every save.dat left behind must load, and the temporaries of killed writers must not pile up.
# Usage: saves_killed.sh ROKUTOOL RUKOPLAY TITLE_DIR WORK [SEED]
set -u
tool=$1 player=$2 title=$3 work=$4
seed=${5:-$(( $(date +%s) % 100000 ))}
echo "seed $seed (rerun with it as the fifth argument)"
RANDOM=$seed

rm -rf "$work"
mkdir -p "$work/src" "$work/tmp"
cp "$title"/main.rss "$title"/notes.txt "$work/src/"
cp "$title"/title.cfg "$work/src/title.ini"
# Large enough that a kill often lands inside a write.
yes "one line of the larger file, repeated" | head -c 400000 > "$work/src/big.txt"
"$tool" build "$work/src" -o "$work/title" || exit 1

saves=$work/saves
temporaries() { find "$saves" -maxdepth 1 -name '~*' 2>/dev/null | wc -l; }
for run in $(seq 1 10); do
    TMPDIR=$work/tmp "$player" --headless --until 600000 --save-dir "$saves" "$work/title" \
        2>>"$work/stderr.txt" &
    pid=$!
    delay=$(( RANDOM % 700 + 150 ))
    sleep "$(printf '0.%03d' "$delay")"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    if [ -e "$saves/save.dat" ]; then
        if ! "$tool" saves "$saves/save.dat" --title "$work/title" >"$work/last.txt" 2>&1; then
            echo "run $run (killed after $delay ms): save.dat does not load:"
            cat "$work/last.txt"
            exit 1
        fi
    fi
    # Only the killed writer's own: its file and, killed between the two renames, its backup link.
    count=$(temporaries)
    if [ "$count" -gt 2 ]; then
        echo "run $run: $count temporaries beside save.dat"
        ls -a "$saves"
        exit 1
    fi
done
if [ ! -e "$saves/save.dat" ]; then
    echo "no run wrote save.dat"
    exit 1
fi
# An orderly run afterwards clears what the killed ones left and says nothing.
TMPDIR=$work/tmp "$player" --headless --frames 4 --save-dir "$saves" "$work/title" 2>>"$work/stderr.txt" || exit 1
if [ "$(temporaries)" -ne 0 ] || [ -s "$work/stderr.txt" ]; then
    echo "after an orderly run: $(temporaries) temporaries; stderr:"
    cat "$work/stderr.txt"
    exit 1
fi
"$tool" saves "$saves/save.dat" --title "$work/title" || exit 1
echo "10 kills, every save.dat loaded"
