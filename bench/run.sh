#!/bin/sh
# The benchmarks: builds what they need, runs each benchmark program under Wine in a
# fresh prefix of its own, and prints the results as one table.
# Usage: bench/run.sh [x64] [x86]     (default: both bitnesses)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
presets=${*:-x64 x86}
for preset in $presets; do
    case $preset in x64|x86) ;; *) echo "usage: bench/run.sh [x64] [x86]" >&2; exit 2 ;; esac
done

scripts/setup.sh
for preset in $presets; do
    cmake --preset "$preset" -DRADIOSWITCH_BENCH=ON >/dev/null
    cmake --build --preset "$preset"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/radioswitch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

cache() { sed -n "s/^$2:[A-Z]*=//p" "build/$1/CMakeCache.txt"; }
triple() { case $1 in x64) echo x86_64-w64-mingw32 ;; x86) echo i686-w64-mingw32 ;; esac; }

# Runs one program in a fresh prefix cloned from this Wine's template (the prefix the
# tests start from, in a folder beside it, where its processes can be found in /proc).
templates=$root/build/wine-templates
run_program() {  # PRESET PROGRAM OUTPUT [ARGUMENT...]
    local preset=$1 program=$2 output=$3
    shift 3
    cmake/wine-test.sh "$(cache "$preset" WINE_LOADER)" "$(cache "$preset" WINE_LOADER_32BIT)" \
        "$templates" "$root/build/$preset/bin/$program.exe" "$@" >"$output" 2>&1
}

# One line per thread of a Linux process: thread, ns on a CPU, times it was scheduled
# in (every wake-up counts), voluntary and involuntary context switches.
thread_sample() {  # PID
    for task in /proc/$1/task/*; do
        read -r cpu _ slices <"$task/schedstat" || continue
        voluntary=$(sed -n 's/^voluntary_ctxt_switches:[[:space:]]*//p' "$task/status")
        involuntary=$(sed -n 's/^nonvoluntary_ctxt_switches:[[:space:]]*//p' "$task/status")
        echo "${task##*/} $cpu $slices $voluntary $involuntary"
    done 2>/dev/null
}

# The Linux process behind the service of our prefix.
service_unix_pid() {  # IMAGE
    for proc in /proc/[0-9]*; do
        tr '\0' '\n' <"$proc/cmdline" | grep -qiF "$1" || continue
        tr '\0' '\n' <"$proc/environ" | grep -q "^WINEPREFIX=$templates/run\\." || continue
        echo "${proc##*/}"
        return
    done 2>/dev/null
}

# Waits until FILE holds TEXT; false if the process PID ends first.
wait_for_line() {  # FILE TEXT PID
    until grep -q "$2" "$1" 2>/dev/null; do
        kill -0 "$3" 2>/dev/null || return 1
        sleep 0.05
    done
}

# The idle benchmark, with the Linux view of the service process: 10 s from the
# program's "window opens"; then the program takes its own second sample.
run_idle() {  # PRESET OUTPUT
    case $1 in x64) image=radioswitchsvc64.exe ;; x86) image=radioswitchsvc.exe ;; esac
    done_file="$work/idle.done"
    rm -f "$done_file"
    : >"$2"
    run_program "$1" bench_idle "$2" "Z:$(echo "$done_file" | tr / '\\')" &
    runner=$!
    if ! wait_for_line "$2" "IDLE window opens" $runner; then
        wait "$runner" || echo "  bench_idle FAILED" >>"$2"
        return
    fi
    pid=$(service_unix_pid "$image")
    thread_sample "$pid" >"$work/idle.before"
    start=$(date +%s%N)
    sleep 10
    thread_sample "$pid" >"$work/idle.after"
    end=$(date +%s%N)
    touch "$done_file"
    wait "$runner" || echo "  bench_idle FAILED" >>"$2"
    if [ -z "$pid" ]; then
        printf 'ROW\tidle service, Linux view: CPU time of all its threads (schedstat)\tno CPU\tnot measured: its process was not found\n' >>"$2"
        return
    fi
    awk -v ms=$(( (end - start) / 1000000 )) -v before="$work/idle.before" '
        FILENAME == before { cpu[$1] = $2; slices[$1] = $3; vol[$1] = $4; invol[$1] = $5; next }
        ($1 in cpu) { threads++; dcpu += $2 - cpu[$1]; dslices += $3 - slices[$1]; dvol += $4 - vol[$1]; dinvol += $5 - invol[$1] }
        END {
            if (threads == 0) { print "ROW\tidle service, Linux view: CPU time of all its threads (schedstat)\tno CPU\tnot measured: no thread seen twice"; exit }
            printf "  Linux view: %d threads over %d ms: %d ns on a CPU, scheduled in %d times, %d voluntary and %d involuntary context switches\n", threads, ms, dcpu, dslices, dvol, dinvol
            printf "ROW\tidle service, Linux view: CPU time of all its threads (schedstat)\tno CPU\t%d ns in %.1f s, %d threads (%s)\n", dcpu, ms / 1000, threads, dcpu == 0 ? "met" : "missed"
            printf "ROW\tidle service, Linux view: times its threads were scheduled in (schedstat)\tno wake-ups\t%d in %.1f s (%s)\n", dslices, ms / 1000, dslices == 0 ? "met" : "missed"
        }' "$work/idle.before" "$work/idle.after" >>"$2"
}

# The shipped images, stripped, against their limits; and what they import.
size_rows() {  # PRESET
    for image in "build/$1/bin/radioswitch"*.dll "build/$1/bin/radioswitchsvc.exe" "build/$1/bin/radioswitchsvc64.exe"; do
        [ -f "$image" ] || continue
        name=${image##*/}
        case $name in *.dll) limit=65536 ;; *) limit=131072 ;; esac
        "$(triple "$1")-strip" -o "$work/stripped" "$image"
        size=$(stat -c %s "$work/stripped")
        imports=$("$(triple "$1")-objdump" -p "$image" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | paste -sd' ')
        case $name in *.dll) kind=library ;; *) kind=service ;; esac
        verdict=$([ "$size" -le "$limit" ] && echo met || echo missed)
        printf 'ROW\tsize of the stripped %s image\t<= %d KiB\t%s: %d bytes = %.1f KiB (%s)\n' \
            "$kind" $((limit / 1024)) "$name" "$size" "$(echo "$size" | awk '{ print $1 / 1024 }')" "$verdict"
        printf 'ROW\timports of the %s image\tsystem DLLs only\t%s\n' "$kind" "$imports"
    done
}

disassembly() {  # PRESET
    objdump=$(triple "$1")-objdump
    echo "== $1: a disabled trace point, compiled with the library's flags (bench/trace_gate.cpp)"
    "$objdump" -dr --no-show-raw-insn "build/$1/bench/CMakeFiles/bench_trace_gate.dir/trace_gate.cpp.obj" |
        sed -n '/<_\{0,1\}DisabledTracePoint>:/,/^$/p'
    echo "== $1: the same gate at the start of IsBluetoothRadioEnabled in the shipped library's code"
    "$objdump" -dr --no-show-raw-insn "build/$1/library/CMakeFiles/radioswitch_objects.dir/entry_points.cpp.obj" |
        sed -n '/<_\{0,1\}IsBluetoothRadioEnabled\(@4\)\{0,1\}>:/,/^$/p' | head -16
    echo
}

echo "radioswitch benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(nproc) cores," \
     "$(uname -sr), $(wine --version 2>/dev/null), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
for preset in $presets; do
    # The template prefix is made once per Wine, as for the tests.
    if [ "$preset" = x86 ] && ! why=$(cmake/runs-32bit.sh); then echo "== $preset: not run ($why)"; continue; fi
    cmake/wine-template.sh "$templates" >/dev/null || { echo "== $preset: not run (no Wine prefix)"; continue; }
    disassembly "$preset"
    : >"$work/$preset.rows"
    for program in bench_switch bench_round_trip bench_state_read bench_trace_gate bench_idle; do
        echo "== $preset: $program"
        output="$work/$preset.$program.out"
        if [ $program = bench_idle ]; then
            run_idle "$preset" "$output"
        else
            run_program "$preset" $program "$output" || echo "  $program FAILED"
        fi
        # Wine's console ends the programs' lines with CR LF.
        tr -d '\r' <"$output" >"$output.lf"
        grep -v '^ROW' "$output.lf" || true
        grep '^ROW' "$output.lf" >>"$work/$preset.rows" || true
    done
    size_rows "$preset" >>"$work/$preset.rows"
    echo
done

# One row per measurement, one column per bitness.
set -- $presets
awk -F '\t' -v presets="$*" '
    BEGIN { n = split(presets, names, " ") }
    FNR == 1 { file++ }
    {
        key = $2
        if (!(key in target)) { order[++rows] = key; target[key] = $3 }
        result[key, file] = (result[key, file] == "" ? "" : result[key, file] "; ") $4
    }
    END {
        header = "| Benchmark | Target"; rule = "|---|---"
        for (i = 1; i <= n; i++) { header = header " | " (names[i] == "x64" ? "64-bit" : "32-bit"); rule = rule "|---" }
        print header " |"; print rule "|"
        for (r = 1; r <= rows; r++) {
            line = "| " order[r] " | " target[order[r]]
            for (i = 1; i <= n; i++) line = line " | " result[order[r], i]
            print line " |"
        }
    }' $(for preset in $presets; do echo "$work/$preset.rows"; done)
