# The tavik-simulator program's command line, run for real:
#  - every bad option ends the program with the same exit status, before it
#    binds anything;
#  - a copy installed under another prefix finds its own certificates there.
# Each bad option is written with "," between its words.
# Arguments: -DSIMULATOR=<program> -DCERTS=<certs/development-only> -DWORK=<scratch folder>
set(bad_options
  "--session-depth,0"
  "--session-depth,101"
  "--port,65536"
  "--port,x"
  "--serial,1234567890"
  "--serial,12a"
  "--address,localhost"
  "--address,127.0.0.01"
  "--beacon-target,1.2.3"
  "--compression,maybe"
  "--fault,no-such-fault"
  "--no-such-option"
  "--activation-code")
foreach(option IN LISTS bad_options)
  string(REPLACE "," ";" arguments "${option}")
  execute_process(COMMAND ${SIMULATOR} --quiet --no-beacon ${arguments}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 10)
  if(NOT status EQUAL 2)
    message(FATAL_ERROR "'${arguments}' exited with '${status}', not 2 (stderr: ${err})")
  endif()
  if(NOT err MATCHES "^tavik-simulator: ")
    message(FATAL_ERROR "'${arguments}' said no reason on stderr: '${err}'")
  endif()
endforeach()

# An installed layout: PREFIX/bin/tavik-simulator and
# PREFIX/share/tavik-simulator/certs/development-only.
set(prefix ${WORK}/relocated-prefix)
file(REMOVE_RECURSE ${prefix})
file(MAKE_DIRECTORY ${prefix}/bin ${prefix}/share/tavik-simulator/certs)
file(COPY ${SIMULATOR} DESTINATION ${prefix}/bin)
file(COPY ${CERTS} DESTINATION ${prefix}/share/tavik-simulator/certs)
execute_process(COMMAND ${prefix}/bin/tavik-simulator --help RESULT_VARIABLE status OUTPUT_VARIABLE out TIMEOUT 10)
file(REMOVE_RECURSE ${prefix})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "--help of the relocated program exited with ${status}")
endif()
if(NOT out MATCHES "\\(${prefix}/share/tavik-simulator/certs/development-only\\)")
  message(FATAL_ERROR "the relocated program does not use its own certificates:\n${out}")
endif()
