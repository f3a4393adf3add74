# The targets of the emscripten build: the page's engine and the page. The
# Linux build drives this one (browser/CMakeLists.txt) and passes the
# modules' payload offsets and where the page goes.
set(IVQA_PAGE_OUTPUT ${CMAKE_BINARY_DIR}/ivqa-extract.html CACHE FILEPATH "Where ivqa-extract.html goes")
add_subdirectory(browser)
