# The engine, texts, console mode and dialog logic of the module: the same
# libraries for the Linux and the Windows build, and the padding step of
# both. The includer sets IVQA_TERMINAL_INPUT_SOURCE and provides
# ivqa_zlib_static.

# The extraction engine and where it reads payloads from.
add_library(ivqa_extract STATIC
  extraction_engine.cpp
  payload_source.cpp
  pending_output.cpp
  record_read_ahead.cpp
  record_reader.cpp
)
target_include_directories(ivqa_extract PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ivqa_extract PUBLIC ivqa_shared crypto platform platform_extract_fs
                      platform_url_runtime ivqa_zlib_static Threads::Threads)

# Texts of both languages, the help text and display conversions.
add_library(ivqa_module_common STATIC
  display_text.cpp
  help_text.cpp
  module_texts_en.cpp
  module_texts_ru.cpp
)
target_link_libraries(ivqa_module_common PUBLIC ivqa_extract)

# The console front end: options, prompts, log lines, listing, exit status.
add_library(ivqa_console STATIC
  console_frontend.cpp
  console_interrupt.cpp
  console_options.cpp
  entry_listing.cpp
  overwrite_question.cpp
  plain_line.cpp
  ${IVQA_TERMINAL_INPUT_SOURCE}
)
target_link_libraries(ivqa_console PUBLIC ivqa_module_common)

# The dialog's logic and its worker, without the toolkit.
add_library(ivqa_dialog_logic STATIC
  dialog_logic.cpp
  worker_gate.cpp
)
target_link_libraries(ivqa_dialog_logic PUBLIC ivqa_module_common Threads::Threads)

# ivqa_padded_module(NAME GUI_en LINKED target OUTPUT file OFFSET bytes):
# the target NAME pads the linked program with zeros to its payload offset
# and fails when the program outgrows it.
function(ivqa_padded_module)
  cmake_parse_arguments(P "" "NAME;LINKED;OUTPUT;OFFSET" "" ${ARGN})
  get_filename_component(shown ${P_OUTPUT} NAME)
  add_custom_command(OUTPUT ${P_OUTPUT}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/pad_module.sh $<TARGET_FILE:${P_LINKED}> ${P_OUTPUT} ${P_OFFSET}
    DEPENDS ${P_LINKED} ${CMAKE_CURRENT_SOURCE_DIR}/pad_module.sh
    COMMENT "Padding ${shown} to its payload offset ${P_OFFSET}"
    VERBATIM)
  add_custom_target(${P_NAME} ALL DEPENDS ${P_OUTPUT})
endfunction()
