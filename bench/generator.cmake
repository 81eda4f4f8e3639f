# Synthetic bank log generator: a small library for benchmarks and tests, and
# the coffer-genlog command-line tool. Standard library only.
#
# Meant to be include()d; paths are relative to this file, so it works from
# any including CMakeLists.txt.

if(NOT TARGET coffer_banklog_generator)
  add_library(coffer_banklog_generator STATIC
    ${CMAKE_CURRENT_LIST_DIR}/banklog_generator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/banklog_generator.h
  )
  target_include_directories(coffer_banklog_generator PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_compile_features(coffer_banklog_generator PUBLIC cxx_std_20)
  set_target_properties(coffer_banklog_generator PROPERTIES CXX_EXTENSIONS OFF)

  add_executable(coffer-genlog ${CMAKE_CURRENT_LIST_DIR}/generate_banklog_main.cpp)
  target_link_libraries(coffer-genlog PRIVATE coffer_banklog_generator)
  set_target_properties(coffer-genlog PROPERTIES CXX_EXTENSIONS OFF)

  foreach(_coffer_gen_target coffer_banklog_generator coffer-genlog)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
      target_compile_options(${_coffer_gen_target} PRIVATE -Wall -Wextra -Wpedantic)
    elseif(MSVC)
      target_compile_options(${_coffer_gen_target} PRIVATE /W4)
    endif()
  endforeach()
endif()
