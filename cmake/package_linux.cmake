# The Linux release packages: a Debian package and a tarball holding the same
# tree as `cmake --install` (bin/, share/doc/narvo/, share/man/, share/narvo/).
# The Debian package installs it under /usr and runs no maintainer scripts.

# Debian names the architecture after the processor the programs are built
# for, which a cross build sets; the build host's architecture does not count.
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" narvo_processor)
if(narvo_processor MATCHES "^(x86_64|amd64)$")
  set(narvo_deb_architecture amd64)
elseif(narvo_processor MATCHES "^(aarch64|arm64)$")
  set(narvo_deb_architecture arm64)
elseif(narvo_processor MATCHES "^i[3-6]86$")
  set(narvo_deb_architecture i386)
elseif(narvo_processor MATCHES "^armv7")
  set(narvo_deb_architecture armhf)
elseif(narvo_processor STREQUAL "ppc64le")
  set(narvo_deb_architecture ppc64el)
else()
  set(narvo_deb_architecture ${narvo_processor})
endif()

# What the programs need at run time is decided when cpack runs, from the
# programs themselves (cmake/package_linux_depends.cmake): the glibc version
# they were built with matters only if they load its iconv modules.
set(narvo_glibc_version "")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dM -E -x c++ -include features.h /dev/null
  OUTPUT_VARIABLE narvo_macros ERROR_QUIET RESULT_VARIABLE narvo_failed)
if(NOT narvo_failed AND narvo_macros MATCHES "#define __GLIBC__ ([0-9]+)")
  set(narvo_glibc_version ${CMAKE_MATCH_1})
  if(narvo_macros MATCHES "#define __GLIBC_MINOR__ ([0-9]+)")
    string(APPEND narvo_glibc_version .${CMAKE_MATCH_1})
  endif()
endif()
set(NARVO_PACKAGE_PROGRAMS "$<TARGET_FILE:narvo>;$<TARGET_FILE:zanpo>")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/narvo_package_config.cmake CONTENT
"set(NARVO_PACKAGE_PROGRAMS \"${NARVO_PACKAGE_PROGRAMS}\")
set(NARVO_READELF \"${CMAKE_READELF}\")
set(NARVO_GLIBC_VERSION \"${narvo_glibc_version}\")
include(\"${CMAKE_SOURCE_DIR}/cmake/package_linux_depends.cmake\")
")

set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_NAME narvo)
set(CPACK_PACKAGE_VENDOR "the narvo developers")
set(CPACK_PACKAGE_CONTACT "the narvo developers <${NARVO_MAIL_AUTHOR}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Line extractor for Japanese postal-code data (KEN_ALL.CSV)")
set(CPACK_PACKAGE_HOMEPAGE_URL "${NARVO_URL_AUTHOR}")
set(CPACK_PACKAGE_FILE_NAME narvo-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/narvo_package_config.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${narvo_deb_architecture})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xclip | xsel | wl-clipboard, xdg-utils")
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; cpack indents this text
# and writes " ." for the empty line between the English and the Japanese paragraph.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"narvo writes every line of a text file that contains all the keywords given
(or, with /V, none of them), respecting Shift-JIS character boundaries and
ignoring the case of ASCII letters. Made for Japan Post's postal-code file
KEN_ALL.CSV, which it finds in ~/.local/share/narvo/ or /usr/share/narvo/,
it also serves as a plain find tool on any text file, in Shift-JIS or UTF-8.
zanpo searches the same way and copies one CSV field of the last line found,
by default the 7-digit postal code, to the clipboard.

narvo は、テキストファイルから、指定した検索文字列をすべて含む行を抽出して
標準出力に書き出すプログラムです（/V では、どれも含まない行）。日本郵便の
郵便番号データ KEN_ALL.CSV の検索が本来の用途で、~/.local/share/narvo/ か
/usr/share/narvo/ に置けば、ファイル名なしで検索できます。シフトJISと
UTF-8 のどんなテキストファイルにも使えます。zanpo は同じように検索して、
最後に見つかった行の項目（標準は郵便番号7桁）をクリップボードにコピーします。")

include(CPack)
