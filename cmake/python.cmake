# The Python module quillvex (python/): the core, the command's readers and writers
# and libvips behind a pybind11 binding. Built without sanitizers only: a module
# loaded into the interpreter can't bring AddressSanitizer's runtime along.
if(QVX_SANITIZE)
  return()
endif()
# Debian's interpreter, which has numpy, Pillow and Dask (another python3 may come first on PATH).
if(NOT DEFINED PYTHON_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(PYTHON_EXECUTABLE /usr/bin/python3)
endif()
find_package(pybind11 CONFIG QUIET)
if(NOT pybind11_FOUND)
  message(STATUS "pybind11 not found: no Python module")
  return()
endif()

# The static libraries go into a shared module.
set_target_properties(qvx_core qvx_cli_lib PROPERTIES POSITION_INDEPENDENT_CODE ON)

set(QVX_PY_PACKAGE ${CMAKE_BINARY_DIR}/python/quillvex)
pybind11_add_module(quillvex_python MODULE
  ${CMAKE_SOURCE_DIR}/python/binding/module.cpp
  ${CMAKE_SOURCE_DIR}/python/binding/array_picture.cpp
  ${CMAKE_SOURCE_DIR}/python/binding/indexed_picture.cpp
  ${CMAKE_SOURCE_DIR}/python/binding/picture_file.cpp
  ${CMAKE_SOURCE_DIR}/python/binding/result_file.cpp)
set_target_properties(quillvex_python PROPERTIES OUTPUT_NAME _quillvex LIBRARY_OUTPUT_DIRECTORY ${QVX_PY_PACKAGE})
target_compile_options(quillvex_python PRIVATE -Wall -Wextra)
# The PNG and TIFF writers linked in, where the command loads them as a module.
target_sources(quillvex_python PRIVATE ${QVX_CODEC_SOURCES})
target_link_libraries(quillvex_python PRIVATE qvx_cli_lib ${QVX_CODEC_LIBRARIES})
if(VIPS_FOUND)
  # The command's libvips reader, linked in: the interpreter loads libvips with the module.
  target_sources(quillvex_python PRIVATE ${CMAKE_SOURCE_DIR}/src/pipeline/vips_source.cpp
                 ${CMAKE_SOURCE_DIR}/src/pipeline/vips_prepare.cpp)
  target_compile_definitions(quillvex_python PRIVATE QVX_PY_VIPS)
  target_link_libraries(quillvex_python PRIVATE PkgConfig::VIPS)
endif()

# The package beside the module, so that build/.../python is a tree Python imports from.
file(GLOB QVX_PY_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/python/quillvex/*.py ${CMAKE_SOURCE_DIR}/python/quillvex/*.pyi
     ${CMAKE_SOURCE_DIR}/python/quillvex/py.typed)
add_custom_target(quillvex_python_files
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QVX_PY_PACKAGE}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QVX_PY_FILES} ${QVX_PY_PACKAGE})
add_dependencies(quillvex_python quillvex_python_files)
