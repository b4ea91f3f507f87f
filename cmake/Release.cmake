# The release configuration (-DYARVIK_RELEASE=ON, built by `make release` in build-release):
# the same programs from the same sources and optimisation flags, built and linked once for
# each of the two ways they are handed out, and packed into dist/. Other configurations are
# left as they are.
#
#   YARVIK_RELEASE_LINK=static (build-release): the demo archive for any x86-64 Linux. FreeType
#   (with the PNG, zlib and Brotli code it uses), zlib, libxmp and, in yarvik, the C++ runtime
#   are linked statically, so the released `yarvik` needs of the system only the C library and
#   the SDL2 runtime, which loads the GL driver (libGL, or libGLESv2 with --gl es2) itself. Debian ships static libraries of all but
#   libxmp, which is built here from Debian's source package of the installed version (fetched
#   by scripts/install-deps into third_party/libxmp) with Debian's own compiler flags. The
#   release swaps these in by pointing the libxmp and FreeType targets found through
#   pkg-config at the static archives; nothing else in the build changes.
#   This configuration also configures and builds the next one in build-release/package.
#
#   YARVIK_RELEASE_LINK=shared (build-release/package): the Debian package. Every library is
#   Debian's shared one, so the package gets the security updates Debian makes to FreeType,
#   libpng or libxmp, and its dependencies are what dpkg-shlibdeps finds the programs need,
#   with the GL libraries SDL loads at run time added (cmake/Package.cmake).
option(YARVIK_RELEASE "Link for distribution and add the release targets (archive, Debian package)" OFF)
if(NOT YARVIK_RELEASE)
  return()
endif()

set(YARVIK_RELEASE_LINK static CACHE STRING
    "How the release links its libraries: static (the demo archive) or shared (the Debian package)")
set_property(CACHE YARVIK_RELEASE_LINK PROPERTY STRINGS static shared)
if(NOT YARVIK_RELEASE_LINK MATCHES "^(static|shared)$")
  message(FATAL_ERROR "YARVIK_RELEASE_LINK is '${YARVIK_RELEASE_LINK}': static or shared")
endif()

# Who publishes the release: placeholders until set (README, Releasing).
set(YARVIK_MAINTAINER "The Yarvik authors <yarvik@example.org>" CACHE STRING "The Debian package's maintainer")
set(YARVIK_HOMEPAGE "https://yarvik.example.org" CACHE STRING
    "The project's web page; its knot.png and tunnel.png are the screenshots software centres show")
set(YARVIK_APP_ID "org.example.yarvik" CACHE STRING
    "The reverse-DNS name software centres know the demo by (desktop entry, AppStream metainfo)")
set(YARVIK_DIST_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH "Where make release writes the archive and the package")

if(YARVIK_RELEASE_LINK STREQUAL "shared")
  # Hardened as Debian builds its packages (dpkg-buildflags with hardening=+all): checked
  # string and memory calls, guarded stacks, the GOT read-only and bound at start-up. None of
  # them changes what the programs compute. Symbols stripped.
  add_compile_definitions(_FORTIFY_SOURCE=2)
  add_compile_options(-fstack-protector-strong)
  add_link_options(-s -Wl,-z,relro -Wl,-z,now)
  include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
  return()
endif()

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

# ---------------------------------------------------------------------------------------------
# The demo archive, dist/yarvik-VERSION-linux-x86_64.tar.gz: both programs, the info file, a
# screenshot, the licence and the third-party notices, in one folder.
set(generated ${CMAKE_BINARY_DIR}/packaging)
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
configure_file(${packaging}/yarvik.nfo.in ${generated}/yarvik.nfo @ONLY)
set(archive ${YARVIK_DIST_DIR}/yarvik-${YARVIK_VERSION}-linux-x86_64.tar.gz)
set(stage ${CMAKE_BINARY_DIR}/archive)
set(folder yarvik-${YARVIK_VERSION})
set(archiveFiles ${generated}/yarvik.nfo ${CMAKE_SOURCE_DIR}/docs/knot.png ${CMAKE_SOURCE_DIR}/LICENSE
                 ${packaging}/THIRD-PARTY-NOTICES.txt)
add_custom_command(OUTPUT ${archive}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${folder} ${YARVIK_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:yarvik> $<TARGET_FILE:yarvik-capture> ${generated}/yarvik.nfo
          ${CMAKE_SOURCE_DIR}/LICENSE ${packaging}/THIRD-PARTY-NOTICES.txt ${stage}/${folder}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/docs/knot.png ${stage}/${folder}/screenshot.png
  COMMAND tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@${YARVIK_SOURCE_TIME} -C ${stage}
          -cf ${stage}/${folder}.tar ${folder}
  COMMAND gzip -9nf ${stage}/${folder}.tar
  COMMAND ${CMAKE_COMMAND} -E rename ${stage}/${folder}.tar.gz ${archive}
  DEPENDS yarvik yarvik-capture ${archiveFiles} VERBATIM)

# The Debian package, from its own configuration of the same sources in build-release/package
# (YARVIK_RELEASE_LINK=shared), handed what this one was configured with.
include(ExternalProject)
set(packageBuild ${CMAKE_BINARY_DIR}/package)
ExternalProject_Add(package_configuration
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${packageBuild}
  PREFIX ${CMAKE_BINARY_DIR}/package-steps
  CMAKE_CACHE_ARGS -DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}
                   -DCMAKE_C_COMPILER:FILEPATH=${CMAKE_C_COMPILER} -DCMAKE_CXX_COMPILER:FILEPATH=${CMAKE_CXX_COMPILER}
                   -DCMAKE_C_FLAGS:STRING=${CMAKE_C_FLAGS} -DCMAKE_CXX_FLAGS:STRING=${CMAKE_CXX_FLAGS}
                   -DCMAKE_EXE_LINKER_FLAGS:STRING=${CMAKE_EXE_LINKER_FLAGS}
                   -DYARVIK_RELEASE:BOOL=ON -DYARVIK_RELEASE_LINK:STRING=shared
                   -DYARVIK_TESTS:BOOL=OFF -DYARVIK_BENCH:BOOL=OFF
                   -DYARVIK_MAINTAINER:STRING=${YARVIK_MAINTAINER} -DYARVIK_HOMEPAGE:STRING=${YARVIK_HOMEPAGE}
                   -DYARVIK_APP_ID:STRING=${YARVIK_APP_ID} -DYARVIK_DIST_DIR:PATH=${YARVIK_DIST_DIR}
  BUILD_COMMAND $(MAKE) release
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  EXCLUDE_FROM_ALL ON)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE debArch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb ${YARVIK_DIST_DIR}/yarvik_${YARVIK_VERSION}_${debArch}.deb)

add_custom_target(release
  COMMAND ${CMAKE_COMMAND} -E echo "release: ${archive}"
  COMMAND ${CMAKE_COMMAND} -E echo "release: ${deb}"
  DEPENDS ${archive} package_configuration VERBATIM)

enable_testing()
add_test(NAME release.contents
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/contents_test.sh ${archive} ${deb} ${CMAKE_BINARY_DIR}
                 ${packageBuild})
set_tests_properties(release.contents PROPERTIES TIMEOUT 180 LABELS release)
