# embed_file(VAR PATH): sets VAR to C++ text defining `const unsigned char VAR[]`
# with the file's bytes (empty when the file is missing) and `VARSize`.
# Used in cmake -P scripts that compile web pages into the korvala command.
function(embed_file var path)
  if(EXISTS "${path}")
    file(READ "${path}" hex HEX)
  else()
    set(hex "")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Break the initialiser into lines of 20 bytes to keep the file readable by tools.
  string(REPEAT "0x[0-9a-f][0-9a-f]," 20 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  set(${var} "const unsigned char ${var}[] = {\n    ${bytes}0};\nconstexpr std::size_t ${var}Size = ${size};\n" PARENT_SCOPE)
endfunction()

# write_if_changed(PATH CONTENT): rewrites PATH only when CONTENT differs, so an
# unchanged page does not rebuild the command.
function(write_if_changed path content)
  set(old "")
  if(EXISTS "${path}")
    file(READ "${path}" old)
  endif()
  if(NOT old STREQUAL content)
    file(WRITE "${path}" "${content}")
  endif()
endfunction()
