#!/usr/bin/env bash
# End-to-end cost of `korvala analyze`: seconds of audio per second of CPU on a
# 10-minute generated file (output to /dev/null), side by side with a plain
# beat tracker (aubiotrack -B 2048 -H 512) on the same file, and the resident
# size for a 1-minute against a 60-minute stream, and the throughput of
# `korvala summary` over many files with every core against one.
# Usage: scripts/bench-e2e.sh [build-dir]   (needs: scripts/install-deps.sh --with-bench)
set -euo pipefail
build=${1:-build/release}
korvala="$build/tools/korvala"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$korvala" demo --seconds 600 --encoding pcm16 --out "$work/ten_minutes.wav"

cpu_seconds() { # command... → user+sys CPU seconds of one run
  /usr/bin/time -f '%U %S' -o "$work/t" "$@" >/dev/null 2>&1
  awk '{print $1 + $2}' "$work/t"
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

runs=5
k=(); a=()
for _ in $(seq $runs); do
  k+=("$(cpu_seconds "$korvala" analyze "$work/ten_minutes.wav" --out /dev/null --quiet --no-progress)")
  if command -v aubiotrack >/dev/null; then
    a+=("$(cpu_seconds aubiotrack -B 2048 -H 512 -i "$work/ten_minutes.wav")")
  fi
done
kmed=$(printf '%s\n' "${k[@]}" | median)
echo "korvala analyze, 600 s of audio: median CPU ${kmed} s = $(awk -v c="$kmed" 'BEGIN {printf "%.0f", 600 / c}') x real time"
if [[ ${#a[@]} -gt 0 ]]; then
  amed=$(printf '%s\n' "${a[@]}" | median)
  echo "aubiotrack -B 2048 -H 512:     median CPU ${amed} s; korvala / aubiotrack = $(awk -v k="$kmed" -v a="$amed" 'BEGIN {printf "%.2f", k / a}')"
fi

rss() { # seconds → peak resident size in kB while analysing a raw stream of that length
  "$korvala" demo --seconds "$1" --out "$work/s.raw"
  /usr/bin/time -f '%M' -o "$work/m" "$korvala" analyze - --out /dev/null --quiet <"$work/s.raw"
  rm -f "$work/s.raw"
  cat "$work/m"
}
echo "peak resident size, 1-minute stream:  $(rss 60) kB"
echo "peak resident size, 60-minute stream: $(rss 3600) kB"

wall_seconds() { # command... → wall-clock seconds of one run
  /usr/bin/time -f '%e' -o "$work/w" "$@" >/dev/null 2>&1
  cat "$work/w"
}
# Many files: 16 one-minute files, one core against every core (the default
# --jobs). Files per second on N cores should be at least 0.8 x N x one core's.
cores=$(nproc)
"$korvala" demo --seconds 60 --encoding pcm16 --out "$work/one_minute.wav"
files=()
for i in $(seq 16); do
  ln -s "$work/one_minute.wav" "$work/file_$i.wav"
  files+=("$work/file_$i.wav")
done
one=(); all=()
for _ in $(seq $runs); do
  one+=("$(wall_seconds "$korvala" summary --jobs 1 --no-progress "${files[@]}")")
  all+=("$(wall_seconds "$korvala" summary --jobs "$cores" --no-progress "${files[@]}")")
done
omed=$(printf '%s\n' "${one[@]}" | median)
amed=$(printf '%s\n' "${all[@]}" | median)
echo "korvala summary, 16 one-minute files: --jobs 1 ${omed} s, --jobs ${cores} ${amed} s wall (medians)"
awk -v o="$omed" -v a="$amed" -v n="$cores" 'BEGIN {
  printf "throughput on %d cores: %.2f x one core = %.2f x N (goal: at least 0.8 x N)\n", n, o / a, o / a / n }'
