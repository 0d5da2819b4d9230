# Converts a UTF-8 text with LF line ends into the form Windows' Notepad and
# console tools of the Japanese edition read: Shift-JIS (CP932) with CR LF.
# Run as: cmake -DICONV=... -DINPUT=... -DOUTPUT=... -P windows_text.cmake
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
