# SPDX-License-Identifier: GPL-3.0-or-later
# Turns the program's PNG pictures into a C++ header of byte arrays, so the program carries its
# pictures inside and finds them wherever it is started from.
# Usage:
#   cmake -DOUTPUT=<header> -DPICTURES="<id>=<file>|<id>@<scale>=<file>" -P embed_pictures.cmake
# A picture given with a scale is the same picture drawn for that many device pixels per logical
# pixel; without one it is drawn for 1.
set(body "// Generated from the PNG files in src/resources; do not edit.\n#pragma once\n\n")
string(APPEND body "namespace larkwend::embedded {\n\n")
set(table "")
string(REPLACE "|" ";" PICTURES "${PICTURES}")
foreach(entry IN LISTS PICTURES)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 key)
  list(GET parts 1 file)
  if(key MATCHES "^([0-9]+)@([0-9]+)$")
    set(id ${CMAKE_MATCH_1})
    set(scale ${CMAKE_MATCH_2})
  else()
    set(id ${key})
    set(scale 1)
  endif()
  set(name kPicture${id}x${scale})
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "inline constexpr unsigned char ${name}[] = {${bytes}};\n")
  string(APPEND table "    {${id}, ${scale}, ${name}, sizeof ${name}},\n")
endforeach()
string(APPEND body "\nstruct Picture {\n  int id;\n  int scale;\n  const unsigned char* data;\n  unsigned long size;\n};\n")
string(APPEND body "inline constexpr Picture kPictures[] = {\n${table}};\n\n}  // namespace larkwend::embedded\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
