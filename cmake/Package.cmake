# The Debian package (included by cmake/Release.cmake in the configuration that links
# Debian's shared libraries, build-release/package):
#   - the install rules, which `cmake --install` and the package share, laid out as Debian's
#     policy has it for a package in section games: the demo in games/ with yarvik(6); the
#     capture tool, a tool for making a video rather than something to play, in bin/ with
#     yarvik-capture(1); the desktop entry, the AppStream metainfo and the icon at four sizes,
#     so that menus and software centres list it; the copyright file (machine-readable), the
#     changelog, and lintian's note on the capture tool's place;
#   - target `release`: dist/yarvik_VERSION_ARCH.deb through CPack, its dependencies found by
#     dpkg-shlibdeps.
include(GNUInstallDirs)
set(gamesDir games)
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)

# The copyright holder, as LICENSE names it ("Copyright (c) 2026 The Yarvik authors").
file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE copyrightLine REGEX "^Copyright" LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright (\\([cC]\\) )?" "" YARVIK_COPYRIGHT "${copyrightLine}")
string(REGEX REPLACE "^[0-9, -]+ " "" YARVIK_COPYRIGHT_HOLDER "${YARVIK_COPYRIGHT}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
execute_process(COMMAND date -u -R -d @${YARVIK_SOURCE_TIME} OUTPUT_VARIABLE YARVIK_CHANGELOG_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE)

foreach(text yarvik.6 yarvik-capture.1 changelog copyright yarvik.metainfo.xml)
  configure_file(${packaging}/${text}.in ${generated}/${text} @ONLY)
endforeach()

# Man pages and the changelog compressed as Debian has them; the icon, drawn at 256x256, made
# at the smaller sizes a desktop asks for (the same bytes on every build: no dates inside).
find_program(YARVIK_CONVERT convert REQUIRED)
set(packageFiles "")
foreach(text yarvik.6 yarvik-capture.1 changelog)
  add_custom_command(OUTPUT ${generated}/${text}.gz
                     COMMAND gzip -9nc ${generated}/${text} > ${generated}/${text}.gz
                     DEPENDS ${generated}/${text} VERBATIM)
  list(APPEND packageFiles ${generated}/${text}.gz)
endforeach()
set(iconSizes 48 64 128)
foreach(size ${iconSizes})
  add_custom_command(OUTPUT ${generated}/icons/${size}/yarvik.png
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}
                     COMMAND ${YARVIK_CONVERT} ${packaging}/yarvik.png -filter Lanczos -resize ${size}x${size} -strip
                             ${generated}/icons/${size}/yarvik.png
                     DEPENDS ${packaging}/yarvik.png VERBATIM)
  list(APPEND packageFiles ${generated}/icons/${size}/yarvik.png)
endforeach()
add_custom_target(package_files ALL DEPENDS ${packageFiles})

install(PROGRAMS $<TARGET_FILE:yarvik> DESTINATION ${gamesDir})
install(PROGRAMS $<TARGET_FILE:yarvik-capture> DESTINATION ${CMAKE_INSTALL_BINDIR})
# What the linker leaves that no one runs (as dh_strip does): the compiler's notes.
install(CODE "foreach(program ${gamesDir}/yarvik ${CMAKE_INSTALL_BINDIR}/yarvik-capture)
                execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
              endforeach()")
install(FILES ${generated}/yarvik.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${generated}/yarvik-capture.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/yarvik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${YARVIK_APP_ID}.desktop)
install(FILES ${generated}/yarvik.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${YARVIK_APP_ID}.metainfo.xml)
foreach(size ${iconSizes})
  install(FILES ${generated}/icons/${size}/yarvik.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${packaging}/yarvik.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${generated}/copyright ${generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${packaging}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME yarvik)

# The package.
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE debArch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME yarvik)
set(CPACK_PACKAGE_VERSION ${YARVIK_VERSION})
set(CPACK_PACKAGE_CONTACT ${YARVIK_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo: a knot and a tunnel to a tracker tune")
set(CPACK_PACKAGE_DESCRIPTION
    "Yarvik switches the display to 640x480, plays its embedded XM module\n"
    "once and shows two OpenGL scenes in time with it: a lit tube growing\n"
    "along a knot, then a flight through a breathing tunnel with a particle\n"
    "pen and a text scroller. Escape ends it at once.\n"
    "yarvik-capture renders the same demo frame by frame to PNG frames and\n"
    "a WAV, or to MP4.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${YARVIK_DIST_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${debArch})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${YARVIK_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

add_custom_target(release
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  DEPENDS yarvik yarvik-capture package_files VERBATIM)
