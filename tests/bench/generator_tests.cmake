# Tests for the synthetic bank log generator. Needs the coffer_banklog_generator
# target (bench/generator.cmake) and enable_testing() in the including project.

if(NOT TARGET banklog_generator_test)
  find_package(GTest REQUIRED)
  include(GoogleTest)

  add_executable(banklog_generator_test ${CMAKE_CURRENT_LIST_DIR}/banklog_generator_test.cpp)
  target_link_libraries(banklog_generator_test PRIVATE coffer_banklog_generator GTest::gtest GTest::gtest_main)
  target_compile_features(banklog_generator_test PRIVATE cxx_std_20)
  set_target_properties(banklog_generator_test PROPERTIES CXX_EXTENSIONS OFF)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(banklog_generator_test PRIVATE -Wall -Wextra -Wpedantic)
  elseif(MSVC)
    target_compile_options(banklog_generator_test PRIVATE /W4)
  endif()
  gtest_discover_tests(banklog_generator_test DISCOVERY_TIMEOUT 60)
endif()
