# What a release holds and where it goes (included by cmake/Release.cmake):
#   - the install rules, which `cmake --install build-release --prefix DIR` and the Debian
#     package share: both programs, the man pages yarvik(6) and yarvik-capture(1), the desktop
#     entry and its icon, the licences (LICENSE and the third-party notices) as the copyright file;
#   - target `release`: dist/yarvik-VERSION-linux-x86_64.tar.gz, the demo archive (both
#     programs, the info file, a screenshot, the licence and the notices, in one folder), and
#     dist/yarvik_VERSION_ARCH.deb through CPack, with its dependencies found by dpkg-shlibdeps;
#   - ctest entry release.contents, which checks both without the network.
include(GNUInstallDirs)
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(generated ${CMAKE_BINARY_DIR}/packaging)

# The release's date, and the time its archive's files carry: the commit's (or, outside a git
# checkout, the VERSION file's), not the moment it was packed.
execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                OUTPUT_VARIABLE sourceTime OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT sourceTime)
  file(TIMESTAMP ${CMAKE_SOURCE_DIR}/VERSION sourceTime "%s" UTC)
endif()
execute_process(COMMAND date -u -d @${sourceTime} +%Y-%m-%d OUTPUT_VARIABLE YARVIK_RELEASE_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE)

# Texts with the version in them, and the copyright file: the licence, then the notices.
configure_file(${packaging}/yarvik.nfo.in ${generated}/yarvik.nfo @ONLY)
configure_file(${packaging}/yarvik.6.in ${generated}/yarvik.6 @ONLY)
configure_file(${packaging}/yarvik-capture.1.in ${generated}/yarvik-capture.1 @ONLY)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
file(READ ${packaging}/THIRD-PARTY-NOTICES.txt notices)
file(WRITE ${generated}/copyright.new "${licence}\n\n${notices}")
configure_file(${generated}/copyright.new ${generated}/copyright COPYONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/LICENSE ${packaging}/THIRD-PARTY-NOTICES.txt)

foreach(page yarvik.6 yarvik-capture.1)
  add_custom_command(OUTPUT ${generated}/${page}.gz
                     COMMAND gzip -9nc ${generated}/${page} > ${generated}/${page}.gz
                     DEPENDS ${generated}/${page} VERBATIM)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${generated}/yarvik.6.gz ${generated}/yarvik-capture.1.gz)

install(PROGRAMS $<TARGET_FILE:yarvik> $<TARGET_FILE:yarvik-capture> DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${generated}/yarvik.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${generated}/yarvik-capture.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/yarvik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/yarvik.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES ${generated}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
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
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
set(YARVIK_DEB ${YARVIK_DIST_DIR}/yarvik_${YARVIK_VERSION}_${debArch}.deb)

# The demo archive, and then the package.
set(archive ${YARVIK_DIST_DIR}/${YARVIK_ARCHIVE_NAME}.tar.gz)
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
  COMMAND tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@${sourceTime} -C ${stage}
          -cf ${stage}/${folder}.tar ${folder}
  COMMAND gzip -9nf ${stage}/${folder}.tar
  COMMAND ${CMAKE_COMMAND} -E rename ${stage}/${folder}.tar.gz ${archive}
  DEPENDS yarvik yarvik-capture ${archiveFiles} VERBATIM)
add_custom_target(release
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  COMMAND ${CMAKE_COMMAND} -E echo "release: ${archive}"
  COMMAND ${CMAKE_COMMAND} -E echo "release: ${YARVIK_DEB}"
  DEPENDS ${archive} man_pages yarvik yarvik-capture VERBATIM)

enable_testing()
add_test(NAME release.contents
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/contents_test.sh ${archive} ${YARVIK_DEB} ${CMAKE_BINARY_DIR})
set_tests_properties(release.contents PROPERTIES TIMEOUT 120 LABELS release)
