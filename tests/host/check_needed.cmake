cmake_minimum_required(VERSION 3.25)
# The shared library's run-time dependencies (its NEEDED entries) are only
# OpenSSL, zlib, libusb and the C and C++ runtimes: fmt and everything else
# of the project are built in. Sanitizer builds also need their runtimes.
# Its SONAME is libtaviksat.so.<major>.
execute_process(COMMAND readelf -d ${LIBRARY} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf -d failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[([^]\n]+)\\]" entries "${dynamic}")
# ld-linux (glibc's dynamic loader, for thread-local storage) is part of libc.
set(allowed ld-linux-x86-64.so.2 libc.so.6 libcrypto.so.3 libgcc_s.so.1 libm.so.6 libssl.so.3 libstdc++.so.6 libusb-1.0.so.0 libz.so.1)
set(foreign "")
set(needed "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE ".*\\[(.+)\\]" "\\1" name "${entry}")
  list(APPEND needed ${name})
  if(NOT name IN_LIST allowed AND NOT (SANITIZED AND name MATCHES "^lib(asan|ubsan|tsan)\\.so"))
    list(APPEND foreign ${name})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "the library needs ${foreign} at run time\nall NEEDED entries: ${needed}")
endif()
if(NOT dynamic MATCHES "\\(SONAME\\)[^\n]*\\[libtaviksat\\.so\\.${MAJOR}\\]")
  message(FATAL_ERROR "the SONAME is not libtaviksat.so.${MAJOR}:\n${dynamic}")
endif()
message(STATUS "NEEDED: ${needed}")
