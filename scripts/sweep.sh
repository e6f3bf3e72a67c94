#!/usr/bin/env bash
# The sweep: every preset machine x every mode its dialog lists (each depth, linear as the
# dialog starts and toggled) x the whole test sequence, headless, on the build with
# AddressSanitizer and UndefinedBehaviorSanitizer. Prints one line per run and the totals:
# runs, runs that ended otherwise than back at the main dialog, sanitizer reports, hangs.
# Not part of the test command: a full sweep takes about 20 minutes on two cores (JOBS=2).
#
#   scripts/sweep.sh [PRESET...]        default: every preset of the virtual PC; name a QEMU,
#                                       Bochs or DOSBox preset to sweep it too (they run in
#                                       real time, over a debugger or a serial line: hours)
#   JOBS=2 LIMIT=900 KEYS=150 scripts/sweep.sh default novbe
set -uo pipefail
cd "$(dirname "$0")/.."

build=build-check
if [ ! -x "$build/palisade" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALISADE_SANITIZE=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" --target palisade KSWIN.EXE
fi
jobs=${JOBS:-2}
limit=${LIMIT:-900}     # seconds before a run counts as a hang
keys=${KEYS:-150}       # more keys than any mode's sequence has screens
work=$(mktemp -d /tmp/palisade-sweep-XXXXXX)
presets=("$@")
[ ${#presets[@]} -gt 0 ] ||
  mapfile -t presets < <("$build/palisade" --list-machines | awk '{print $1}' | grep -Ev '^(qemu|bochs|dosbox)')

# depth radio buttons: 4, 8, 15, 16, 24, 32 bit
depths=(120 116 115 119 118 117)

# One run: PRESET DEPTH LINEAR(start|toggled) ENTRY; prints "status reports preset depth linear entry".
run_one() {
  local preset=$1 depth=$2 linear=$3 entry=$4
  local dir="$work/$preset-$depth-$linear-$entry"
  mkdir -p "$dir"
  {
    echo "click $depth"
    [ "$linear" = toggled ] && echo "click 112"
    echo "select 114 #$entry"
    echo "click 121"
    # Any key but Esc moves the sequence on; the main dialog ignores "z".
    for ((k = 0; k < keys; ++k)); do echo "key z"; done
    echo "click 2"
  } >"$dir/run.script"
  (cd "$dir" && timeout --signal=KILL "$limit" "$OLDPWD/$build/palisade" --headless --machine "$preset" \
      --script run.script >out.txt 2>err.txt)
  local status=$?
  local reports
  reports=$(grep -cE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$dir/err.txt")
  echo "$status $reports $preset $depth $linear $entry"
}
export -f run_one
export build keys limit work

# The modes a depth lists: entries until the list box says there is none.
list_runs() {
  local preset depth linear entry
  for preset in "${presets[@]}"; do
    for depth in "${depths[@]}"; do
      for linear in start toggled; do
        for ((entry = 0; entry < 32; ++entry)); do
          local probe="$work/probe"
          mkdir -p "$probe"
          {
            echo "click $depth"
            [ "$linear" = toggled ] && echo "click 112"
            echo "select 114 #$entry"
            echo "click 2"
          } >"$probe/run.script"
          (cd "$probe" && "$OLDPWD/$build/palisade" --headless --machine "$preset" --script run.script \
              >/dev/null 2>err.txt)
          local status=$?
          # A step the dialog cannot take ends the run with status 5: past the list's last
          # entry, or a framebuffer option the machine does not offer.
          grep -qE "has no entry|is disabled" "$probe/err.txt" && break
          if [ $status -ne 0 ]; then
            echo "$preset: the start ends with status $status, no modes to run" >&2
            break 3
          fi
          echo "$preset $depth $linear $entry"
        done
      done
    done
  done
}

list_runs | xargs -r -P "$jobs" -L 1 bash -c 'run_one "$@"' _ | tee "$work/results.txt" |
  awk '{ printf "%-4s %-3s %-12s depth %s linear %-8s entry %s\n", $1, $2, $3, $4, $5, $6 }'

awk -v work="$work" '
  { runs++; if ($1 != 0) ended++; reports += $2; if ($1 == 137) hangs++ }
  END {
    printf "\nruns %d, not back at the dialog %d, sanitizer reports %d, hangs %d (kept in %s)\n",
           runs, ended + 0, reports + 0, hangs + 0, work
  }' "$work/results.txt"
