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

include(cmake/Core.cmake)
yarvik_add_core(PkgConfig::XMP PkgConfig::FREETYPE)

add_subdirectory(platform/gl)
add_subdirectory(platform/gles2)
add_subdirectory(platform/sdl)
add_subdirectory(platform/windows)

# The icon, the version information and the manifest, compiled by windres into the program.
find_program(YARVIK_CONVERT convert REQUIRED)
set(generated ${CMAKE_BINARY_DIR}/generated)
set(YARVIK_ICON ${generated}/yarvik.ico)
set(YARVIK_MANIFEST ${generated}/yarvik.manifest)
string(REPLACE "." "," YARVIK_VERSION_COMMAS "${YARVIK_VERSION_BASE},0")
set(YARVIK_VERSION_QUAD "${YARVIK_VERSION_BASE}.0")
configure_file(platform/windows/yarvik.manifest ${YARVIK_MANIFEST} @ONLY)
configure_file(platform/windows/yarvik.rc.in ${generated}/yarvik.rc @ONLY)
add_custom_command(OUTPUT ${YARVIK_ICON}
  COMMAND ${YARVIK_CONVERT} ${CMAKE_SOURCE_DIR}/packaging/yarvik.png -define icon:auto-resize=256,64,48,32,16
          ${YARVIK_ICON}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/yarvik.png VERBATIM)
set_source_files_properties(${generated}/yarvik.rc PROPERTIES OBJECT_DEPENDS "${YARVIK_ICON};${YARVIK_MANIFEST}")

# A GUI program (no console window of its own). GL is reached through platform/gl's dispatch on
# the context SDL made (SDL finds GL 1.1's functions in opengl32.dll), GLU computed there.
add_executable(yarvik WIN32 platform/windows/main.cpp ${generated}/yarvik.rc ${YARVIK_ICON})
target_link_libraries(yarvik PRIVATE yarvik_sdl yarvik_windows yarvik_core PkgConfig::SDL2)

if(YARVIK_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()

# The zip, dist/yarvik-VERSION-windows-x86_64.zip (target windows_zip): the program stripped,
# the info file, a screenshot, the licence and the notices of what is inside the program (the
# Linux archive's, for the parts both contain), in one folder.
set(YARVIK_DIST_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH "Where make windows writes the zip")
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
configure_file(${packaging}/windows/yarvik.nfo.in ${generated}/windows/yarvik.nfo @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${generated}/windows/LICENSE.txt COPYONLY)
file(READ ${generated}/windows/LICENSE.txt license)
file(CONFIGURE OUTPUT ${generated}/windows/LICENSE.txt CONTENT "${license}" NEWLINE_STYLE CRLF)
set(notices ${generated}/windows/THIRD-PARTY-NOTICES.txt)
set(noticeParts ${packaging}/THIRD-PARTY-NOTICES.txt ${packaging}/windows/notices-head.txt
                ${packaging}/windows/notices-sdl.txt ${packaging}/windows/notices-mingw.txt)
add_custom_command(OUTPUT ${notices}
  COMMAND ${CMAKE_COMMAND} -DPACKAGING=${packaging} -DOUT=${notices} -P ${CMAKE_SOURCE_DIR}/cmake/WindowsNotices.cmake
  DEPENDS ${noticeParts} ${CMAKE_SOURCE_DIR}/cmake/WindowsNotices.cmake VERBATIM)
set(folder yarvik-${YARVIK_VERSION})
set(zip ${YARVIK_DIST_DIR}/${folder}-windows-x86_64.zip)
set(stage ${CMAKE_BINARY_DIR}/zip)
add_custom_command(OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${folder} ${YARVIK_DIST_DIR}
  COMMAND ${CMAKE_STRIP} -o ${stage}/${folder}/yarvik.exe $<TARGET_FILE:yarvik>
  COMMAND ${CMAKE_COMMAND} -E copy ${generated}/windows/yarvik.nfo ${generated}/windows/LICENSE.txt ${notices}
          ${stage}/${folder}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/docs/knot.png ${stage}/${folder}/screenshot.png
  COMMAND find ${stage}/${folder} -exec touch -d @${YARVIK_SOURCE_TIME} {} +
  COMMAND sh -c "cd '${stage}' && TZ=UTC zip -q -X -9 -r '${zip}' '${folder}'"
  DEPENDS yarvik ${generated}/windows/yarvik.nfo ${generated}/windows/LICENSE.txt ${notices}
          ${CMAKE_SOURCE_DIR}/docs/knot.png
  VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${zip})
