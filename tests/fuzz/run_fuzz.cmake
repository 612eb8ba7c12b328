# Runs one fuzz target briefly on a fresh copy of its corpus, so the inputs it
# finds stay in the build folder and the repository stays clean.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus")
file(COPY "${CORPUS}/" DESTINATION "${WORK}/corpus")
execute_process(
  COMMAND "${FUZZER}" -runs=${RUNS} -max_total_time=${SECONDS} -max_len=${MAXLEN} -timeout=10
          -artifact_prefix=${WORK}/ "${WORK}/corpus"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the failing input is in ${WORK}")
endif()
