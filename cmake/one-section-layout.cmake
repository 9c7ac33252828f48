# Writes the linker script of the installer: the default i386pe script with the read-only data and
# the imports moved into the code's section, so that the program has three sections (code with
# data, zero-filled data, resources). Its headers then fit in 512 bytes and only one section is
# padded to the file alignment: about a kilobyte less in every uninstaller copy.
# The merged section is named .idata and starts with the import descriptors, because ld fills in
# the import directory from the section of that name; the build marks it executable afterwards.
#   cmake -DLINKER=<ld> -DOUTPUT=<script> -P one-section-layout.cmake
execute_process(COMMAND ${LINKER} --verbose -m i386pe OUTPUT_VARIABLE verbose RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${LINKER} --verbose failed")
endif()
string(FIND "${verbose}" "/* Default linker script" first)
string(FIND "${verbose}" "==================================================" last REVERSE)
string(SUBSTRING "${verbose}" ${first} -1 script)
string(FIND "${script}" "==================================================" last REVERSE)
string(SUBSTRING "${script}" 0 ${last} script)

# Cuts the output section that starts with `head` out of the script; returns its inner lines.
function(cut_section head inner_var)
  string(FIND "${script}" "${head}" at)
  if(at LESS 0)
    message(FATAL_ERROR "no '${head}' in the default linker script")
  endif()
  string(SUBSTRING "${script}" ${at} -1 rest)
  string(FIND "${rest}" "\n  }\n" end)
  math(EXPR length "${end} + 5")
  string(SUBSTRING "${rest}" 0 ${length} section)
  string(REPLACE "${section}" "" remaining "${script}")
  string(FIND "${section}" "{" open)
  string(FIND "${section}" "}" close REVERSE)
  math(EXPR open "${open} + 1")
  math(EXPR inner_length "${close} - ${open}")
  string(SUBSTRING "${section}" ${open} ${inner_length} inner)
  set(script "${remaining}" PARENT_SCOPE)
  set(${inner_var} "${inner}" PARENT_SCOPE)
endfunction()

cut_section("  .idata BLOCK(__section_alignment__) :" imports)
cut_section("  .rdata BLOCK(__section_alignment__) :" readonly)
# No import lookup tables: they are a second copy of the import address tables, which every
# Windows loader (Windows 95 and NT alike, and Wine) reads the names from when a descriptor's
# lookup table is 0, as ld then writes it. 4 bytes per imported function and DLL, in every copy.
string(REPLACE "    KEEP (SORT(*)(.idata$4))\n" "" imports "${imports}")
string(REPLACE "  /DISCARD/ :\n  {\n" "  /DISCARD/ :\n  {\n    *(.idata$4)\n" script "${script}")
set(text_head "  .text  __image_base__ + ( __section_alignment__ < 0x1000 ? . : __section_alignment__ ) :\n  {\n")
string(FIND "${script}" "${text_head}" at)
if(at LESS 0)
  message(FATAL_ERROR "no .text section in the default linker script")
endif()
string(REPLACE ".text" ".idata" merged_head "${text_head}")
string(REPLACE "${text_head}" "${merged_head}${imports}    . = ALIGN(4);\n${readonly}    . = ALIGN(4);\n"
       script "${script}")
file(WRITE ${OUTPUT}.new "${script}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
