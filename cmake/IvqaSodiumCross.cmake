# libsodium for the cross builds (the Windows modules and ivqa.dll, the
# browser page), compiled from Debian's source package, which
# scripts/install-deps unpacks. Each target gets its own copy of the source,
# since autogen.sh writes into it, and its own static install below
# build/sodium/; the stamps keep it built once per build tree.
set(IVQA_SODIUM_SOURCE_DIR /usr/local/src/ivqa-sodium/libsodium CACHE PATH "Debian's libsodium source, unpacked")

# ivqa_sodium_cross(NAME <name> PREFIX_VAR <var> CONFIGURE_ARGS <args>...
#                   [WRAPPER <cmd>] [ENVIRONMENT <VAR=value>...])
# adds the target sodium_<name> and sets <var> to its install prefix; the
# wrapper (emconfigure) runs configure, make and make install.
function(ivqa_sodium_cross)
  cmake_parse_arguments(arg "" "NAME;PREFIX_VAR" "CONFIGURE_ARGS;WRAPPER;ENVIRONMENT" ${ARGN})
  if(NOT EXISTS ${IVQA_SODIUM_SOURCE_DIR}/autogen.sh)
    message(FATAL_ERROR "No libsodium source in ${IVQA_SODIUM_SOURCE_DIR}: run scripts/install-deps as root")
  endif()
  set(base ${CMAKE_BINARY_DIR}/sodium/${arg_NAME})
  set(prefix ${base}/install)
  # Its steps run logged (they are long and built once), outside the outer
  # make's job server.
  cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
  set(make_command make -j${cores})
  set(env ${CMAKE_COMMAND} -E env ${arg_ENVIRONMENT})
  include(ExternalProject)
  ExternalProject_Add(sodium_${arg_NAME}
    PREFIX ${base}
    DOWNLOAD_DIR ${base}
    STAMP_DIR ${base}/stamp
    TMP_DIR ${base}/tmp
    SOURCE_DIR ${base}/source
    BINARY_DIR ${base}/build
    INSTALL_DIR ${prefix}
    DOWNLOAD_COMMAND ${CMAKE_COMMAND} -E rm -rf <SOURCE_DIR>
      COMMAND ${CMAKE_COMMAND} -E copy_directory ${IVQA_SODIUM_SOURCE_DIR} <SOURCE_DIR>
    UPDATE_COMMAND ""
    CONFIGURE_COMMAND ${CMAKE_COMMAND} -E chdir <SOURCE_DIR> ./autogen.sh -s
      COMMAND ${env} ${arg_WRAPPER} <SOURCE_DIR>/configure --prefix=<INSTALL_DIR>
              --disable-shared --enable-static --disable-dependency-tracking ${arg_CONFIGURE_ARGS}
    BUILD_COMMAND ${env} ${arg_WRAPPER} ${make_command}
    INSTALL_COMMAND ${env} ${arg_WRAPPER} ${make_command} install
    BUILD_BYPRODUCTS ${prefix}/lib/libsodium.a
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
  set(${arg_PREFIX_VAR} ${prefix} PARENT_SCOPE)
endfunction()
