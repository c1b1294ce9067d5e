#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures build-sanitize/: clang with AddressSanitizer and UndefinedBehaviorSanitizer, the unit
# tests that need no display, and the fuzzing harnesses. Used by ./test and tools/fuzz.sh.
#
# The compiler is the release's default clang; its sanitizer and libFuzzer runtime comes with its
# own version (libclang-rt-<N>-dev), so a compiler that cannot link a sanitized fuzzer is refused
# here, by name, rather than minutes into the build.
set -euo pipefail
cd "$(dirname "$0")/.."

probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
printf '%s\n' 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) {' \
  '  return 0;' '}' >"$probe_dir/probe.cpp"
if ! clang++ -fsanitize=address,undefined,fuzzer "$probe_dir/probe.cpp" -o "$probe_dir/probe" \
  2>"$probe_dir/errors"; then
  major=$(clang++ -dumpversion)
  echo "configure-sanitize: clang++ $(clang++ -dumpversion) cannot link its sanitizer and fuzzing" \
    "runtime (in $(clang++ -print-resource-dir)); is libclang-rt-${major%%.*}-dev installed?" >&2
  cat "$probe_dir/errors" >&2
  exit 1
fi

launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 with line tables only: quick to build, fast enough to fuzz, and stack traces name the lines.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only" -DLARKWEND_SANITIZE=ON \
  "${launcher[@]}" >/dev/null
