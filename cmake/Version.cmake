# The version of both programs and of the release packages, held in one place: the VERSION
# file at the top of the tree. In a git checkout, what `git describe` says is appended
# ("1.0.0+63adbe2", "1.0.0+3.g63adbe2.dirty": the commit, its distance from the release tag
# v1.0.0, local changes), unless the checkout is exactly that tag. Dashes become dots so the
# result is also a valid Debian version. Written at configure time into yarvik_version.h.
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION YARVIK_VERSION_BASE LIMIT_COUNT 1)
set(YARVIK_VERSION ${YARVIK_VERSION_BASE})
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty --match "v[0-9]*"
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} RESULT_VARIABLE describeFailed
                  OUTPUT_VARIABLE describe OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT describeFailed AND NOT describe STREQUAL "v${YARVIK_VERSION_BASE}")
    string(REGEX REPLACE "^v${YARVIK_VERSION_BASE}-" "" describe "${describe}")
    string(REPLACE "-" "." describe "${describe}")
    set(YARVIK_VERSION "${YARVIK_VERSION_BASE}+${describe}")
  endif()
  # A new commit or checkout configures again (when the build is run through cmake --build).
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --git-dir WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE gitDir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  get_filename_component(gitDir "${gitDir}" ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
  if(EXISTS "${gitDir}/logs/HEAD")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${gitDir}/logs/HEAD")
  endif()
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)

# The release's date (YARVIK_RELEASE_DATE) and the time its files carry (YARVIK_SOURCE_TIME):
# the commit's (or, outside a git checkout, the VERSION file's), not the moment it was packed.
execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                OUTPUT_VARIABLE YARVIK_SOURCE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT YARVIK_SOURCE_TIME)
  file(TIMESTAMP ${CMAKE_SOURCE_DIR}/VERSION YARVIK_SOURCE_TIME "%s" UTC)
endif()
execute_process(COMMAND date -u -d @${YARVIK_SOURCE_TIME} +%Y-%m-%d OUTPUT_VARIABLE YARVIK_RELEASE_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/yarvik_version.h.in ${CMAKE_BINARY_DIR}/generated/yarvik_version.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)
message(STATUS "Yarvik ${YARVIK_VERSION}")
