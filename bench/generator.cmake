# Synthetic bank log generator: a small library for benchmarks and tests, and
# the coffer-genlog command-line tool. Standard library and the engine only.
#
# Meant to be include()d; paths are relative to this file, so it works from
# any including CMakeLists.txt.

if(NOT TARGET coffer_banklog_generator)
  add_library(coffer_banklog_generator STATIC
    ${CMAKE_CURRENT_LIST_DIR}/banklog_generator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/banklog_generator.h
  )
  target_include_directories(coffer_banklog_generator PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(coffer_banklog_generator PUBLIC coffer_options PRIVATE coffer_analysis)

  add_executable(coffer-genlog ${CMAKE_CURRENT_LIST_DIR}/generate_banklog_main.cpp)
  target_link_libraries(coffer-genlog PRIVATE coffer_banklog_generator)
endif()
