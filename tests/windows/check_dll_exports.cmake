cmake_minimum_required(VERSION 3.25)
# Reads taviksat.dll's export and import tables with objdump -p: it must
# export exactly the 36 names the public header declares, undecorated, and
# import nothing but Windows system DLLs and libusb-1.0.dll. libusb is LGPL:
# it stays a DLL of its own beside taviksat.dll, which a user may replace;
# everything else is linked in.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DeclaredExports.cmake)

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" dump_lines "${dump}")

# The rows of the "[Ordinal/Name Pointer] Table" look like "\t[   0] AbreSerialMFE".
set(exported "")
set(imports "")
set(in_names FALSE)
foreach(line IN LISTS dump_lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^\t\\[ *[0-9]+\\] (.+)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  elseif(in_names)
    set(in_names FALSE)
  endif()
  if(line MATCHES "^\tDLL Name: (.+)$")
    list(APPEND imports ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL declared)
  message(FATAL_ERROR "exported names differ from the header.\nexported: ${exported}\ndeclared: ${declared}")
endif()

# Windows' own DLLs (compared without regard to case).
set(system_dlls advapi32.dll bcrypt.dll crypt32.dll gdi32.dll kernel32.dll msvcrt.dll ntdll.dll ole32.dll
    setupapi.dll shell32.dll user32.dll winusb.dll ws2_32.dll)
set(foreign "")
set(libusb_imported FALSE)
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" lower)
  if(lower STREQUAL "libusb-1.0.dll")
    set(libusb_imported TRUE)
  elseif(NOT lower IN_LIST system_dlls AND NOT lower MATCHES "^api-ms-win-")
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "taviksat.dll imports DLLs that are not part of Windows: ${foreign}\nall imports: ${imports}")
endif()
if(NOT libusb_imported)
  message(FATAL_ERROR "taviksat.dll does not import libusb-1.0.dll: libusb must stay a replaceable DLL\nall imports: ${imports}")
endif()
file(SIZE ${LIBRARY} size)
message(STATUS "exactly the 36 declared names are exported; imports: ${imports}; size: ${size} bytes")
