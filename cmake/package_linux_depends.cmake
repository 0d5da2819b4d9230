# Run by cpack (through CPACK_PROJECT_CONFIG_FILE) for each package it builds:
# the Debian package depends on what the built programs really need.
# - A dynamically linked program: the libraries dpkg-shlibdeps finds.
# - A static program that opens iconv conversions (glibc loads a module for
#   each, CP932 included): the libc6 of the glibc version it was built with,
#   whose modules must match the code linked in. Every static glibc program
#   holds glibc's module loader; only a call of iconv_open puts it to work.
#   Without a symbol table the program is taken to call it.
# - Any other static program loads nothing: no dependency at all.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(narvo_dynamic OFF)
set(narvo_gconv OFF)
foreach(program IN LISTS NARVO_PACKAGE_PROGRAMS)
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "${program} is not built")
  endif()
  execute_process(COMMAND "${NARVO_READELF}" -lW "${program}"
    OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NARVO_READELF} cannot read ${program}")
  endif()
  if(headers MATCHES "INTERP")
    set(narvo_dynamic ON)
  endif()
  execute_process(COMMAND "${NARVO_READELF}" -sW "${program}"
    OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed OR NOT symbols MATCHES "Symbol table '\\.symtab'" OR symbols MATCHES " iconv_open\n")
    set(narvo_gconv ON)
  endif()
endforeach()
if(narvo_dynamic)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(narvo_gconv)
  if(NOT NARVO_GLIBC_VERSION MATCHES "^([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "the programs load glibc's iconv modules, but the glibc version is unknown")
  endif()
  math(EXPR next_minor "${CMAKE_MATCH_2} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= ${NARVO_GLIBC_VERSION}), libc6 (<< ${CMAKE_MATCH_1}.${next_minor})")
endif()
if(narvo_dynamic)
  message(STATUS "narvo package: dynamic programs, Depends from dpkg-shlibdeps")
else()
  message(STATUS "narvo package: static programs, glibc iconv modules ${narvo_gconv}, "
                 "Depends: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
endif()
