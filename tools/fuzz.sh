#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one fuzzing harness (fuzz/<NAME>_fuzz.cpp) for SECONDS on one core, by hand:
#   tools/fuzz.sh NAME SECONDS [extra libFuzzer options]
# It starts from the committed corpus (fuzz/corpus/NAME) and keeps what it learns in
# build-sanitize/fuzz-corpus/NAME; inputs that break a property land in
# build-sanitize/fuzz-findings/NAME. The final line of statistics gives runs and coverage.
set -euo pipefail
cd "$(dirname "$0")/.."

if (($# < 2)); then
  echo "usage: $0 NAME SECONDS [libFuzzer options]; names:" \
    "$(cd fuzz && ls -- *_fuzz.cpp | sed 's/_fuzz.cpp//' | tr '\n' ' ')" >&2
  exit 2
fi
name=$1
seconds=$2
shift 2

tools/configure-sanitize.sh
cmake --build build-sanitize -j2 --target "fuzz_${name}"

corpus=build-sanitize/fuzz-corpus/$name
findings=build-sanitize/fuzz-findings/$name
mkdir -p "$corpus" "$findings"
exec "build-sanitize/bin/fuzz_${name}" "$corpus" "fuzz/corpus/$name" \
  -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/" "$@"
