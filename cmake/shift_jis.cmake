# A text for the Windows release archive in Shift-JIS (CP932) with CR LF, as
# Windows' Notepad reads it, made by the build machine's iconv command. The
# programs' own texts and tables do not come from here: they are checked in
# (tools/generate_cp932.py). Run as
#   cmake -DICONV=... -DINPUT=... -DOUTPUT=... -P shift_jis.cmake
# INPUT is UTF-8 with LF.
cmake_policy(VERSION 3.21)

file(READ "${INPUT}" text)
# A CR already there would double up.
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}.crlf" "${text}")
execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932
  INPUT_FILE "${OUTPUT}.crlf" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE failed)
file(REMOVE "${OUTPUT}.crlf")
if(failed)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "${INPUT} holds a character Shift-JIS cannot hold")
endif()
