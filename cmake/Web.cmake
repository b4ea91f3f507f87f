# The browser build: the project configured with emscripten's CMake toolchain (`make web` runs
# `emcmake cmake` into build-web) instead of the desktop's libraries and programs. It makes
# static wasm libraries of libxmp and FreeType from Debian's sources of the very versions the
# desktop build uses (fetched by scripts/install-web-deps into third_party/), the embedded
# resources in wasm assembly, and the browser build's tests, which run on node and in headless
# Chromium (label web; `make test` runs them in its web step).

# emcc runs its JavaScript optimiser at -O1 and above on the system's node, which does not
# search the folder where Debian keeps the optimiser's modules (acorn): every link here, and
# every configure of the libraries below, is given that folder.
set(YARVIK_NODE_PATH /usr/share/nodejs CACHE PATH "Where emscripten's node modules (acorn) are")
set(webEnv ${CMAKE_COMMAND} -E env NODE_PATH=${YARVIK_NODE_PATH})
set(CMAKE_C_LINKER_LAUNCHER ${webEnv})
set(CMAKE_CXX_LINKER_LAUNCHER ${webEnv})
find_program(EMCONFIGURE emconfigure REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_program(NODE node REQUIRED NO_CMAKE_FIND_ROOT_PATH)

# Fails the configuration unless DIR holds Debian's source of the installed PACKAGE.
function(yarvik_require_debian_source dir package)
  execute_process(COMMAND dpkg-parsechangelog -l ${dir}/debian/changelog -S Version
                  OUTPUT_VARIABLE sourceVersion OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND dpkg-query -W -f=\${source:Version} ${package}
                  OUTPUT_VARIABLE installedVersion OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT sourceVersion OR NOT sourceVersion STREQUAL installedVersion)
    message(FATAL_ERROR "${dir} holds '${sourceVersion}', the desktop build uses ${package} "
                        "'${installedVersion}': run scripts/install-web-deps")
  endif()
endfunction()

# libxmp as the release builds it (static, without the depackers and ProWizard converters,
# which only serve modules loaded from packed files), for wasm32. Its configure builds with
# hidden symbols and XMP_SYM_VISIBILITY, so the library's functions are not all kept alive
# as emscripten's exports; code that includes xmp.h defines it too, or the header pulls
# <emscripten.h> into an extern "C" block, which C++ refuses. configure's test programs are
# linked without emcc's optimiser (LDFLAGS=-O0 comes after CFLAGS on their command line),
# which saves a minute; the library itself is compiled at -O2. Both libraries are made by
# $(MAKE), so that they share the build's jobs.
set(XMP_SOURCE ${CMAKE_SOURCE_DIR}/third_party/libxmp)
yarvik_require_debian_source(${XMP_SOURCE} libxmp-dev)
set(xmpBuild ${CMAKE_BINARY_DIR}/libxmp)
add_custom_command(OUTPUT ${xmpBuild}/lib/libxmp.a
  COMMAND rm -rf ${xmpBuild} && cp -a ${XMP_SOURCE} ${xmpBuild}
  COMMAND cd ${xmpBuild} && ${webEnv} ${EMCONFIGURE} ./configure --quiet --host=wasm32-unknown-emscripten
          --enable-static --disable-shared --disable-depackers --disable-prowizard CFLAGS=-O2 LDFLAGS=-O0
          >${xmpBuild}.log 2>&1
  COMMAND $(MAKE) -C ${xmpBuild} lib/libxmp.a AR=${CMAKE_AR} >>${xmpBuild}.log 2>&1
  DEPENDS ${XMP_SOURCE}/debian/changelog
  COMMENT "Building libxmp for wasm (static) from Debian's source")
add_custom_target(libxmp_wasm ALL DEPENDS ${xmpBuild}/lib/libxmp.a)
add_library(yarvik_xmp_wasm STATIC IMPORTED)
set_target_properties(yarvik_xmp_wasm PROPERTIES IMPORTED_LOCATION ${xmpBuild}/lib/libxmp.a
                      INTERFACE_INCLUDE_DIRECTORIES ${XMP_SOURCE}/include
                      INTERFACE_COMPILE_DEFINITIONS XMP_SYM_VISIBILITY)
add_dependencies(yarvik_xmp_wasm libxmp_wasm)

# FreeType with its own CMake build for wasm32, static, installed into build-web/freetype-wasm;
# without zlib, bzip2, libpng, HarfBuzz and Brotli, which the demo's one TrueType font needs
# none of (and emscripten could only download them).
set(FREETYPE_SOURCE ${CMAKE_SOURCE_DIR}/third_party/freetype)
yarvik_require_debian_source(${FREETYPE_SOURCE} libfreetype-dev)
set(freetypeBuild ${CMAKE_BINARY_DIR}/freetype)
set(freetypePrefix ${CMAKE_BINARY_DIR}/freetype-wasm)
add_custom_command(OUTPUT ${freetypePrefix}/lib/libfreetype.a
  COMMAND rm -rf ${freetypeBuild} ${freetypePrefix}
  COMMAND ${webEnv} ${CMAKE_COMMAND} -S ${FREETYPE_SOURCE} -B ${freetypeBuild} -G "Unix Makefiles"
          -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
          -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON
          -DFT_DISABLE_BROTLI=ON -DCMAKE_INSTALL_PREFIX=${freetypePrefix} -DCMAKE_INSTALL_MESSAGE=NEVER
          >${freetypeBuild}.log 2>&1
  COMMAND $(MAKE) -C ${freetypeBuild} >>${freetypeBuild}.log 2>&1
  COMMAND ${CMAKE_COMMAND} --install ${freetypeBuild} >>${freetypeBuild}.log 2>&1
  DEPENDS ${FREETYPE_SOURCE}/debian/changelog
  COMMENT "Building FreeType for wasm (static) from Debian's source")
add_custom_target(freetype_wasm ALL DEPENDS ${freetypePrefix}/lib/libfreetype.a)
file(MAKE_DIRECTORY ${freetypePrefix}/include/freetype2)
add_library(yarvik_freetype_wasm STATIC IMPORTED)
set_target_properties(yarvik_freetype_wasm PROPERTIES IMPORTED_LOCATION ${freetypePrefix}/lib/libfreetype.a
                      INTERFACE_INCLUDE_DIRECTORIES ${freetypePrefix}/include/freetype2)
add_dependencies(yarvik_freetype_wasm freetype_wasm)

# The demo's core, the same sources as the desktop's, on the wasm libraries.
include(cmake/Core.cmake)
yarvik_add_core(yarvik_xmp_wasm yarvik_freetype_wasm)

# GL through the table, the GL 1.1 layer on ES 2 (WebGL 1), and the browser platform.
add_subdirectory(platform/gl)
add_subdirectory(platform/gles2)
add_subdirectory(platform/web)

# The program: yarvik.js and yarvik.wasm, the page's index.html beside them, in
# dist/yarvik-web-VERSION/ and its zip. The page's still is embedded in it, so the page fetches
# nothing but the program.
add_executable(yarvik platform/web/main_web.cpp)
target_link_libraries(yarvik PRIVATE yarvik_web yarvik_core)
set_target_properties(yarvik PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/page)
target_link_options(yarvik PRIVATE -O2 -sENVIRONMENT=web -sINITIAL_MEMORY=64MB -sALLOW_MEMORY_GROWTH=1
                    "-sEXPORTED_FUNCTIONS=_main,_webStart,_webRenderFrame")
execute_process(COMMAND base64 -w0 ${CMAKE_SOURCE_DIR}/platform/web/still.jpg OUTPUT_VARIABLE STILL_BASE64
                COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/still.jpg)
configure_file(${CMAKE_SOURCE_DIR}/platform/web/index.html.in ${CMAKE_BINARY_DIR}/page/index.html @ONLY)

set(YARVIK_DIST_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH "Where make web writes the page's folder and zip")
set(webFolder yarvik-web-${YARVIK_VERSION})
set(webZip ${YARVIK_DIST_DIR}/${webFolder}.zip)
add_custom_command(OUTPUT ${webZip}
  COMMAND rm -rf ${YARVIK_DIST_DIR}/${webFolder} ${webZip}
  COMMAND mkdir -p ${YARVIK_DIST_DIR}/${webFolder}
  COMMAND cp ${CMAKE_BINARY_DIR}/page/index.html $<TARGET_FILE:yarvik> $<TARGET_FILE_DIR:yarvik>/yarvik.wasm
          ${YARVIK_DIST_DIR}/${webFolder}/
  COMMAND cd ${YARVIK_DIST_DIR} && zip -qrX ${webZip} ${webFolder}
  DEPENDS yarvik ${CMAKE_BINARY_DIR}/page/index.html
  COMMENT "Packing ${webFolder} and its zip into dist/")
add_custom_target(web_dist ALL DEPENDS ${webZip})

enable_testing()
add_subdirectory(tests/web)
