# The win32 flavour: the program as shipped, run under 32-bit Wine.
set(QVX_MINGW_PROCESSOR i686)
set(QVX_WINE_FLAVOUR win32)
set(QVX_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
