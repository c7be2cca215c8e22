#!/bin/bash
# Runs PLOT, "mlb", "mus" with SAVE, and SAVE on each drawing of the heavy corpus (bench/heavy_corpus.py) with
# this build and with another, and prints per drawing and session: exit status, whether the output was
# written, and the processor seconds and instructions of the cadhost process.
#
# usage: bench/heavy_corpus.sh OTHER_BUILD [ROOMS ...]     (rooms 1000 2000 by default)
#   THIS_BUILD=dir   this build (default: build beside this script's folder)
#   KEEP=dir         write the corpus there and keep it (default: a temporary folder, removed)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
this=${THIS_BUILD:-$here/build}
other=${1:?usage: heavy_corpus.sh OTHER_BUILD [ROOMS ...]}
shift
sizes=("${@:-1000 2000}")
work=${KEEP:-$(mktemp -d /tmp/kelmo-corpus.XXXXXX)}
mkdir -p "$work/c/CadHost/kelmo/prefs"
printf '//\tKelmo 2001\r\n//\r\n//\tConfiguration file for Ostrel\r\n//\r\nunits\r\n0\r\nprecison\r\n2\r\ntextSize\r\n250.00\r\ntextScale\r\n1.00\r\ntextRotation\r\n0.00\r\ncsvOpener\r\nNONE\r\nzoomBorder\r\n1000\r\ninc\r\n1\r\n' \
    >"$work/c/CadHost/kelmo/prefs/prefs.cfg"

# session BUILD DRAWING SCRIPT OUTPUT: runs one session on a copy of the drawing; prints
# "status written seconds instructions".
session() {
    local build=$1 drawing=$2 script=$3 output=$4
    cp "$work/$drawing" "$work/run.dxf"
    rm -f "$work/out.png" "$work/listing.txt"
    printf '%b' "$script" >"$work/run.scr"
    local before
    before=$(stat -c %Y.%s "$work/run.dxf")
    sleep 1
    (cd "$work" && perf stat -x, -e instructions:u -o perf.txt \
        /usr/bin/time -f '%U %S' -o time.txt \
        "$build/host/cadhost" --batch --c-drive c --module "$build/module/libkelmo.so" --script run.scr run.dxf \
        >listing.txt 2>err.txt)
    local status=$?
    local written=no
    case $output in
    png) [ -s "$work/out.png" ] && written=yes ;;
    listing) grep -q '^ROOM-[0-9]*,.*,[0-9]*$' "$work/listing.txt" && written=yes ;;
    saved) [ "$(stat -c %Y.%s "$work/run.dxf")" != "$before" ] && written=yes ;;
    esac
    local seconds instructions
    seconds=$(awk '{ printf "%.2f", $1 + $2 }' "$work/time.txt" 2>/dev/null | tail -1)
    instructions=$(awk -F, '/instructions/ { printf "%.3f", $1 / 1e9 }' "$work/perf.txt" 2>/dev/null)
    echo "$status $written ${seconds:-?} ${instructions:-?}"
}

printf '%-24s %-8s %-22s %-22s %s\n' drawing session "this: exit out s Ginstr" "other: exit out s Ginstr" "ratio"
for rooms in ${sizes[@]}; do
    /usr/bin/python3 "$here/bench/heavy_corpus.py" "$rooms" "$work" || exit 2
    for kind in office floor site texts linetypes dimensions; do
        drawing=${kind}_${rooms}.dxf
        for what in plot mlb mus save; do
            case $what in
            plot) script='PLOT out.png\n' output=png ;;
            mlb) script='mlb\n\n\n' output=listing ;;
            mus) script='mus\nSAVE\n' output=saved ;;
            save) script='SAVE\n' output=saved ;;
            esac
            read -r s1 w1 t1 i1 <<<"$(session "$this" "$drawing" "$script" "$output")"
            read -r s2 w2 t2 i2 <<<"$(session "$other" "$drawing" "$script" "$output")"
            ratio=$(awk -v a="$i1" -v b="$i2" 'BEGIN { if (b > 0 && a > 0) printf "%.2f", a / b; else print "-" }')
            printf '%-24s %-8s %-22s %-22s %s\n' "$drawing" "$what" "$s1 $w1 $t1 $i1" "$s2 $w2 $t2 $i2" "$ratio"
        done
    done
done
[ -z "${KEEP:-}" ] && rm -rf "$work"
