# cmake -DPNG=icon.png -DSIZE=48 -DOUTPUT=window_icon_pixels.cpp -P EmbedIconPixels.cmake
# Writes the picture's pixels as 8-bit RGBA rows into a C++ source, so that
# the module carries its window icon without an image library.
find_program(convert_tool convert REQUIRED)
set(raw ${OUTPUT}.rgba)
execute_process(COMMAND ${convert_tool} ${PNG} -depth 8 RGBA:${raw} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read the pixels of ${PNG}")
endif()
file(READ ${raw} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR expected "${SIZE} * ${SIZE} * 4 * 2")
if(NOT digits EQUAL expected)
  message(FATAL_ERROR "${PNG} is not ${SIZE}x${SIZE} pixels")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from the application icon by cmake/EmbedIconPixels.cmake.
#include \"module/window_icon.h\"

const unsigned char kWindowIconRgba[kWindowIconSize * kWindowIconSize * 4] = {
    ${bytes}
};
")
file(REMOVE ${raw})
