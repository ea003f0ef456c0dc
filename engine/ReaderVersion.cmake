# The reader version of the text cache: a hash of every source the readers are built from, so
# that no change of a reader can be served from rows an older reader stored.
#
# The build runs this script whenever one of those files changes and writes ReaderVersion.h.
# Run by hand from the source root, it writes the derived version into engine/ReaderVersion.txt,
# the version shipped with the sources:
#
#   cmake -P engine/ReaderVersion.cmake
#
# Inputs: SOURCE_ROOT (default: the folder above this script), OUTPUT (the header to write; when
# missing, the shipped version is refreshed instead).

if(NOT SOURCE_ROOT)
  get_filename_component(SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()
set(shipped_file "${SOURCE_ROOT}/engine/ReaderVersion.txt")

# The readers, the Word reader and the helper, and the text decoding they share. Hidden files and
# editors' backups are no part of a reader.
file(GLOB_RECURSE sources RELATIVE "${SOURCE_ROOT}"
     "${SOURCE_ROOT}/extract/*" "${SOURCE_ROOT}/wordbin/*" "${SOURCE_ROOT}/helper/*"
     "${SOURCE_ROOT}/platform/Text.h" "${SOURCE_ROOT}/platform/Text.cpp")
list(FILTER sources EXCLUDE REGEX "(^|/)\\.|~$")
list(SORT sources)
set(digests "")
foreach(source IN LISTS sources)
  file(SHA256 "${SOURCE_ROOT}/${source}" digest)
  string(APPEND digests "${source} ${digest}\n")
endforeach()
string(SHA256 all "${digests}")
string(SUBSTRING "${all}" 0 8 derived)

if(NOT OUTPUT)
  file(WRITE "${shipped_file}" "${derived}\n")
  message(STATUS "reader version ${derived} written to ${shipped_file}")
  return()
endif()

set(shipped "0")
if(EXISTS "${shipped_file}")
  file(STRINGS "${shipped_file}" lines LIMIT_COUNT 1 REGEX "^[0-9a-f]+$")
  if(lines)
    set(shipped "${lines}")
  endif()
endif()
file(WRITE "${OUTPUT}"
"#pragma once
// Written by engine/ReaderVersion.cmake at build time; do not edit.
#include <cstdint>

namespace tessarel {

// Derived from the readers' sources: a row stored by another reader misses.
inline constexpr std::uint32_t kReaderVersion = 0x${derived}u;
// The version engine/ReaderVersion.txt ships; a test holds the two equal.
inline constexpr std::uint32_t kShippedReaderVersion = 0x${shipped}u;
inline constexpr const char* kReaderVersionRefresh = \"cmake -P engine/ReaderVersion.cmake\";

} // namespace tessarel
")
