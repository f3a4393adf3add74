# cmake -DSOURCE_DIR=frontend -DSOURCES="a.cpp;b.h;..." -P CheckFrontendCalls.cmake
# Fails when a file of the front end outside create/ and wipe/ calls the
# library's writer or wipe exports: only the archive and wipe runs may write
# or remove what the user named.
set(exports "SDAInit|SDAAddFile|SDAAddDir|SDAFinal|WipeInit|WipeFile|WipeDir|WipeFinal|RmFile|RmDir")
set(failures "")
string(REPLACE "|" ";" SOURCES "${SOURCES}")
foreach(source IN LISTS SOURCES)
  file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
  if(relative MATCHES "^(create|wipe)/")
    continue()
  endif()
  file(STRINGS ${source} calls REGEX "(IQ_|\\.|->)(${exports})[ \t]*\\(")
  foreach(call IN LISTS calls)
    string(STRIP "${call}" call)
    string(APPEND failures "  ${relative}: ${call}\n")
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "only frontend/create/ and frontend/wipe/ may call the writer or wipe exports:\n${failures}")
endif()
message(STATUS "no writer or wipe call outside frontend/create/ and frontend/wipe/")
