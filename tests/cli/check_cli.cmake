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
#                 "readme": the report must be the one README holds in the
#                 ```text block after the words `cli.readme_sample`
#                 "equivalent": WRITE_ARGS (--write-summary SUMMARY_FILE and
#                 the raw data) must write SUMMARY_FILE, and SUMMARY_ARGS
#                 (--summary SUMMARY_FILE) must print a report whose sample
#                 statistics and outputs equal those of the ARGS run
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
elseif(MODE STREQUAL "equivalent")
  file(REMOVE "${SUMMARY_FILE}")
  string(REPLACE "|" ";" write_args "${WRITE_ARGS}")
  execute_process(COMMAND "${CLI}" ${write_args} RESULT_VARIABLE rc2 OUTPUT_VARIABLE out2
                  ERROR_VARIABLE err2)
  if(NOT rc2 STREQUAL "0" OR NOT out2 STREQUAL "" OR NOT EXISTS "${SUMMARY_FILE}")
    message(FATAL_ERROR "--write-summary failed (exit code ${rc2}):\n${out2}\n${err2}")
  endif()
  string(REPLACE "|" ";" summary_args "${SUMMARY_ARGS}")
  execute_process(COMMAND "${CLI}" ${summary_args} RESULT_VARIABLE rc3 OUTPUT_VARIABLE out3
                  ERROR_VARIABLE err3)
  if(NOT rc3 STREQUAL "0")
    message(FATAL_ERROR "--summary failed (exit code ${rc3}):\n${err3}")
  endif()
  if(NOT out3 MATCHES "\n Summary statistics for the control sample and the case's scores were loaded from the following file: \n [^\n]+\n\n Summary statistics for control sample")
    message(FATAL_ERROR "the summary report does not name the summary file:\n${out3}")
  endif()
  set(from " Summary statistics for control sample on tasks")
  string(FIND "${out}" "${from}" raw_start)
  string(FIND "${out3}" "${from}" summary_start)
  if(raw_start EQUAL -1 OR summary_start EQUAL -1)
    message(FATAL_ERROR "no summary table in the reports")
  endif()
  string(SUBSTRING "${out}" ${raw_start} -1 raw_part)
  string(SUBSTRING "${out3}" ${summary_start} -1 summary_part)
  if(NOT raw_part STREQUAL summary_part OR NOT raw_part MATCHES "OUTPUTS:")
    message(FATAL_ERROR "the reports differ:\nraw data:\n${raw_part}\nsummary:\n${summary_part}")
  endif()
  file(REMOVE "${SUMMARY_FILE}")
elseif(MODE STREQUAL "readme")
  # The sample is the first ```text block after the sentence that names
  # this test.
  file(READ "${README}" readme)
  string(FIND "${readme}" "`cli.readme_sample`" named)
  if(named EQUAL -1)
    message(FATAL_ERROR "${README} does not name cli.readme_sample")
  endif()
  string(SUBSTRING "${readme}" ${named} -1 readme)
  string(FIND "${readme}" "```text\n" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "no ```text block after cli.readme_sample in ${README}")
  endif()
  math(EXPR start "${start} + 8")
  string(SUBSTRING "${readme}" ${start} -1 block)
  string(FIND "${block}" "```" end)
  string(SUBSTRING "${block}" 0 ${end} block)
  if(NOT block STREQUAL out)
    message(FATAL_ERROR "the sample report in ${README} is not what the program prints now:\n${out}")
  endif()
endif()
