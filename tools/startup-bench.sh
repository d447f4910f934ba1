#!/bin/sh
# Start-up time and idle memory of the program in its windows.
# Usage: tools/startup-bench.sh [build/bin/zugaret] [runs]
# Needs Xvfb and xwininfo (x11-utils). For each run the program is copied
# into a fresh folder with an ini file that names the user, started on its
# own X display, and timed from launch until the X server lists the main
# window's title; its VmRSS is read 3 s after that. It is then ended with
# SIGTERM (its normal shut-down).
set -e
program=$(readlink -f "${1:-build/bin/zugaret}")
runs=${2:-5}
display=:$((90 + $$ % 9))
Xvfb "$display" -screen 0 1600x1000x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
i=0
while [ $i -lt "$runs" ]; do
    dir=$(mktemp -d)
    cp "$program" "$dir/zugaret"
    printf '[User]\r\nNick=Bench\r\n' > "$dir/ZuzPlak.ini"
    start=$(date +%s%N)
    DISPLAY=$display "$dir/zugaret" >/dev/null 2>&1 &
    pid=$!
    until DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q 'Bench 1100 ELO'; do
        sleep 0.002
    done
    shown=$(date +%s%N)
    sleep 3
    rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
    kill -TERM $pid
    wait $pid || true
    echo "run $i: shown after $(( (shown - start) / 1000000 )) ms, VmRSS $((rss / 1024)) MB"
    rm -rf "$dir"
    i=$((i + 1))
done
