# ivqa.dll for Windows programs: the same writer, key derivation, random
# pool and wipe engine over the Win32 backends, with the eleven exports of
# ivqa.h undecorated (ivqa.def) and the import library ivqa.lib. The C++
# runtime and zlib are linked in, so nothing but system DLLs is needed.
find_package(Threads REQUIRED)

add_library(ivqa_core STATIC ${ivqa_core_sources}
  directory_walk_win32.cpp
  entry_name_win32.cpp
  entry_removal_win32.cpp
  file_wiper_win32.cpp
  removal_walk_win32.cpp
)
# No libdeflate for this target: zlib makes every block's stream.
# The library is built with char16_t text (see ivqa.h).
target_compile_definitions(ivqa_core PUBLIC IVQA_ZLIB_COMPRESSOR_ONLY IVQA_CHAR16_TEXT)
target_link_libraries(ivqa_core PUBLIC ivqa_shared crypto platform platform_url_runtime Threads::Threads)

add_library(ivqa SHARED
  process_pool.cpp
  sda_exports.cpp
  wipe_exports.cpp
  ivqa.def
)
target_compile_definitions(ivqa PRIVATE IVQA_BUILDING_LIBRARY)
target_include_directories(ivqa PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
target_link_libraries(ivqa PRIVATE ivqa_core)
set_target_properties(ivqa PROPERTIES
  PREFIX ""
  IMPORT_PREFIX ""
  IMPORT_SUFFIX ".lib"
  RUNTIME_OUTPUT_DIRECTORY ${IVQA_OUTPUT_DIR}
  ARCHIVE_OUTPUT_DIRECTORY ${IVQA_OUTPUT_DIR})
target_link_options(ivqa PRIVATE -s)
