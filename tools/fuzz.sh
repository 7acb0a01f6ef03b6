#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang++ in build-fuzz and runs
# each for a while, all at the same time, starting from the seed corpus in
# fuzz/corpus/<target> (new inputs go to build-fuzz/corpus/<target>).
#   tools/fuzz.sh [seconds] [target ...]   default 30 seconds, every target
#   TARVOK_FUZZ_JOBS   targets run at once (default 8)
# A crash, a hang (10 s per input), a sanitizer report or a failed check
# stops that target; its input is kept as build-fuzz/artifacts/<target>-*
# and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
all=(fen moves book pgn epd fenlist)
if [ -d fuzz/corpus/uci ]; then all+=(uci xboard ini); fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
jobs="${TARVOK_FUZZ_JOBS:-8}"

# clang++ and its libFuzzer runtime (a separate Debian package).
if ! command -v clang++ >/dev/null 2>&1 ||
   ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  apt-get update -qq && apt-get install -y -qq clang libclang-rt-dev >/dev/null
fi
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVOK_FUZZ=ON -DTARVOK_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target $(printf 'fuzz_%s ' "${targets[@]}")

# Longest input per target: a line-oriented text needs little, a session more
# (past the 64 KiB line the program reads whole, as fuzz/fuzz_session.h says).
max_len() {
  case "$1" in
    fen) echo 512 ;; epd) echo 4096 ;; uci|xboard) echo 70000 ;; *) echo 16384 ;;
  esac
}

# Absolute paths: the session targets work in a directory of their own.
root="$PWD"
mkdir -p build-fuzz/artifacts build-fuzz/logs
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
pids=()
names=()
running=0
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  dict=()
  [ -f "fuzz/dict/$t.dict" ] && dict=(-dict="$root/fuzz/dict/$t.dict")
  # Sessions are worth fuzzing at full length from the start.
  case "$t" in uci|xboard) dict+=(-len_control=0) ;; esac
  "$root/build-fuzz/fuzz/fuzz_$t" "$root/build-fuzz/corpus/$t" "$root/fuzz/corpus/$t" "${dict[@]}" \
    -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=1024 -artifact_prefix="$root/build-fuzz/artifacts/$t-" -print_final_stats=1 \
    >"build-fuzz/logs/$t.log" 2>&1 &
  pids+=($!)
  names+=("$t")
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done

status=0
for i in "${!pids[@]}"; do
  t="${names[$i]}"
  if wait "${pids[$i]}"; then result=ok; else result=FAILED; status=1; fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/logs/$t.log" | grep -o '[0-9]*$' || true)
  printf 'fuzz_%-8s %-6s %s executions in %s s\n' "$t" "$result" "${runs:-?}" "$seconds"
  if [ "$result" = FAILED ]; then tail -n 60 "build-fuzz/logs/$t.log"; fi
done
exit $status
