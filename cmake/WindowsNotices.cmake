# cmake -DPACKAGING=packaging -DOUT=file -P WindowsNotices.cmake: the Windows zip's
# THIRD-PARTY-NOTICES.txt, with Windows line ends: packaging/windows/notices-head.txt, then the
# Linux archive's sections for the font, libxmp, FreeType and zlib (each "both programs" there
# being yarvik.exe here, and its libxmp built by `make windows`), with SDL's and mingw-w64's
# sections between and after.
file(READ ${PACKAGING}/THIRD-PARTY-NOTICES.txt linux)
set(rule "===============================================================================\n")
function(linux_section number title out)
  string(FIND "${linux}" "${rule}${number}. ${title}\n" begin)
  if(begin EQUAL -1)
    message(FATAL_ERROR "THIRD-PARTY-NOTICES.txt has no section ${number}. ${title}")
  endif()
  math(EXPR next "${number} + 1")
  string(FIND "${linux}" "\n${rule}${next}. " end)
  math(EXPR length "${end} + 1 - ${begin}")
  string(SUBSTRING "${linux}" ${begin} ${length} text)
  string(REPLACE "both programs" "yarvik.exe" text "${text}")
  string(REPLACE "its `make release` builds this libxmp from\nthird_party/libxmp and links the programs with it"
                 "its `make windows` builds this libxmp from\nthird_party/libxmp and links the program with it" text "${text}")
  string(REPLACE "linked statically into yarvik.exe." "linked statically into yarvik.exe, used by FreeType." text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
linux_section(1 "Liberation Sans Bold" font)
linux_section(2 "libxmp" xmp)
linux_section(3 "FreeType" freetype)
linux_section(5 "zlib" zlib)
file(READ ${PACKAGING}/windows/notices-head.txt head)
file(READ ${PACKAGING}/windows/notices-sdl.txt sdl)
file(READ ${PACKAGING}/windows/notices-mingw.txt mingw)
string(REPLACE "\n" "\r\n" text "${head}${font}${xmp}${freetype}${sdl}${zlib}${mingw}")
file(WRITE ${OUT} "${text}")
