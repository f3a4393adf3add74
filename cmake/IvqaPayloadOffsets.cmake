# Where each build of the module reads its payload: multiples of 4096, the
# Russian one above the English one. The build pads each linked program with
# zeros to its offset and fails when it outgrows it; the Linux programs take
# about 0.9 MB (1.1 MB in a Debug build). The Windows builds, GUI_en.exe.iqm
# and GUI_ru.exe.iqm, have their own: the creators and readers know archives
# of both kinds. Every build tree (Linux, Windows, browser page) includes this
# file; code reads the numbers from the header `module/payload_offsets.h`
# configured here (target ivqa_payload_offsets), the tests from the cache.
set(IVQA_PAYLOAD_OFFSET_EN 1310720 CACHE INTERNAL "PayloadOffset of GUI_en.iqm")
set(IVQA_PAYLOAD_OFFSET_RU 1314816 CACHE INTERNAL "PayloadOffset of GUI_ru.iqm")
set(IVQA_PAYLOAD_OFFSET_WIN_EN 2097152 CACHE INTERNAL "PayloadOffset of GUI_en.exe.iqm")
set(IVQA_PAYLOAD_OFFSET_WIN_RU 2101248 CACHE INTERNAL "PayloadOffset of GUI_ru.exe.iqm")

configure_file(${PROJECT_SOURCE_DIR}/module/payload_offsets.h.in
               ${CMAKE_BINARY_DIR}/generated/module/payload_offsets.h @ONLY)
add_library(ivqa_payload_offsets INTERFACE)
target_include_directories(ivqa_payload_offsets INTERFACE ${CMAKE_BINARY_DIR}/generated)
