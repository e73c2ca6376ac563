#!/usr/bin/env bash
# Runs fuzz targets under afl-fuzz, each for a given number of seconds, at the lowest
# priority (the machine is shared). Output goes to BUILD/out/TARGET (started afresh);
# the summary line comes from afl-fuzz's fuzzer_stats.
#   run-fuzzer.sh BUILD_DIR TARGET|all SECONDS
set -euo pipefail

build=$1
target=$2
seconds=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

# afl++ is needed only here, not by the normal build or its tests.
if ! command -v afl-fuzz >/dev/null || [ ! -f /usr/lib/afl/libAFLDriver.a ]; then
    echo "fuzz: installing afl++"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends afl++
fi

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_FUZZ=ON
fi

if [ "$target" = all ]; then
    targets=$(ls "$here/corpus")
else
    targets=$target
fi
for t in $targets; do
    if [ ! -d "$here/corpus/$t" ]; then
        echo "fuzz: no target $t (targets: $(ls "$here/corpus" | tr '\n' ' '))" >&2
        exit 2
    fi
done
cmake --build "$build" --target $(for t in $targets; do echo "fuzz_$t"; done)

export AFL_SKIP_CPUFREQ=1 AFL_NO_AFFINITY=1 AFL_NO_UI=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1
export ASAN_OPTIONS=abort_on_error=1:symbolize=0:detect_leaks=0:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:symbolize=0
# Temporary trees of the targets stay inside the output folder.
for t in $targets; do
    out="$build/out/$t"
    rm -rf "$out"
    mkdir -p "$out/tmp"
    dict=()
    if [ -f "$here/dict/$t.dict" ]; then dict=(-x "$here/dict/$t.dict"); fi
    TMPDIR="$out/tmp" nice -n 19 afl-fuzz -i "$here/corpus/$t" -o "$out" "${dict[@]}" \
        -m none -t 2000 -V "$seconds" -- "$build/bin/fuzz_$t" >"$out/afl.log" 2>&1 || {
        echo "fuzz: afl-fuzz failed for $t, see $out/afl.log" >&2
        tail -20 "$out/afl.log" >&2
        exit 1
    }
    stats="$out/default/fuzzer_stats"
    field() { sed -n "s/^$1 *: //p" "$stats"; }
    echo "fuzz $t: $(field run_time) s, $(field execs_done) runs," \
        "$(field corpus_count) corpus, $(field saved_crashes) crashes, $(field saved_hangs) hangs"
    for f in "$out"/default/crashes/id:* "$out"/default/hangs/id:*; do
        [ -e "$f" ] && echo "  $f"
    done
done
