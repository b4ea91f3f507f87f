# The demo itself, as one static library, yarvik_core, made the same way by every build (the
# desktop's, the browser's, the Windows one): every source of the core folders, which hold no
# platform code, with the embedded resources (every file named in resources/resources.list,
# assembled into the binary). The program's entry, YARVIK_ENTRY, is listed with the program.
include(${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)
set(YARVIK_ENTRY shell/main.cpp)

# yarvik_add_core(LIBRARY...): the core, linked with the music player's and the font engine's
# libraries as the build has them.
function(yarvik_add_core)
  yarvik_embed_resources(${CMAKE_SOURCE_DIR}/resources/resources.list yarvik_resources)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS LIST_DIRECTORIES false RELATIVE ${CMAKE_SOURCE_DIR}
    shell/*.cpp assets/*.cpp music/*.cpp math/*.cpp scenes/*.cpp)
  list(REMOVE_ITEM sources ${YARVIK_ENTRY})
  add_library(yarvik_core STATIC ${sources} $<TARGET_OBJECTS:yarvik_resources>)
  target_include_directories(yarvik_core PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(yarvik_core PUBLIC ${ARGN})
endfunction()
