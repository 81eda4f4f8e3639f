# Every C++ file of the project names its licence in its first three lines.
file(GLOB_RECURSE sources LIST_DIRECTORIES false
     ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h
     ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/fuzz/*.h)
set(missing "")
foreach(source IN LISTS sources)
    file(STRINGS ${source} head LIMIT_COUNT 3)
    if(NOT head MATCHES "SPDX-License-Identifier: MIT")
        string(APPEND missing "\n  ${source}")
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "No SPDX-License-Identifier: MIT line in the first three lines of:${missing}")
endif()
