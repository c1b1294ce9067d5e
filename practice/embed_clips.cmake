# SPDX-License-Identifier: GPL-3.0-or-later
# Turns the practice site's clips into a C++ header of byte arrays, so an installed site carries
# them inside and serves them wherever it is started from.
# Usage:
#   cmake -DOUTPUT=<header> -DCLIPS="<name>=<file>|..." -P embed_clips.cmake
# Each clip becomes `kClip<name>`, an array of its bytes.
set(body "// Generated from the clips in practice/clips; do not edit.\n#pragma once\n\n")
string(APPEND body "namespace larkwend::practice::embedded {\n\n")
string(REPLACE "|" ";" CLIPS "${CLIPS}")
foreach(entry IN LISTS CLIPS)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "inline constexpr unsigned char kClip${name}[] = {${bytes}};\n")
endforeach()
string(APPEND body "\n}  // namespace larkwend::practice::embedded\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
