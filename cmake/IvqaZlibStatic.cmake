# ivqa_zlib_static: zlib's static library, for what must carry zlib inside
# (the modules on both systems, the Windows platform layer): Debian's libz.a
# in the Linux build, libz-mingw-w64-dev's in the Windows cross build.
find_library(IVQA_ZLIB_STATIC NAMES libz.a REQUIRED)
find_path(IVQA_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
add_library(ivqa_zlib_static STATIC IMPORTED GLOBAL)
set_target_properties(ivqa_zlib_static PROPERTIES
  IMPORTED_LOCATION ${IVQA_ZLIB_STATIC}
  INTERFACE_INCLUDE_DIRECTORIES ${IVQA_ZLIB_INCLUDE_DIR})
