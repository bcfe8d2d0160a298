# Runs quorvane-cli once (or twice) and checks its exit code and output.
#   CLI           the program
#   ARGS          its arguments, separated by "|"
#   EXPECT_RC     the exit code it must end with
#   STDOUT_REGEX  optional: standard output must match
#   STDERR_REGEX  optional: standard error must match
#   STDOUT_EMPTY  optional: when true, standard output must be empty
#   MODE          "once" (default); "repeat": a second run must print the
#                 same report; "output": ARGS holds --output OUTPUT_FILE and
#                 the file must hold the printed report with CR LF line ends
#                 "readme": the report must be the one README holds in its
#                 ```text block
#   OUTPUT_FILE   the file named in ARGS for MODE "output"
#   README        the README for MODE "readme"
string(REPLACE "|" ";" args "${ARGS}")
if(MODE STREQUAL "output")
  file(REMOVE "${OUTPUT_FILE}")
endif()
execute_process(COMMAND "${CLI}" ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc STREQUAL "${EXPECT_RC}")
  message(FATAL_ERROR "exit code ${rc}, expected ${EXPECT_RC}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(DEFINED STDOUT_REGEX AND NOT out MATCHES "${STDOUT_REGEX}")
  message(FATAL_ERROR "standard output does not match ${STDOUT_REGEX}:\n${out}")
endif()
if(DEFINED STDERR_REGEX AND NOT err MATCHES "${STDERR_REGEX}")
  message(FATAL_ERROR "standard error does not match ${STDERR_REGEX}:\n${err}")
endif()
if(STDOUT_EMPTY AND NOT out STREQUAL "")
  message(FATAL_ERROR "standard output should be empty:\n${out}")
endif()
if(MODE STREQUAL "repeat")
  execute_process(COMMAND "${CLI}" ${args} RESULT_VARIABLE rc2 OUTPUT_VARIABLE out2
                  ERROR_VARIABLE err2)
  if(NOT rc2 STREQUAL "${EXPECT_RC}" OR NOT out2 STREQUAL out)
    message(FATAL_ERROR "the second run printed a different report (exit code ${rc2})")
  endif()
elseif(MODE STREQUAL "output")
  file(READ "${OUTPUT_FILE}" saved HEX)
  string(HEX "${out}" printed)
  # Every line end \n (0a) of the printed report is \r\n (0d0a) in the file.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\1 " printed "${printed}")
  string(REPLACE "0a " "0d0a " printed "${printed}")
  string(REPLACE " " "" printed "${printed}")
  if(NOT saved STREQUAL printed)
    message(FATAL_ERROR "the saved report differs from the printed one with CR LF line ends")
  endif()
  file(REMOVE "${OUTPUT_FILE}")
elseif(MODE STREQUAL "readme")
  file(READ "${README}" readme)
  string(FIND "${readme}" "```text\n" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "no ```text block in ${README}")
  endif()
  math(EXPR start "${start} + 8")
  string(SUBSTRING "${readme}" ${start} -1 block)
  string(FIND "${block}" "```" end)
  string(SUBSTRING "${block}" 0 ${end} block)
  if(NOT block STREQUAL out)
    message(FATAL_ERROR "the sample report in ${README} is not what the program prints now:\n${out}")
  endif()
endif()
