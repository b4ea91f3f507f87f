cmake_policy(SET CMP0057 NEW)
# Stops the build, naming them, when the core library calls GL or GLU functions that
# platform/gl/gl_calls.h does not list: the dispatch and the GL 1.1 layer on ES 2 serve exactly
# that list, so such a call would have nothing behind it there.
# cmake -DNM=nm -DLIBRARY=libyarvik_core.a -DCALLS=gl_calls.h -DSTAMP=file -P CheckGlCalls.cmake
execute_process(COMMAND ${NM} -u ${LIBRARY} OUTPUT_VARIABLE undefined RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot list the symbols of ${LIBRARY}")
endif()
string(REGEX MATCHALL "U glu?[A-Z][A-Za-z0-9_]*" called "${undefined}")
list(TRANSFORM called REPLACE "^U " "")
list(REMOVE_DUPLICATES called)

file(READ ${CALLS} text)
string(REGEX MATCHALL "X\\([A-Za-z]+, gl[A-Za-z0-9_]+|X\\(glu[A-Za-z0-9_]+\\)" entries "${text}")
list(TRANSFORM entries REPLACE "^X\\(([A-Za-z]+, )?" "")
list(TRANSFORM entries REPLACE "\\)$" "")

set(missing)
foreach(name ${called})
  if(NOT name IN_LIST entries)
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  list(JOIN missing " " names)
  message(FATAL_ERROR "The demo calls GL functions that platform/gl/gl_calls.h does not list, so neither "
                      "the dispatch nor the GL 1.1 layer on ES 2 (platform/gles2/) provides them: ${names}")
endif()
file(TOUCH ${STAMP})
