# Writes the resource script of the application icon: icon group 1 with one
# entry referring to icon image 30001, and that image, the icon file's only
# image taken byte for byte. (The resource compiler's ICON statement would
# number the image itself.)
#   spc_write_icon_resource(<icon file> <group id> <image id> <output .rc>)
function(spc_write_icon_resource icon group_id image_id output)
  file(READ ${icon} header HEX LIMIT 22)
  string(SUBSTRING "${header}" 0 12 directory)
  if(NOT directory STREQUAL "000001000100")
    message(FATAL_ERROR "${icon}: expected an icon file with exactly one image")
  endif()
  # The 16-byte directory entry: width, height, colours, reserved, planes,
  # bit count, image size, image offset.
  string(SUBSTRING "${header}" 12 32 entry)
  macro(_spc_le hex offset bytes var)
    set(${var} 0)
    math(EXPR _last "${bytes} - 1")
    foreach(i RANGE ${_last} 0 -1)
      math(EXPR _at "(${offset} + ${i}) * 2")
      string(SUBSTRING "${hex}" ${_at} 2 _byte)
      math(EXPR ${var} "(${${var}} << 8) + 0x${_byte}")
    endforeach()
  endmacro()
  _spc_le("${entry}" 0 1 width)
  _spc_le("${entry}" 1 1 height)
  _spc_le("${entry}" 2 1 colours)
  _spc_le("${entry}" 4 2 planes)
  _spc_le("${entry}" 6 2 bits)
  _spc_le("${entry}" 8 4 size)
  _spc_le("${entry}" 12 4 offset)

  file(READ ${icon} image HEX OFFSET ${offset} LIMIT ${size})
  string(LENGTH "${image}" hex_length)
  math(EXPR expected "${size} * 2")
  if(NOT hex_length EQUAL expected OR NOT size GREATER 0)
    message(FATAL_ERROR "${icon}: truncated image")
  endif()
  math(EXPR odd "${size} % 2")
  if(odd)
    message(FATAL_ERROR "${icon}: image of odd size ${size}")
  endif()
  # Raw data is written as 16-bit little-endian words.
  string(REGEX REPLACE "(..)(..)" "0x\\2\\1," words "${image}")
  string(REGEX REPLACE ",$" "" words "${words}")
  string(REGEX REPLACE "((0x....,){16})" "\\1\n  " words "${words}")

  math(EXPR size_low "${size} & 0xFFFF")
  math(EXPR size_high "(${size} >> 16) & 0xFFFF")
  math(EXPR width_height "${width} + (${height} << 8)")
  file(WRITE ${output}.tmp
"// Generated from ${icon}; do not edit.
// RT_ICON (3): the image.
${image_id} 3
BEGIN
  ${words}
END

// RT_GROUP_ICON (14): reserved, type 1 (icon), one entry: width and height,
// colours and reserved, planes, bit count, size in bytes, image id.
${group_id} 14
BEGIN
  0, 1, 1, ${width_height}, ${colours}, ${planes}, ${bits}, ${size_low}, ${size_high}, ${image_id}
END
")
  file(COPY_FILE ${output}.tmp ${output} ONLY_IF_DIFFERENT)
  file(REMOVE ${output}.tmp)
endfunction()
