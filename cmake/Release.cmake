# The release configuration (-DYARVIK_RELEASE=ON, built by `make release` in build-release):
# the same programs from the same sources and compiler flags, linked so that the released
# `yarvik` needs of the system only the C library, the GL driver and the SDL2 runtime, and
# packed into dist/ as a demo archive and a Debian package. Other configurations are left as
# they are.
#
# Linking: FreeType (with the PNG, zlib and Brotli code it uses), GLU, zlib, libxmp and, in
# yarvik, the C++ runtime are linked statically. Debian ships static libraries of all but
# libxmp, which is built here from Debian's source package of the installed version (fetched
# by scripts/install-deps into third_party/libxmp) with Debian's own compiler flags. The
# release swaps these in by pointing the libxmp and FreeType targets found through pkg-config,
# and the GLU library, at the static archives; nothing else in the build changes.
option(YARVIK_RELEASE "Link for distribution and add the release targets (archive, Debian package)" OFF)
if(NOT YARVIK_RELEASE)
  return()
endif()

set(YARVIK_MAINTAINER "The Yarvik authors <yarvik@example.org>" CACHE STRING "The Debian package's maintainer")
set(YARVIK_DIST_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH "Where make release writes the archive and the package")
set(YARVIK_ARCHIVE_NAME yarvik-${YARVIK_VERSION}-linux-x86_64)

# A library's static archive, by name ("z" -> libz.a); fails the configuration without one.
function(yarvik_static_archive name out)
  find_library(YARVIK_STATIC_${name} NAMES lib${name}.a NO_CACHE)
  if(NOT YARVIK_STATIC_${name})
    message(FATAL_ERROR "The release needs the static library lib${name}.a (scripts/install-deps installs it)")
  endif()
  set(${out} ${YARVIK_STATIC_${name}} PARENT_SCOPE)
endfunction()

# FreeType and what its static library needs, in pkg-config's order; libm stays dynamic (it
# is part of the C library).
set(freetypeStatic "")
foreach(name ${FREETYPE_STATIC_LIBRARIES})
  if(name STREQUAL "m")
    continue()
  endif()
  yarvik_static_archive(${name} archive)
  list(APPEND freetypeStatic ${archive})
endforeach()
# Each archive once, at its last place, after everything that uses it.
list(REVERSE freetypeStatic)
list(REMOVE_DUPLICATES freetypeStatic)
list(REVERSE freetypeStatic)
set_property(TARGET PkgConfig::FREETYPE PROPERTY INTERFACE_LINK_LIBRARIES ${freetypeStatic} m)

yarvik_static_archive(GLU GLU_LIBRARY)
set(ZLIB_USE_STATIC_LIBS ON)

# libxmp from Debian's source, as Debian builds it (dpkg-buildflags), static, without the
# depackers and ProWizard converters: they only serve modules loaded from packed files, and
# the demo plays its module from memory.
set(XMP_SOURCE ${CMAKE_SOURCE_DIR}/third_party/libxmp)
execute_process(COMMAND dpkg-parsechangelog -l ${XMP_SOURCE}/debian/changelog -S Version
                OUTPUT_VARIABLE xmpSourceVersion OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
execute_process(COMMAND dpkg-query -W -f=\${Version} libxmp-dev
                OUTPUT_VARIABLE xmpInstalledVersion OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT xmpSourceVersion OR NOT xmpSourceVersion STREQUAL xmpInstalledVersion)
  message(FATAL_ERROR "third_party/libxmp holds libxmp '${xmpSourceVersion}', the tests use the installed "
                      "'${xmpInstalledVersion}': run scripts/install-deps")
endif()
set(YARVIK_XMP_VERSION ${xmpSourceVersion})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CFLAGS
                OUTPUT_VARIABLE xmpCflags OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS
                OUTPUT_VARIABLE xmpCppflags OUTPUT_STRIP_TRAILING_WHITESPACE)
set(xmpBuild ${CMAKE_BINARY_DIR}/libxmp)
add_custom_command(OUTPUT ${xmpBuild}/lib/libxmp.a
  COMMAND rm -rf ${xmpBuild} && cp -a ${XMP_SOURCE} ${xmpBuild}
  COMMAND cd ${xmpBuild} && ./configure --quiet --enable-static --disable-shared --disable-depackers
          --disable-prowizard CC=${CMAKE_C_COMPILER} "CFLAGS=${xmpCflags}" "CPPFLAGS=${xmpCppflags}"
  COMMAND $(MAKE) -C ${xmpBuild} lib/libxmp.a >${xmpBuild}.log
  DEPENDS ${XMP_SOURCE}/debian/changelog
  COMMENT "Building libxmp ${YARVIK_XMP_VERSION} (static) from Debian's source")
add_custom_target(libxmp_build DEPENDS ${xmpBuild}/lib/libxmp.a)
add_library(yarvik_xmp_static STATIC IMPORTED)
set_target_properties(yarvik_xmp_static PROPERTIES IMPORTED_LOCATION ${xmpBuild}/lib/libxmp.a
                      INTERFACE_INCLUDE_DIRECTORIES ${XMP_SOURCE}/include INTERFACE_LINK_LIBRARIES m)
add_dependencies(yarvik_xmp_static libxmp_build)
set_property(TARGET PkgConfig::XMP PROPERTY INTERFACE_LINK_LIBRARIES yarvik_xmp_static)
set_property(TARGET PkgConfig::XMP PROPERTY INTERFACE_INCLUDE_DIRECTORIES ${XMP_SOURCE}/include)

# The C++ runtime inside yarvik. yarvik-capture takes the system's: the renderer EGL loads for it
# (Mesa's, with LLVM) brings that runtime along, and GCC 12's static one would raise the C
# library it needs from 2.34 to 2.36 (its string code pulls in a call of arc4random). Symbols
# stripped.
set(isDemo "$<STREQUAL:$<TARGET_PROPERTY:NAME>,yarvik>")
add_link_options(-s "$<${isDemo}:-static-libstdc++>" "$<${isDemo}:-static-libgcc>")

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
