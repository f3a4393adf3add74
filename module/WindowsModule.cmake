# The module for Windows, GUI_en.exe.iqm and GUI_ru.exe.iqm, from the same
# engine, texts, console mode and dialog logic as the Linux one; the window
# is a dialog resource (module_win32.rc) instead of FLTK.
find_package(Threads REQUIRED)

set(IVQA_TERMINAL_INPUT_SOURCE terminal_input_win32.cpp)
include(${CMAKE_CURRENT_SOURCE_DIR}/ModuleLibraries.cmake)

# ivqa_windows_module(NAME GUI_en OFFSET bytes [RUSSIAN])
function(ivqa_windows_module)
  cmake_parse_arguments(M "RUSSIAN" "NAME;OFFSET" "" ${ARGN})
  set(linked ${M_NAME}_linked)
  # WIN32: a program of the window subsystem, no console window of its own.
  add_executable(${linked} WIN32 main_win32.cpp dialog_win32.cpp module_build.cpp module_win32.rc)
  target_link_libraries(${linked} PRIVATE ivqa_payload_offsets)
  if(M_RUSSIAN)
    target_compile_definitions(${linked} PRIVATE IVQA_MODULE_RUSSIAN)
  endif()
  # The resource compiler finds the icon here.
  target_include_directories(${linked} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${linked} PRIVATE ivqa_console ivqa_dialog_logic
                        comdlg32 shell32 ole32 user32 gdi32)
  target_link_options(${linked} PRIVATE -s LINKER:--gc-sections)
  set_target_properties(${linked} PROPERTIES
    OUTPUT_NAME ${M_NAME}.linked
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

  ivqa_padded_module(NAME ${M_NAME} LINKED ${linked} OUTPUT ${IVQA_OUTPUT_DIR}/${M_NAME}.exe.iqm OFFSET ${M_OFFSET})
endfunction()

ivqa_windows_module(NAME GUI_en OFFSET ${IVQA_PAYLOAD_OFFSET_WIN_EN})
ivqa_windows_module(NAME GUI_ru OFFSET ${IVQA_PAYLOAD_OFFSET_WIN_RU} RUSSIAN)
