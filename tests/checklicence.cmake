# SPDX-License-Identifier: GPL-3.0-or-later
cmake_minimum_required(VERSION 3.25)
# Fails when a source file does not name the program's licence in its first
# two lines (the second after a #! line), so that a file added later cannot
# go out without it.
# Run as: cmake -DSOURCE_DIR=<root> -P checklicence.cmake
set(FOLDERS src tools tests testsupport bench fuzz scripts packaging)
set(PATTERNS "")
foreach(folder IN LISTS FOLDERS)
  foreach(kind *.h *.cpp *.cmake *.sh *.py CMakeLists.txt)
    list(APPEND PATTERNS ${SOURCE_DIR}/${folder}/${kind})
  endforeach()
endforeach()
file(GLOB_RECURSE FILES ${PATTERNS})
list(APPEND FILES ${SOURCE_DIR}/CMakeLists.txt)
list(FILTER FILES EXCLUDE REGEX "^${SOURCE_DIR}/fuzz/corpus/")
set(FAULTS "")
foreach(path IN LISTS FILES)
  file(STRINGS ${path} head LIMIT_COUNT 2)
  if(NOT head MATCHES "SPDX-License-Identifier: GPL-3.0-or-later")
    string(APPEND FAULTS "\n  ${path}")
  endif()
endforeach()
if(FAULTS)
  message(FATAL_ERROR "No SPDX-License-Identifier line in:${FAULTS}")
endif()
