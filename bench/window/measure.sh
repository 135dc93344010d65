#!/bin/bash
# Times the job scripts of this folder through keldana_driver, each run
# against the reference run: measure.sh BINDIR [RUNS] [PLATFORM]
# (PLATFORM offscreen by default; xcb under xvfb-run -a for an X server).
# Prints the wall and processor seconds of every run.
set -e
bin=$(cd "$1" && pwd)
runs=${2:-5}
export QT_QPA_PLATFORM=${3:-offscreen}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
for run in $(seq "$runs"); do
    for script in open_benzoquinone cp_search_benzoquinone map_benzoquinone map3d_benzoquinone; do
        /usr/bin/time -f "$script %e s wall %U s user %S s system" \
            "$bin/keldana_driver" "$here/$script.kds" "$work/$script" 2>&1 >/dev/null | tail -1
    done
done
rm -rf "$work"
