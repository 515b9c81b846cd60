# Win32 flavour: quillvex.exe, its plug-ins, and the tests that run under Wine.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 932")
set(QVX_WIN_FLAGS -Wall -Wextra)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
# The stack here is not kept 32-byte aligned, so the AVX2 kernels' spills must not use
# aligned vector moves: the assembler encodes every one as unaligned.
add_compile_options(-Wa,-muse-unaligned-vector-move)

add_library(qvx_core STATIC ${QVX_CORE_SOURCES})
target_include_directories(qvx_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(qvx_core PRIVATE ${QVX_WIN_FLAGS})

add_library(qvx_glue STATIC ${QVX_GLUE_SOURCES})
target_link_libraries(qvx_glue PUBLIC qvx_core comdlg32 shell32 advapi32 gdi32 user32)
target_compile_options(qvx_glue PRIVATE ${QVX_WIN_FLAGS})

set(QVX_RESOURCES ${CMAKE_SOURCE_DIR}/src/res/quillvex.rc)
set(QVX_STATIC_LINK -static -static-libgcc -static-libstdc++)

add_executable(quillvex WIN32 ${CMAKE_SOURCE_DIR}/src/app/main_win32.cpp ${QVX_RESOURCES})
target_link_libraries(quillvex PRIVATE qvx_glue)
target_link_options(quillvex PRIVATE ${QVX_STATIC_LINK} -mwindows)
set_target_properties(quillvex PROPERTIES OUTPUT_NAME quillvex RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

enable_testing()
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The glue against the real platform: one test program, one CTest test.
file(GLOB QVX_WIN32_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
# The vector paths against the scalar reference, run here too (Windows ABI and stack).
list(APPEND QVX_WIN32_TESTS ${CMAKE_SOURCE_DIR}/tests/unit/row_paths_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/unit/halftone_test.cpp ${CMAKE_SOURCE_DIR}/tests/unit/grey_levels_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/unit/colour_palette_test.cpp)
add_executable(qvx_win32_tests ${QVX_WIN32_TESTS} ${QVX_RESOURCES})
target_link_libraries(qvx_win32_tests PRIVATE qvx_glue gtest gtest_main)
target_link_options(qvx_win32_tests PRIVATE ${QVX_STATIC_LINK})
target_compile_definitions(qvx_win32_tests PRIVATE
  QVX_TESTDATA="Z:${CMAKE_SOURCE_DIR}/tests/data")
add_test(NAME win32_glue COMMAND qvx_win32_tests)
set_tests_properties(win32_glue PROPERTIES TIMEOUT 600)

# quillvex.exe as a user runs it.
file(GLOB QVX_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
list(FILTER QVX_E2E_TESTS EXCLUDE REGEX "/batch_runner\\.cpp$")
if(QVX_E2E_TESTS)
  add_executable(qvx_e2e_tests ${QVX_E2E_TESTS})
  target_link_libraries(qvx_e2e_tests PRIVATE qvx_core gtest gtest_main user32 gdi32)
  target_link_options(qvx_e2e_tests PRIVATE ${QVX_STATIC_LINK})
  target_compile_definitions(qvx_e2e_tests PRIVATE
    QVX_EXE="Z:$<TARGET_FILE:quillvex>" QVX_TESTDATA="Z:${CMAKE_SOURCE_DIR}/tests/data"
    QVX_WINE_LOADER="${QVX_WINE_LOADER}")
  add_dependencies(qvx_e2e_tests quillvex)
  add_test(NAME e2e COMMAND qvx_e2e_tests --gtest_filter=-BadFileSweep.*)
  set_tests_properties(e2e PROPERTIES TIMEOUT 900)
  # A sample of the bad-file sweep (tests/e2e/bad-file-sweep runs all of it).
  add_test(NAME bad_file_sweep COMMAND qvx_e2e_tests --gtest_filter=BadFileSweep.*)
  set_tests_properties(bad_file_sweep PROPERTIES TIMEOUT 600)
endif()

# The conversion benchmark, as natively (run by hand: cmake/wine-run win64 build/win64/qvx_bench.exe).
add_executable(qvx_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/conversion_bench.cpp)
target_link_libraries(qvx_bench PRIVATE qvx_core)
target_link_options(qvx_bench PRIVATE ${QVX_STATIC_LINK})

# Many batch runs of quillvex.exe from one Wine process, for the comparisons below.
add_executable(qvx_batch_runner ${CMAKE_SOURCE_DIR}/tests/e2e/batch_runner.cpp ${CMAKE_SOURCE_DIR}/tests/e2e/program.cpp)
target_link_libraries(qvx_batch_runner PRIVATE user32)
target_link_options(qvx_batch_runner PRIVATE ${QVX_STATIC_LINK})
target_compile_definitions(qvx_batch_runner PRIVATE QVX_EXE="Z:$<TARGET_FILE:quillvex>")
add_dependencies(qvx_batch_runner quillvex qvx_wic_plugin)

# quillvex-cli (the release build users run) against the program of every build this machine
# runs, byte for byte; so the two builds are compared too. It runs once, in the tree
# of the first build the machine runs, and is skipped in the other.
add_test(NAME cli_versus_programs COMMAND ${CMAKE_SOURCE_DIR}/tests/cli/versus_windows.sh
  ${CMAKE_SOURCE_DIR}/build/release/quillvex-cli ${QVX_WINE_FLAVOUR})
set_tests_properties(cli_versus_programs PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77)

# Timing of the panes' paint under Wine (run by hand: cmake/wine-run win32 build/win32/qvx_paint_bench.exe).
add_executable(qvx_paint_bench ${CMAKE_SOURCE_DIR}/bench/win32/paint_bench_win32.cpp)
target_link_libraries(qvx_paint_bench PRIVATE qvx_glue)
target_link_options(qvx_paint_bench PRIVATE ${QVX_STATIC_LINK})

# What a user waits for under Wine: open and density release at zoom fit
# (bench/interactive-timing runs it).
add_executable(qvx_interactive_bench ${CMAKE_SOURCE_DIR}/bench/win32/interactive_bench_win32.cpp
  ${CMAKE_SOURCE_DIR}/tests/win32/frame_fixture.cpp ${CMAKE_SOURCE_DIR}/tests/win32/test_frame.cpp ${QVX_RESOURCES})
target_link_libraries(qvx_interactive_bench PRIVATE qvx_glue)
target_link_options(qvx_interactive_bench PRIVATE ${QVX_STATIC_LINK})
target_compile_definitions(qvx_interactive_bench PRIVATE QVX_TESTDATA="Z:${CMAKE_SOURCE_DIR}/tests/data")

# The panes on a 256-colour display and on a platform before 3.95 (Wine's "nt351",
# set per program name, hence the copy).
add_custom_command(TARGET qvx_win32_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:qvx_win32_tests> ${CMAKE_BINARY_DIR}/qvx_nt351_tests.exe)
add_test(NAME win32_panes_nt351
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/pane_platforms.sh ${QVX_WINE_FLAVOUR} nt351 ${CMAKE_BINARY_DIR}/qvx_nt351_tests.exe)
add_test(NAME win32_panes_depth8
  COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/pane_platforms.sh ${QVX_WINE_FLAVOUR} depth8 $<TARGET_FILE:qvx_win32_tests>)
set_tests_properties(win32_panes_nt351 win32_panes_depth8 PROPERTIES TIMEOUT 300)

# Image-reader plug-ins: the shipped one beside the program, the test ones apart.
add_subdirectory(${CMAKE_SOURCE_DIR}/plugins ${CMAKE_BINARY_DIR}/plugins)
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/plugins ${CMAKE_BINARY_DIR}/test-plugin-build)
add_dependencies(quillvex qvx_wic_plugin)
add_dependencies(qvx_win32_tests ${QVX_TEST_PLUGIN_TARGETS})
# The other build's test plug-ins, built beside this one by ./test.
if(QVX_WINE_FLAVOUR STREQUAL "win64")
  set(QVX_OTHER_FLAVOUR win32)
else()
  set(QVX_OTHER_FLAVOUR win64)
endif()
target_compile_definitions(qvx_win32_tests PRIVATE QVX_TEST_PLUGINS="Z:${QVX_TEST_PLUGIN_DIR}"
  QVX_OTHER_WORD_SIZE_PLUGINS="Z:${CMAKE_BINARY_DIR}/../${QVX_OTHER_FLAVOUR}/test-plugins")
if(TARGET qvx_e2e_tests)
  add_dependencies(qvx_e2e_tests ${QVX_TEST_PLUGIN_TARGETS} qvx_wic_plugin)
  target_compile_definitions(qvx_e2e_tests PRIVATE QVX_TEST_PLUGINS="Z:${QVX_TEST_PLUGIN_DIR}"
    QVX_WIC_PLUGIN="Z:$<TARGET_FILE:qvx_wic_plugin>")
endif()

# Pictures in other formats for the plug-in tests, made with ImageMagick.
set(QVX_PLUGIN_PICTURES ${CMAKE_BINARY_DIR}/plugin-pictures)
add_custom_command(OUTPUT ${QVX_PLUGIN_PICTURES}/big.png
  COMMAND sh ${CMAKE_SOURCE_DIR}/tests/e2e/plugin_pictures.sh ${QVX_PLUGIN_PICTURES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/plugin_pictures.sh)
add_custom_target(qvx_plugin_pictures DEPENDS ${QVX_PLUGIN_PICTURES}/big.png)
add_dependencies(qvx_win32_tests qvx_plugin_pictures)
target_compile_definitions(qvx_win32_tests PRIVATE QVX_PLUGIN_PICTURES="Z:${QVX_PLUGIN_PICTURES}"
  QVX_WIC_PLUGIN_DIR="Z:${CMAKE_BINARY_DIR}/")
if(TARGET qvx_e2e_tests)
  add_dependencies(qvx_e2e_tests qvx_plugin_pictures)
  target_compile_definitions(qvx_e2e_tests PRIVATE QVX_PLUGIN_PICTURES="Z:${QVX_PLUGIN_PICTURES}")
  target_link_libraries(qvx_e2e_tests PRIVATE advapi32)
endif()
target_link_libraries(qvx_win32_tests PRIVATE psapi)

