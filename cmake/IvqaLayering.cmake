# Checks that keep the layering that the README's layout table describes.

# The module is the recipient's whole program: it may link its own
# libraries, the cipher, format and platform libraries and outside libraries
# (zlib, FLTK, X11, threads), never the writer, the creators or a toolkit of
# the sender's programs. Checked at configure time, when the links are known.
function(ivqa_check_module_links)
  get_property(module_targets DIRECTORY ${PROJECT_SOURCE_DIR}/module PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS module_targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY" OR type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    get_target_property(links ${target} LINK_LIBRARIES)
    if(NOT links)
      continue()
    endif()
    foreach(link IN LISTS links)
      if(NOT TARGET ${link})
        continue() # a library file, a system library or a linker flag
      endif()
      get_target_property(imported ${link} IMPORTED)
      get_target_property(link_dir ${link} SOURCE_DIR)
      if(link MATCHES "^(Qt6|CURL)::")
        set(allowed OFF)
      elseif(imported OR link_dir STREQUAL "${PROJECT_SOURCE_DIR}/module")
        set(allowed ON)
      elseif(link MATCHES "^(crypto|platform(_.+)?|ivqa_shared|ivqa_payload_offsets)$")
        set(allowed ON)
      else()
        set(allowed OFF)
      endif()
      if(NOT allowed)
        message(FATAL_ERROR "module target ${target} links ${link}: the module may link only the crypto, "
                            "format (ivqa_shared) and platform libraries")
      endif()
    endforeach()
  endforeach()
endfunction()
