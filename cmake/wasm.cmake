# The page's WebAssembly module: the portable core, the command's conversion and
# writers, and the page's own calls (web/wasm). Vector instructions where they pay.
# The stack is 4 MiB: the readers keep buffers of 64 KiB on it (the linker gives 64 KiB).
set(QVX_WASM_CLI_SOURCES options option_parser halftone_options device_options)
list(TRANSFORM QVX_WASM_CLI_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/src/cli/)
list(TRANSFORM QVX_WASM_CLI_SOURCES APPEND .cpp)
file(GLOB QVX_WASM_PIPELINE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/pipeline/*.cpp)
list(FILTER QVX_WASM_PIPELINE_SOURCES EXCLUDE REGEX "/vips_[a-z]+\\.cpp$")
list(APPEND QVX_WASM_CLI_SOURCES ${QVX_WASM_PIPELINE_SOURCES})
file(GLOB QVX_WASM_PAGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/web/wasm/*.cpp)
add_executable(quillvex ${QVX_CORE_SOURCES} ${QVX_WASM_CLI_SOURCES} ${QVX_WASM_PAGE_SOURCES})
target_include_directories(quillvex PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/web/wasm)
target_compile_options(quillvex PRIVATE -O2 -msimd128 -Wall -Wextra)
target_link_options(quillvex PRIVATE -mexec-model=reactor -Wl,--max-memory=4294967296 -Wl,-z,stack-size=4194304 -Wl,--strip-all)
set_target_properties(quillvex PROPERTIES SUFFIX ".wasm")
