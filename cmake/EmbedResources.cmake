# Embeds the files named in a resource list into the program with the assembler's .incbin,
# which copies the bytes straight into the object file (fast for multi-megabyte files, unlike
# a generated array literal). Also emits the table that findResourceBlob searches:
#   struct { const char* type; const char* name; const unsigned char* data; uint64_t size; }
# as yarvikResourceTable[yarvikResourceCount].
#
# Three dialects of assembly, chosen by the target here and nowhere else: ELF for the desktop
# (64-bit pointers), PE/COFF for Windows (the same, in read-only .rdata sections), and wasm32
# for the browser build, whose object format wants a section's flags written "",@, a .size for every label that another section points at (the end of a
# resource is a local .L label, used only in its size), and 32-bit pointers, so that the
# 64-bit size sits after four bytes of padding, where the C++ struct has it.
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
    set(res yarvik_res_${count})
    if(EMSCRIPTEN)
      string(LENGTH "${type}" typeSize)
      string(LENGTH "${name}" nameSize)
      math(EXPR typeSize "${typeSize} + 1")
      math(EXPR nameSize "${nameSize} + 1")
      string(APPEND blobs "    .balign 16\n${res}_begin:\n    .incbin \"${file}\"\n.L${res}_end:\n    .byte 0\n"
                          "    .size ${res}_begin, .L${res}_end - ${res}_begin + 1\n")
      string(APPEND strings "${res}_type: .asciz \"${type}\"\n    .size ${res}_type, ${typeSize}\n"
                            "${res}_name: .asciz \"${name}\"\n    .size ${res}_name, ${nameSize}\n")
      string(APPEND table "    .int32 ${res}_type\n    .int32 ${res}_name\n    .int32 ${res}_begin\n    .int32 0\n"
                          "    .int64 .L${res}_end - ${res}_begin\n")
    else()
      string(APPEND blobs "    .balign 16\n${res}_begin:\n    .incbin \"${file}\"\n${res}_end:\n    .byte 0\n")
      string(APPEND strings "${res}_type: .asciz \"${type}\"\n${res}_name: .asciz \"${name}\"\n")
      string(APPEND table "    .quad ${res}_type, ${res}_name, ${res}_begin\n    .quad ${res}_end - ${res}_begin\n")
    endif()
    math(EXPR count "${count} + 1")
  endforeach()

  set(asm "/* Generated from ${list_file}; do not edit. */\n")
  if(EMSCRIPTEN)
    math(EXPR tableSize "${count} * 24")
    string(APPEND asm "    .section .rodata.yarvik_resources,\"\",@\n${blobs}")
    string(APPEND asm "    .section .rodata.yarvik_resource_names,\"\",@\n${strings}")
    string(APPEND asm "    .section .data.rel.ro.yarvik_resource_table,\"\",@\n    .balign 8\n")
    string(APPEND asm "    .globl yarvikResourceTable\nyarvikResourceTable:\n${table}")
    string(APPEND asm "    .size yarvikResourceTable, ${tableSize}\n")
    string(APPEND asm "    .globl yarvikResourceCount\n    .balign 8\nyarvikResourceCount:\n    .int64 ${count}\n")
    string(APPEND asm "    .size yarvikResourceCount, 8\n")
  elseif(WIN32)
    # PE/COFF: read-only data sections ("dr"), which the linker merges into .rdata.
    string(APPEND asm "    .section .rdata$yarvik_resources,\"dr\"\n${blobs}")
    string(APPEND asm "    .section .rdata$yarvik_resource_names,\"dr\"\n${strings}")
    string(APPEND asm "    .section .rdata$yarvik_resource_table,\"dr\"\n    .balign 8\n")
    string(APPEND asm "    .globl yarvikResourceTable\nyarvikResourceTable:\n${table}")
    string(APPEND asm "    .globl yarvikResourceCount\n    .balign 8\nyarvikResourceCount:\n    .quad ${count}\n")
  else()
    string(APPEND asm "    .section .rodata.yarvik_resources,\"a\"\n${blobs}")
    string(APPEND asm "    .section .rodata.yarvik_resource_names,\"a\"\n${strings}")
    string(APPEND asm "    .section .data.rel.ro.yarvik_resource_table,\"aw\"\n    .balign 8\n")
    string(APPEND asm "    .globl yarvikResourceTable\nyarvikResourceTable:\n${table}")
    string(APPEND asm "    .globl yarvikResourceCount\n    .balign 8\nyarvikResourceCount:\n    .quad ${count}\n")
    string(APPEND asm "    .section .note.GNU-stack,\"\",@progbits\n")
  endif()

  set(out ${CMAKE_BINARY_DIR}/generated/yarvik_resources.S)
  file(CONFIGURE OUTPUT ${out} CONTENT "${asm}" @ONLY)
  set_source_files_properties(${out} PROPERTIES OBJECT_DEPENDS "${depends}")
  add_library(${target} OBJECT ${out})
endfunction()
