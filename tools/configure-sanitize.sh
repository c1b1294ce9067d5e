#!/usr/bin/env bash
# Configures build-sanitize/: clang with AddressSanitizer and UndefinedBehaviorSanitizer, the unit
# tests that need no display, and the fuzzing harnesses. Used by ./test and tools/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 with line tables only: quick to build, fast enough to fuzz, and stack traces name the lines.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" -DLARKWEND_SANITIZE=ON \
  "${launcher[@]}" >/dev/null
