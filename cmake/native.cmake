# Native flavour: the portable core with unit tests, fuzz targets and benchmarks.
option(QVX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
set(QVX_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(qvx_core STATIC ${QVX_CORE_SOURCES})
target_include_directories(qvx_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(qvx_core PRIVATE -Wall -Wextra)
if(QVX_SANITIZE)
  target_compile_options(qvx_core PUBLIC ${QVX_SAN_FLAGS})
  target_link_options(qvx_core PUBLIC -fsanitize=address,undefined)
endif()

enable_testing()
find_package(GTest REQUIRED)
file(GLOB QVX_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(qvx_unit_tests ${QVX_UNIT_TESTS})
target_link_libraries(qvx_unit_tests PRIVATE qvx_core GTest::gtest GTest::gtest_main)
target_compile_definitions(qvx_unit_tests PRIVATE
  QVX_TESTDATA="${CMAKE_SOURCE_DIR}/../shared/testdata")
include(GoogleTest)
gtest_discover_tests(qvx_unit_tests DISCOVERY_TIMEOUT 60)

# Fuzz targets need clang's libFuzzer; CTest runs each for QVX_FUZZ_SECONDS from its
# seed corpus (fuzz/fuzz-all runs them all for longer).
set(QVX_FUZZ_SECONDS 15 CACHE STRING "Seconds CTest fuzzes each target")
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND QVX_SANITIZE)
  # The core is built again with coverage instrumentation so the fuzzer sees its branches.
  add_library(qvx_core_fuzz STATIC ${QVX_CORE_SOURCES})
  target_include_directories(qvx_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(qvx_core_fuzz PUBLIC ${QVX_SAN_FLAGS} -fsanitize=fuzzer-no-link)
  target_link_options(qvx_core_fuzz PUBLIC -fsanitize=address,undefined)
  file(GLOB QVX_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
  foreach(src ${QVX_FUZZ_TARGETS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE qvx_core_fuzz)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_test(NAME ${name}
      COMMAND ${CMAKE_SOURCE_DIR}/fuzz/run-fuzz $<TARGET_FILE:${name}> ${CMAKE_BINARY_DIR}/fuzz-${name}
        ${QVX_FUZZ_SECONDS})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endforeach()
endif()

find_package(benchmark QUIET)
if(benchmark_FOUND)
  file(GLOB QVX_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  list(FILTER QVX_BENCH_SOURCES EXCLUDE REGEX "_win32\\.cpp$")
  if(QVX_BENCH_SOURCES)
    add_executable(qvx_bench EXCLUDE_FROM_ALL ${QVX_BENCH_SOURCES})
    target_link_libraries(qvx_bench PRIVATE qvx_core benchmark::benchmark)
  endif()
endif()
