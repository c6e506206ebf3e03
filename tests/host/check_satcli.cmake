# Runs satcli ConsultarSAT 4321 with no device reachable and checks its exit
# status and its whole output. (A pass expression alone would ignore the exit
# status: a satcli that printed the text and then crashed would pass.)
#   cmake -DSATCLI=path [-DEMULATOR=wine] -P check_satcli.cmake
execute_process(COMMAND ${EMULATOR} ${SATCLI} ConsultarSAT 4321
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "satcli ended with status ${status}\nstdout: ${output}\nstderr: ${errors}")
endif()
if(NOT output MATCHES "^004321\\|9999\\|SAT Desconectado\r?\n$")
  message(FATAL_ERROR "unexpected output: [${output}]\nstderr: ${errors}")
endif()
