#!/usr/bin/env bash
# For a change meant to change nothing the programs do (a reformat, a
# rename): builds a revision (default HEAD~1) and the work tree in Release,
# then compares, for both programs, their answers to one UCI session of
# fixed-depth searches (time and nps dropped, node counts kept) and their
# stripped binaries, byte for byte (both built with the same __DATE__ and
# __TIME__ through SOURCE_DATE_EPOCH). Fails on any difference.
#   tools/sameprograms.sh [revision]
set -euo pipefail
cd "$(dirname "$0")/.."
rev="${1:-HEAD~1}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/old" "$tmp/new" "$tmp/run"
export SOURCE_DATE_EPOCH=0
git archive "$rev" | tar -x -C "$tmp/old"
git ls-files -z | xargs -0 tar -c | tar -x -C "$tmp/new"
for t in old new; do
  cmake -S "$tmp/$t" -B "$tmp/$t/build" -DCMAKE_BUILD_TYPE=Release -DTARVOK_TESTS=OFF >/dev/null
  cmake --build "$tmp/$t/build" -j8 >/dev/null
done
session=(uci "setoption name OwnBook value false" "setoption name Hash value 16" isready ucinewgame
  "position startpos" "go depth 13"
  "position startpos moves e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6" "go depth 12"
  "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 9" "go depth 12"
  "setoption name MultiPV value 3"
  "position fen 2r3k1/pp3ppp/4p3/3n4/3P4/1B3N2/PP3PPP/2R3K1 b - - 0 25" "go depth 13"
  "setoption name MultiPV value 1" ucinewgame
  "position fen 8/5pk1/6p1/8/3K4/8/5PP1/8 w - - 0 50" "go depth 22"
  "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1" "go depth 10"
  "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1" "go depth 6")
# Sends the session to a program, waiting for each search's bestmove.
answers() {
  coproc E { cd "$tmp/run" && "$1" 2>&1; }
  for line in "${session[@]}"; do
    echo "$line" >&"${E[1]}"
    if [[ $line == go* ]]; then
      while read -r out <&"${E[0]}"; do echo "$out"; [[ $out == bestmove* ]] && break; done
    fi
  done
  echo quit >&"${E[1]}"
  cat <&"${E[0]}"
  wait
}
status=0
for p in tarvok-18-linux-64-popcnt tarvok-18-linux-64; do
  for t in old new; do
    answers "$tmp/$t/build/$p" | sed -E 's/ (time|nps) [0-9]+//g' | grep -v 'currmove\|hashfull' >"$tmp/$t.$p.txt"
    strip -o "$tmp/$t.$p.bin" "$tmp/$t/build/$p"
  done
  if diff "$tmp/old.$p.txt" "$tmp/new.$p.txt"; then echo "$p: same answers ($(grep -c bestmove "$tmp/new.$p.txt") searches)"; else status=1; fi
  if cmp "$tmp/old.$p.bin" "$tmp/new.$p.bin"; then echo "$p: same stripped binary"; else status=1; fi
done
exit $status
