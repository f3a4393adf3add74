# The application icon, drawn once as SVG; every picture of it (the hicolor
# sizes, the front end's window icon, the Linux module's window icon) is
# rendered from that file at build time.
set(IVQA_ICON_SOURCE ${PROJECT_SOURCE_DIR}/share/linux/icons/ironquiver.svg)
find_program(IVQA_RSVG_CONVERT rsvg-convert REQUIRED)

# ivqa_render_icon(OUTPUT file.png SIZE pixels)
function(ivqa_render_icon)
  cmake_parse_arguments(I "" "OUTPUT;SIZE" "" ${ARGN})
  get_filename_component(dir ${I_OUTPUT} DIRECTORY)
  add_custom_command(OUTPUT ${I_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${IVQA_RSVG_CONVERT} -w ${I_SIZE} -h ${I_SIZE} -o ${I_OUTPUT} ${IVQA_ICON_SOURCE}
    DEPENDS ${IVQA_ICON_SOURCE}
    COMMENT "Rendering the icon at ${I_SIZE}x${I_SIZE}")
endfunction()
