# SPDX-License-Identifier: GPL-3.0-or-later
cmake_minimum_required(VERSION 3.25)
# Fails when code outside the store includes a store header that is not in
# its face (src/store/include/store/); tools/, bench/, the shared test
# support and the tests of other folders may also include tableinternals.h.
# Fails too when a benchmark includes a header of tests/.
# Run as: cmake -DSOURCE_DIR=<root> -P checkface.cmake
file(GLOB FACE RELATIVE ${SOURCE_DIR}/src/store/include/store ${SOURCE_DIR}/src/store/include/store/*.h)
file(GLOB_RECURSE PROGRAM_FILES ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
list(FILTER PROGRAM_FILES EXCLUDE REGEX "^${SOURCE_DIR}/src/store/")
file(GLOB_RECURSE BENCH_FILES ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/bench/*.cpp)
file(GLOB_RECURSE TOOL_FILES ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/testsupport/*.h
     ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp)
list(FILTER TOOL_FILES EXCLUDE REGEX "^${SOURCE_DIR}/tests/store/")
list(APPEND TOOL_FILES ${BENCH_FILES})

set(FAULTS "")
function(check_files allowed)
  foreach(path IN LISTS ARGN)
    file(STRINGS ${path} lines REGEX "^#include \"store/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^#include \"store/([^\"]+)\".*" "\\1" header "${line}")
      # Only the store's own headers; store/ in tests/ holds test support.
      if(EXISTS ${SOURCE_DIR}/src/store/${header} AND NOT header IN_LIST allowed)
        set(FAULTS "${FAULTS}\n  ${path}: store/${header}")
      endif()
    endforeach()
  endforeach()
  set(FAULTS "${FAULTS}" PARENT_SCOPE)
endfunction()

check_files("${FACE}" ${PROGRAM_FILES})
set(TOOL_ALLOWED ${FACE} tableinternals.h)
check_files("${TOOL_ALLOWED}" ${TOOL_FILES})
foreach(path IN LISTS BENCH_FILES)
  file(STRINGS ${path} lines REGEX "^#include \"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    if(EXISTS ${SOURCE_DIR}/tests/${header})
      set(FAULTS "${FAULTS}\n  ${path}: ${header} from tests/")
    endif()
  endforeach()
endforeach()
if(FAULTS)
  message(FATAL_ERROR "Headers included past the store's face or from tests/:${FAULTS}")
endif()
