# The Windows release archive: both programs at the top of one folder, beside
# their manuals and a short read-me, all text in Shift-JIS with CR LF. The data
# file KEN_ALL.CSV is searched beside the programs, so the folder stays flat.
# The texts are converted with the build machine's iconv command.
find_program(NARVO_ICONV iconv NO_CMAKE_FIND_ROOT_PATH)
if(NOT NARVO_ICONV)
  message(FATAL_ERROR "The Windows archive's texts are converted to Shift-JIS with the iconv "
    "command (glibc's, GNU libiconv's or the system's); none was found on PATH.")
endif()
set(narvo_package_texts)
foreach(text docs/narvo17.txt docs/zanpo17.txt packaging/readme.txt)
  # A manual not written yet is left out rather than failing the build.
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${text})
    continue()
  endif()
  get_filename_component(name ${text} NAME)
  set(converted ${CMAKE_BINARY_DIR}/package-texts/${name})
  add_custom_command(OUTPUT ${converted}
    COMMAND ${CMAKE_COMMAND} -DICONV=${NARVO_ICONV} -DINPUT=${CMAKE_SOURCE_DIR}/${text}
      -DOUTPUT=${converted} -P ${CMAKE_SOURCE_DIR}/cmake/shift_jis.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/${text} ${CMAKE_SOURCE_DIR}/cmake/shift_jis.cmake
    COMMENT "Converting ${name} to Shift-JIS with CR LF")
  list(APPEND narvo_package_texts ${converted})
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/package-texts)
add_custom_target(package_texts ALL DEPENDS ${narvo_package_texts})

install(TARGETS narvo zanpo RUNTIME DESTINATION . COMPONENT windows_archive)
install(FILES ${narvo_package_texts} DESTINATION . COMPONENT windows_archive)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(narvo_windows_kind win64)
else()
  set(narvo_windows_kind win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME narvo)
set(CPACK_PACKAGE_VENDOR "the narvo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Line extractor for Japanese postal-code data (KEN_ALL.CSV)")
set(CPACK_PACKAGE_FILE_NAME narvo-${PROJECT_VERSION}-${narvo_windows_kind})
set(CPACK_STRIP_FILES ON)
# Only the archive's own component: the other install rules lay out a Unix tree.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL windows_archive)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
