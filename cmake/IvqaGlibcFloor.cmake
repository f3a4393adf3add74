# Link-time stand-ins for glibc's shared libraries that offer every symbol
# at its newest version up to IVQA_GLIBC_FLOOR: a program linked with
# ivqa_link_for_glibc_floor() starts on that glibc and every later one.
# What it uses from later glibc must be defined by the program itself
# (module/glibc_floor.cpp); the link fails otherwise.

set(IVQA_GLIBC_FLOOR 2.17 CACHE INTERNAL "Oldest glibc the Linux modules start on")

find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_file(IVQA_HOST_LIBC NAMES libc.so.6 PATHS /lib/x86_64-linux-gnu /lib64 NO_DEFAULT_PATH REQUIRED)
find_file(IVQA_HOST_LIBM NAMES libm.so.6 PATHS /lib/x86_64-linux-gnu /lib64 NO_DEFAULT_PATH REQUIRED)
find_file(IVQA_HOST_LIBPTHREAD NAMES libpthread.so.0 PATHS /lib/x86_64-linux-gnu /lib64 NO_DEFAULT_PATH REQUIRED)
find_file(IVQA_HOST_LIBDL NAMES libdl.so.2 PATHS /lib/x86_64-linux-gnu /lib64 NO_DEFAULT_PATH REQUIRED)
find_file(IVQA_HOST_LDSO NAMES ld-linux-x86-64.so.2 PATHS /lib64 /lib/x86_64-linux-gnu NO_DEFAULT_PATH REQUIRED)

# Internal cache entries: the function below is called from other folders.
set(IVQA_GLIBC_FLOOR_DIR ${CMAKE_BINARY_DIR}/glibc-${IVQA_GLIBC_FLOOR} CACHE INTERNAL "")
set(ivqa_floor_stubs libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 ld-linux-x86-64.so.2
                     libc.so libm.so libpthread.so libdl.so)
list(TRANSFORM ivqa_floor_stubs PREPEND ${IVQA_GLIBC_FLOOR_DIR}/)
set(IVQA_GLIBC_FLOOR_STUBS ${ivqa_floor_stubs} CACHE INTERNAL "")
add_custom_command(OUTPUT ${IVQA_GLIBC_FLOOR_STUBS}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/glibc_floor_stubs.py ${IVQA_GLIBC_FLOOR}
          ${CMAKE_C_COMPILER} ${IVQA_GLIBC_FLOOR_DIR} ${IVQA_HOST_LIBC} ${IVQA_HOST_LIBM}
          ${IVQA_HOST_LDSO} ${IVQA_HOST_LIBPTHREAD} ${IVQA_HOST_LIBDL}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/glibc_floor_stubs.py
  COMMENT "Stand-ins for glibc ${IVQA_GLIBC_FLOOR}"
  VERBATIM)
add_custom_target(ivqa_glibc_floor_stubs DEPENDS ${IVQA_GLIBC_FLOOR_STUBS})

# ivqa_link_for_glibc_floor(target): -lc, -lm, -lpthread and -ldl find the
# stand-ins first; the C++ runtime and libgcc go in statically, since the
# old systems' own may be older than what the compiler's code expects.
# Unused sections go, and with them the runtime's calls that nothing
# reaches (std::random_device asks for getentropy, glibc 2.25).
function(ivqa_link_for_glibc_floor target)
  add_dependencies(${target} ivqa_glibc_floor_stubs)
  target_link_options(${target} PRIVATE -L${IVQA_GLIBC_FLOOR_DIR} -static-libstdc++ -static-libgcc
                      LINKER:--wrap=__libc_start_main LINKER:--gc-sections)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${IVQA_GLIBC_FLOOR_STUBS})
endfunction()
