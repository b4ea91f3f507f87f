# The Windows build (cmake/mingw-w64-x86_64.cmake, `make windows`): yarvik.exe, one static
# program that needs of Windows only its own DLLs, with the libraries of the Windows prefix
# (scripts/install-windows-deps); the unit tests that need no EGL, fork or glibc, run under
# wine; the smoke tests of yarvik.exe under wine and Xvfb; and the zip (target windows-zip).
# Linked statically, with the GCC runtime and POSIX threads too: the .exe brings every DLL
# that is not Windows' own inside it.
add_link_options(-static -static-libgcc -static-libstdc++)
# Static archives only (mingw's zlib comes with an import library for zlib1.dll as well).
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(XMP REQUIRED IMPORTED_TARGET libxmp)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)

include(cmake/EmbedResources.cmake)
yarvik_embed_resources(${CMAKE_SOURCE_DIR}/resources/resources.list yarvik_resources)

file(GLOB_RECURSE YARVIK_CORE_SOURCES CONFIGURE_DEPENDS LIST_DIRECTORIES false RELATIVE ${CMAKE_SOURCE_DIR}
  shell/*.cpp assets/*.cpp music/*.cpp math/*.cpp scenes/*.cpp)
list(REMOVE_ITEM YARVIK_CORE_SOURCES shell/main.cpp)
add_library(yarvik_core STATIC ${YARVIK_CORE_SOURCES} $<TARGET_OBJECTS:yarvik_resources>)
target_include_directories(yarvik_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(yarvik_core PUBLIC PkgConfig::XMP PkgConfig::FREETYPE)

add_subdirectory(platform/sdl)
add_subdirectory(platform/windows)

# A GUI program (no console window of its own), GL 1.1 from opengl32 and GLU from glu32.
add_executable(yarvik WIN32 platform/windows/main.cpp)
target_link_libraries(yarvik PRIVATE yarvik_sdl yarvik_windows yarvik_core PkgConfig::SDL2 opengl32 glu32)
