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
  QVX_TESTDATA="${CMAKE_SOURCE_DIR}/tests/data")
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
  # The command's option table and parser, one file per section, for the cli_ targets.
  file(GLOB QVX_FUZZ_CLI_OPTION_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/cli/*option*.cpp
       ${CMAKE_SOURCE_DIR}/src/pipeline/output_format.cpp ${CMAKE_SOURCE_DIR}/src/pipeline/conversion_request.cpp)
  foreach(src ${QVX_FUZZ_TARGETS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    if(name MATCHES "^cli_")
      target_sources(${name} PRIVATE ${QVX_FUZZ_CLI_OPTION_SOURCES})
    endif()
    target_link_libraries(${name} PRIVATE qvx_core_fuzz)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_test(NAME ${name}
      COMMAND ${CMAKE_SOURCE_DIR}/fuzz/run-fuzz $<TARGET_FILE:${name}> ${CMAKE_BINARY_DIR}/fuzz-${name}
        ${QVX_FUZZ_SECONDS})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endforeach()
endif()

# The conversion benchmark needs no library, so the Windows builds carry it too.
add_executable(qvx_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/conversion_bench.cpp)
target_link_libraries(qvx_bench PRIVATE qvx_core)

# Every folder depends only downward, each resource has one owner and no state is global;
# the self-test shows the check failing on a planted global and include circle.
add_test(NAME layering COMMAND ${CMAKE_SOURCE_DIR}/tests/layering/check-layering ${CMAKE_SOURCE_DIR}/src)
add_test(NAME layering_self_test COMMAND ${CMAKE_SOURCE_DIR}/tests/layering/check-layering --self-test)

# quillvex-cli: the conversion as a native command. libvips brings the other input
# formats, libpng and libtiff the PNG and G4 TIFF outputs; without them the program
# reads and writes BMP (and writes PBM). Both come as modules beside the command.
file(GLOB QVX_CLI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/cli/*.cpp ${CMAKE_SOURCE_DIR}/src/pipeline/*.cpp)
list(FILTER QVX_CLI_SOURCES EXCLUDE REGEX "/(main|module_loader|vips_[a-z]+|codec_[a-z]+|png_output)\\.cpp$")
# The PNG and TIFF writers, outside the library: the command's module and the Python
# module take them.
set(QVX_CODEC_SOURCES ${CMAKE_SOURCE_DIR}/src/pipeline/codec_module.cpp ${CMAKE_SOURCE_DIR}/src/pipeline/png_output.cpp)
add_library(qvx_cli_lib STATIC ${QVX_CLI_SOURCES})
target_link_libraries(qvx_cli_lib PUBLIC qvx_core)
target_compile_options(qvx_cli_lib PRIVATE -Wall -Wextra)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(VIPS IMPORTED_TARGET vips)
endif()
find_package(PNG QUIET)
find_package(TIFF QUIET)
# The writers' libraries, for whatever links the writers (QVX_CODEC_SOURCES) in.
set(QVX_CODEC_LIBRARIES)
set(QVX_CODEC_DEFINITIONS)
if(PNG_FOUND)
  list(APPEND QVX_CODEC_LIBRARIES PNG::PNG)
  list(APPEND QVX_CODEC_DEFINITIONS QVX_CLI_PNG)
endif()
if(TIFF_FOUND)
  list(APPEND QVX_CODEC_LIBRARIES TIFF::TIFF)
  list(APPEND QVX_CODEC_DEFINITIONS QVX_CLI_TIFF)
endif()
target_compile_definitions(qvx_cli_lib PUBLIC ${QVX_CODEC_DEFINITIONS})
add_executable(quillvex-cli ${CMAKE_SOURCE_DIR}/src/cli/main.cpp ${CMAKE_SOURCE_DIR}/src/cli/module_loader.cpp)
target_compile_options(quillvex-cli PRIVATE -Wall -Wextra)
target_link_libraries(quillvex-cli PRIVATE qvx_cli_lib ${CMAKE_DL_LIBS})

# A module beside the command, loaded on first need: only its entry is seen from
# outside, and the command builds it with itself.
function(qvx_command_module name)
  add_library(${name} MODULE ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  if(QVX_SANITIZE)
    target_compile_options(${name} PRIVATE ${QVX_SAN_FLAGS})
    target_link_options(${name} PRIVATE -fsanitize=address,undefined)
  else()
    # A source the module lacks fails the link, not the first dlopen.
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  add_dependencies(quillvex-cli ${name})
endfunction()
if(QVX_CODEC_LIBRARIES)
  # The PNG and TIFF writers are a module beside the command, loaded for the first PNG
  # or TIFF output: libpng, and libtiff with its seven libraries, took a millisecond of
  # every start, a tenth of a BMP conversion.
  qvx_command_module(quillvex-cli-codecs ${QVX_CODEC_SOURCES})
  target_compile_definitions(quillvex-cli-codecs PRIVATE ${QVX_CODEC_DEFINITIONS})
  target_link_libraries(quillvex-cli-codecs PRIVATE ${QVX_CODEC_LIBRARIES})
  target_sources(quillvex-cli PRIVATE ${CMAKE_SOURCE_DIR}/src/cli/codec_loader.cpp)
endif()
if(VIPS_FOUND)
  # The libvips reader and preparation are a module beside the command, loaded for the
  # first picture that needs them (not a BMP file, or prepared): libvips brings a
  # hundred libraries whose loading would otherwise take most of a BMP conversion's time.
  qvx_command_module(quillvex-cli-vips ${CMAKE_SOURCE_DIR}/src/pipeline/vips_source.cpp
                     ${CMAKE_SOURCE_DIR}/src/pipeline/vips_prepare.cpp ${CMAKE_SOURCE_DIR}/src/pipeline/pipeline_texts.cpp
                     ${CMAKE_SOURCE_DIR}/src/image/file_resolution.cpp ${CMAKE_SOURCE_DIR}/src/image/image_texts.cpp
                     ${CMAKE_SOURCE_DIR}/src/image/decoded_rows.cpp ${CMAKE_SOURCE_DIR}/src/device/fit.cpp)
  target_link_libraries(quillvex-cli-vips PRIVATE PkgConfig::VIPS)
  target_sources(quillvex-cli PRIVATE ${CMAKE_SOURCE_DIR}/src/cli/vips_loader.cpp)
  target_compile_definitions(quillvex-cli PRIVATE QVX_CLI_VIPS)
else()
  message(STATUS "libvips not found: quillvex-cli reads BMP files only")
endif()

file(GLOB QVX_CLI_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/cli/*.cpp)
if(QVX_CLI_TESTS)
  add_executable(qvx_cli_tests ${QVX_CLI_TESTS})
  # The tests read the PNG and TIFF files back with the libraries themselves.
  target_link_libraries(qvx_cli_tests PRIVATE qvx_cli_lib ${QVX_CODEC_LIBRARIES} GTest::gtest GTest::gtest_main)
  target_include_directories(qvx_cli_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(qvx_cli_tests PRIVATE
    QVX_TESTDATA="${CMAKE_SOURCE_DIR}/tests/data"
    QVX_CLI="$<TARGET_FILE:quillvex-cli>")
  add_dependencies(qvx_cli_tests quillvex-cli)
  if(VIPS_FOUND)
    target_compile_definitions(qvx_cli_tests PRIVATE QVX_CLI_VIPS)
    target_link_libraries(qvx_cli_tests PRIVATE PkgConfig::VIPS)
  endif()
  if(VIPS_FOUND)
    # Makes a failing libvips read slow, for the test of a batch on several workers.
    add_library(qvx_slow_vips_errors MODULE ${CMAKE_SOURCE_DIR}/tests/cli/tools/slow_vips_errors.cpp)
    target_link_libraries(qvx_slow_vips_errors PRIVATE ${CMAKE_DL_LIBS})
    add_dependencies(qvx_cli_tests qvx_slow_vips_errors)
    target_compile_definitions(qvx_cli_tests PRIVATE QVX_SLOW_VIPS_ERRORS="$<TARGET_FILE:qvx_slow_vips_errors>")
  endif()
  gtest_discover_tests(qvx_cli_tests DISCOVERY_TIMEOUT 60)
endif()

# The grey-level and palette files read back with Pillow against a model of the rules
# (skipped where Debian's python3-pil is missing).
add_test(NAME levels_pillow COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/cli/levels_pillow_test.py
         $<TARGET_FILE:quillvex-cli>)
set_tests_properties(levels_pillow PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# The page's calls into the core, tested natively (the page builds them to WebAssembly).
add_executable(qvx_page_tests ${CMAKE_SOURCE_DIR}/web/tests/page_result_test.cpp
               ${CMAKE_SOURCE_DIR}/web/wasm/page_picture.cpp ${CMAKE_SOURCE_DIR}/web/wasm/page_result.cpp
               ${CMAKE_SOURCE_DIR}/web/wasm/page_export.cpp ${CMAKE_SOURCE_DIR}/web/wasm/page_failure.cpp
               ${CMAKE_SOURCE_DIR}/web/wasm/page_settings.cpp)
target_include_directories(qvx_page_tests PRIVATE ${CMAKE_SOURCE_DIR}/web/wasm ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(qvx_page_tests PRIVATE qvx_cli_lib GTest::gtest GTest::gtest_main)
target_compile_definitions(qvx_page_tests PRIVATE QVX_TESTDATA="${CMAKE_SOURCE_DIR}/tests/data")
gtest_discover_tests(qvx_page_tests DISCOVERY_TIMEOUT 60)

# The pictures the command is compared on with the Windows program (tests/cli/versus_windows.sh).
add_executable(qvx_cli_pictures ${CMAKE_SOURCE_DIR}/tests/cli/tools/make_pictures.cpp)
target_link_libraries(qvx_cli_pictures PRIVATE qvx_core)

# The generator of the blue-noise array kept in src/halftone/blue_noise_array.cpp.
add_executable(qvx_make_blue_noise EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/src/halftone/tools/make_blue_noise.cpp)

# The Python module, in builds without sanitizers.
include(${CMAKE_SOURCE_DIR}/cmake/python.cmake)
