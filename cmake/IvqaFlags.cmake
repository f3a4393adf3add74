# Warnings and hardening for every target of the project.
add_compile_options(-Wall -Wextra)
add_compile_options(-fstack-protector-strong)
if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_compile_definitions(_FORTIFY_SOURCE=2)
endif()
if(WIN32)
  # MinGW's stack protector and fortified calls live in libssp, which the
  # driver links when it sees the option at link time.
  add_link_options(-fstack-protector-strong -Wl,--dynamicbase,--nxcompat,--high-entropy-va)
else()
  add_link_options(-Wl,-z,relro,-z,now)
endif()

if(IVQA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Coverage for libFuzzer in every target; the fuzz programs link its main.
if(IVQA_BUILD_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
