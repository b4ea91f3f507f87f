# Embeds the files named in a resource list into the program with the assembler's .incbin,
# which copies the bytes straight into the object file (fast for multi-megabyte files, unlike
# a generated array literal). Also emits the table that findResourceBlob searches:
#   struct { const char* type; const char* name; const unsigned char* data; uint64_t size; }
# as yarvikResourceTable[yarvikResourceCount].
#
# List format: one resource a line, "TYPE NAME FILE"; FILE is relative to the list's folder or
# absolute; '#' starts a comment.
function(yarvik_embed_resources list_file target)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  get_filename_component(list_dir ${list_file} DIRECTORY)
  file(STRINGS ${list_file} lines)

  set(blobs "")
  set(strings "")
  set(table "")
  set(depends "")
  set(count 0)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*$" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields nfields)
    if(NOT nfields EQUAL 3)
      message(FATAL_ERROR "${list_file}: expected 'TYPE NAME FILE', got '${line}'")
    endif()
    list(GET fields 0 type)
    list(GET fields 1 name)
    list(GET fields 2 file)
    if(NOT IS_ABSOLUTE ${file})
      set(file ${list_dir}/${file})
    endif()
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "${list_file}: resource ${type}/${name}: no file ${file}")
    endif()
    list(APPEND depends ${file})
    string(APPEND blobs
      "    .balign 16\nyarvik_res_${count}_begin:\n    .incbin \"${file}\"\nyarvik_res_${count}_end:\n    .byte 0\n")
    string(APPEND strings
      "yarvik_res_${count}_type: .asciz \"${type}\"\nyarvik_res_${count}_name: .asciz \"${name}\"\n")
    string(APPEND table
      "    .quad yarvik_res_${count}_type, yarvik_res_${count}_name, yarvik_res_${count}_begin\n    .quad yarvik_res_${count}_end - yarvik_res_${count}_begin\n")
    math(EXPR count "${count} + 1")
  endforeach()

  set(asm "/* Generated from ${list_file}; do not edit. */\n")
  string(APPEND asm "    .section .rodata.yarvik_resources,\"a\"\n${blobs}")
  string(APPEND asm "    .section .rodata.yarvik_resource_names,\"a\"\n${strings}")
  string(APPEND asm "    .section .data.rel.ro.yarvik_resource_table,\"aw\"\n    .balign 8\n")
  string(APPEND asm "    .globl yarvikResourceTable\nyarvikResourceTable:\n${table}")
  string(APPEND asm "    .globl yarvikResourceCount\n    .balign 8\nyarvikResourceCount:\n    .quad ${count}\n")
  string(APPEND asm "    .section .note.GNU-stack,\"\",@progbits\n")

  set(out ${CMAKE_BINARY_DIR}/generated/yarvik_resources.S)
  file(CONFIGURE OUTPUT ${out} CONTENT "${asm}" @ONLY)
  set_source_files_properties(${out} PROPERTIES OBJECT_DEPENDS "${depends}")
  add_library(${target} OBJECT ${out})
endfunction()
