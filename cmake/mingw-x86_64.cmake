# The win64 flavour: the same sources for x86_64, run under 64-bit Wine.
set(QVX_MINGW_PROCESSOR x86_64)
set(QVX_WINE_FLAVOUR win64)
set(QVX_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
