# cmake -DBIN=... -DHEADER=... -DREADME=... -DSTAGE=... -DZIP=... -P WindowsDist.cmake
# The Windows distribution: the program, the library, its import library,
# its header, the four modules and the README with Windows line ends, in
# one zip.
set(from_bin ivqa.exe ivqa.dll ivqa.lib GUI_en.exe.iqm GUI_ru.exe.iqm GUI_en.iqm GUI_ru.iqm)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
foreach(name ${from_bin})
  file(COPY ${BIN}/${name} DESTINATION ${STAGE})
endforeach()
file(COPY ${HEADER} DESTINATION ${STAGE})
file(READ ${README} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${STAGE}/README.txt "${text}")
get_filename_component(zip_dir ${ZIP} DIRECTORY)
file(MAKE_DIRECTORY ${zip_dir})
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${from_bin} ivqa.h README.txt
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Could not write ${ZIP}")
endif()
