#!/usr/bin/env bash
# Scale cases of trk_to_zrp: inputs that are large in one direction each
# (many tag groups, many tiny chunks, many variables, a huge string, very long
# numbers and words) and a file that claims far more data than it holds.
# Each case runs at two sizes; the ratio of the CPU times, set against the
# ratio of the sizes, shows how the cost grows (the same ratio when linear,
# its square when quadratic). Prints wall time, CPU time and peak resident
# memory of each run, measured for the child alone.
#
# Before numbers and words were matched piecewise, an unquoted word took
# 0.6 s at 8,000 characters, 2.5 s at 16,000 and 10 s at 32,000 (a 1 MB
# word would have taken hours), and so did a number or a run of blanks
# after "<value>".
#
#   bench/scale.sh [build-folder]   default $TRK_BUILD_DIR or build/;
#                                   scripts/bench --scale passes its own.
#
# The inputs are generated once into <build>/bench/scale (about 500 MB).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${TRK_BUILD_DIR:-$root/build}}"
program="$build/translator/trk_to_zrp"
work="$build/bench/scale"

die() {
    echo "bench/scale.sh: $*" >&2
    exit 1
}

command -v python3 >/dev/null || die "python3 is needed to generate the inputs and measure the runs"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || die "cmake failed"
fi
cmake --build "$build" --target trk_to_zrp >/dev/null || die "building trk_to_zrp failed"
mkdir -p "$work"

# generate KIND SIZE FILE: writes one input file.
generate() {
    python3 - "$@" <<'PYTHON'
import struct, sys

kind, size, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
PARCEL = "{Name: 'Parcel Index', Type: 0, DataType: Unsigned4, DataSize: 4}"
POSITION = "{Name: Position, Type: 3, DataType: 'Vector<3,Float4>', DataSize: 12}"

def chunk(name, points, variables=(PARCEL, POSITION), chunk_id=1):
    return ("{ClassName: TrackChunk, Steady: true, Id: %d, Name: '%s', Size: %d, Variables: [%s]}\n"
            % (chunk_id, name, points, ", ".join(variables))).encode()

def point(parcel):
    return struct.pack("<I", parcel) + struct.pack("<3f", 1.0, 2.0, 3.0)

with open(path, "wb") as out:
    if kind == "groups":          # SIZE tag groups of one point each
        for i in range(size):
            out.write(chunk("group %d" % i, 1, chunk_id=i) + point(i))
    elif kind == "chunks":        # SIZE chunks of one group, "Size" 0 and 1 in turn
        empty = chunk("A", 0)
        full = chunk("A", 1)
        for i in range(size):
            out.write(empty if i % 2 == 0 else full + point(i))
    elif kind == "variables":     # one chunk of 10 points with SIZE scalar variables
        scalars = ["{Name: 'v%d', Type: 0, DataType: Float4, DataSize: 4}" % i for i in range(size)]
        out.write(chunk("A", 10, [PARCEL, POSITION] + scalars))
        out.write(struct.pack("<10I", *range(10)) + struct.pack("<30f", *range(30)))
        out.write(struct.pack("<f", 0.5) * (10 * size))
    else:                         # a record whose block holds one token of SIZE bytes
        token = {"string": "'" + "s" * size + "'",
                 "word": "w" * size,
                 "number": "0" * (size - 1) + "1",
                 "blanks": "<value>" + " " * size + "<int>1</int></value>"}[kind]
        out.write(("{ClassName: Note, Text: %s}\n" % token).encode())
        out.write(chunk("A", 1) + point(0))
PYTHON
}

# input KIND SIZE: prints the path of the input, generating it when missing.
input() {
    local file="$work/$1-$2.trk"
    if [ ! -f "$file" ]; then
        generate "$1" "$2" "$file.part" || die "generating $1 $2 failed"
        mv "$file.part" "$file"
    fi
    echo "$file"
}

# measure INPUT [pipe]: runs trk_to_zrp on INPUT (through a pipe when asked)
# with the output to a file, and prints "status wall cpu rss_mib".
measure() {
    python3 - "$program" "$1" "$work/out.zrp" "${2:-}" <<'PYTHON'
import os, subprocess, sys, threading, time

program, source, output, through_pipe = sys.argv[1:5]
start = time.monotonic()
if through_pipe:
    fifo = output + ".fifo"
    if os.path.exists(fifo):
        os.remove(fifo)
    os.mkfifo(fifo)
    def feed():
        with open(source, "rb") as data, open(fifo, "wb") as pipe:
            pipe.write(data.read())
    feeder = threading.Thread(target=feed)
    feeder.start()
    child = subprocess.Popen([program, fifo, output], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
else:
    child = subprocess.Popen([program, source, output], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, status, usage = os.wait4(child.pid, 0)
wall = time.monotonic() - start
if through_pipe:
    feeder.join()
    os.remove(fifo)
print(os.waitstatus_to_exitcode(status), "%.3f" % wall, "%.3f" % (usage.ru_utime + usage.ru_stime),
      "%.1f" % (usage.ru_maxrss / 1024))
PYTHON
}

# scale_case TITLE KIND SMALL LARGE: the case at both sizes.
scale_case() {
    local title="$1" kind="$2" small="$3" large="$4"
    local status wall cpu rss file cpu_small=""
    echo "$title"
    for size in "$small" "$large"; do
        file="$(input "$kind" "$size")"
        read -r status wall cpu rss < <(measure "$file")
        printf '  size %10d: status %d, wall %7.2f s, CPU %7.2f s, peak RSS %8.1f MiB, input %8.1f MiB\n' \
            "$size" "$status" "$wall" "$cpu" "$rss" "$(awk -v b="$(stat -c %s "$file")" 'BEGIN { print b / 1048576 }')"
        [ "$status" -eq 0 ] || die "$title: trk_to_zrp ended with status $status"
        [ -n "$cpu_small" ] || cpu_small="$cpu"
    done
    awk -v s="$cpu_small" -v l="$cpu" -v n="$small" -v m="$large" 'BEGIN {
        if (s < 0.02) printf "  CPU time ratio: the smaller case is too quick to tell\n"
        else printf "  CPU time ratio %.1f for %g times the size (linear: %g, quadratic: %g)\n", l / s, m / n, m / n, (m / n) ^ 2 }'
}

echo "trk_to_zrp scale cases, $program; load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
# A child counts the resident size of the process that started it until it
# starts the program, so every peak below includes this floor.
read -r status wall cpu rss < <(measure "$work/no-such-file.trk")
printf 'floor: a run that only fails to open its input peaks at %.1f MiB\n' "$rss"
scale_case "tag groups of one point each" groups 25000 100000
scale_case "chunks of \"Size\" 0 and 1 in turn, one tag group" chunks 250000 1000000
scale_case "one chunk of 10 points with this many scalar variables" variables 10000 80000
scale_case "a property block with a string of this many bytes" string 25000000 100000000
scale_case "a property block with an unquoted word of this many bytes" word 1000000 16000000
scale_case "a property block with a number of this many digits" number 1000000 16000000
scale_case "a property block with this many blanks after <value>" blanks 1000000 16000000

# A chunk of "Size" 2^29 whose 4-byte parcel indexes alone claim 2 GiB, in
# a file of about 200 bytes: refused with status 1 before anything that size
# is allocated, whether the size of the input is known (a file) or not (a pipe).
claim="$work/claim.trk"
python3 - "$claim" <<'PYTHON'
import sys
block = ("{ClassName:TrackChunk,Steady:true,Id:1,Name:A,Size:536870912,Variables:["
         "{Name:'Parcel Index',Type:0,DataType:Unsigned4,DataSize:4},"
         "{Type:3,DataType:'Vector<3,Float4>',DataSize:4}]}\n")
open(sys.argv[1], "wb").write(block.encode() + bytes(200 - len(block)))
PYTHON
echo "a $(stat -c %s "$claim")-byte file whose chunk claims 2 GiB of data"
for how in file pipe; do
    read -r status wall cpu rss < <(measure "$claim" "$([ "$how" = pipe ] && echo pipe || true)")
    printf '  from a %s: status %d, wall %5.2f s, peak RSS %6.1f MiB\n' "$how" "$status" "$wall" "$rss"
    [ "$status" -eq 1 ] || die "the oversized claim from a $how ended with status $status, not 1"
done
rm -f "$work/out.zrp"
