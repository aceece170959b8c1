#!/usr/bin/env bash
# Times "tarnwick -chklock" against fuser on the C library, pair by pair in
# one run, each as a whole process.  Both read every process's mappings;
# fuser also walks every process's descriptors.
#
#   bench/chklock_vs_fuser.sh [tarnwick] [rounds]
#
# Prints the number of processes, the total time of each tool and the ratio
# tarnwick / fuser (lower is faster).
set -eu

tarnwick=${1:-build/installer/tarnwick}
rounds=${2:-30}
command -v fuser >/dev/null 2>&1 || { echo "fuser is not installed" >&2; exit 2; }
[ -x "$tarnwick" ] || { echo "no program $tarnwick" >&2; exit 2; }

# The C library this shell has mapped, by its full path.
libc=$(awk '$6 ~ /\/libc[.-][^\/]*so/ { print $6; exit }' /proc/$$/maps)
[ -n "$libc" ] || { echo "cannot find the C library's path" >&2; exit 2; }

# Times in microseconds, read by the shell itself: a clock program started
# between the runs would add its own start-up to both.
[ -n "${EPOCHREALTIME:-}" ] || { echo "needs bash 5 (EPOCHREALTIME)" >&2; exit 2; }

total_tarnwick=0
total_fuser=0
i=0
while [ "$i" -lt "$rounds" ]; do
  start=${EPOCHREALTIME/[.,]/}
  "$tarnwick" -chklock "-in=$libc" -out=no >/dev/null
  middle=${EPOCHREALTIME/[.,]/}
  fuser "$libc" >/dev/null 2>&1 || true
  end=${EPOCHREALTIME/[.,]/}
  total_tarnwick=$((total_tarnwick + middle - start))
  total_fuser=$((total_fuser + end - middle))
  i=$((i + 1))
done

processes=$(ls /proc | grep -c '^[0-9][0-9]*$')
echo "file:      $libc"
echo "processes: $processes"
echo "rounds:    $rounds"
echo "tarnwick:  $((total_tarnwick / rounds)) us per run"
echo "fuser:     $((total_fuser / rounds)) us per run"
awk -v t="$total_tarnwick" -v f="$total_fuser" 'BEGIN { printf "ratio:     %.2f\n", t / f }'
