# The targets of the Windows cross build: the platform layer's Win32
# backend, the crypto suite, the key derivation, both modules, ivqa.dll,
# ivqa.exe and the console test programs. The Linux build drives this one (module/CMakeLists.txt)
# and tells it where the programs go.
include(IvqaFlags)

set(IVQA_OUTPUT_DIR ${CMAKE_BINARY_DIR}/bin CACHE PATH "Where GUI_en.exe.iqm and GUI_ru.exe.iqm go")
set(IVQA_TEST_OUTPUT_DIR ${CMAKE_BINARY_DIR}/test-bin CACHE PATH "Where the Windows test programs go")

# Unicode calls throughout; Windows 7 is the oldest system with every call
# the module makes.
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# No MinGW runtime DLLs beside an archive: everything is linked in.
add_link_options(-static)

include(IvqaZlibStatic)

add_subdirectory(platform)
add_subdirectory(crypto)
add_subdirectory(core)
add_subdirectory(module)
add_subdirectory(common)
add_subdirectory(creation)
add_subdirectory(cli)
add_subdirectory(tests/module/windows)
