# The CA certificate compiled into the library: fiscal modules' TLS
# certificates are checked against it. There is no default, because the
# repository's development CA has its private key published beside it: a
# library trusting it lets anyone on a shop's network pose as the module.
#
#   -DTAVIK_CA_CERT_PEM=/path/to/maker-ca.pem   a build to deploy
#   -DTAVIK_DEVELOPMENT_CA=ON                    development and tests only
#
# The development CA is recognised by its SHA-256 fingerprint, not by its
# path, so a copy of it elsewhere is caught too. Sets:
#   TAVIK_CA_PEM_FILE         the PEM file to embed
#   TAVIK_USES_DEVELOPMENT_CA ON when that file is the development CA
#   TAVIK_CA_FINGERPRINT      its fingerprint (AA:BB:... form)
set(TAVIK_DEVELOPMENT_CA_PEM ${PROJECT_SOURCE_DIR}/certs/development-only/ca-cert.pem)
set(TAVIK_DEVELOPMENT_CA_FINGERPRINT
    "BF:C8:05:71:9A:C8:FC:04:2A:84:75:BA:65:CB:D2:72:93:63:42:B5:82:A9:B0:14:C2:A8:D0:03:23:FE:3D:CA")

option(TAVIK_DEVELOPMENT_CA "Trust the development CA (certs/development-only): never for a build to deploy" OFF)
set(TAVIK_CA_CERT_PEM "" CACHE FILEPATH "PEM file of the fiscal-module maker's CA certificate, compiled into the library")

set(_how "Pass -DTAVIK_CA_CERT_PEM=/path/to/maker-ca.pem (the PEM CA certificate of the fiscal-module maker) for a build to deploy, or -DTAVIK_DEVELOPMENT_CA=ON to trust the development CA for development and tests (never deploy such a build).")

if(TAVIK_CA_CERT_PEM)
  set(TAVIK_CA_PEM_FILE "${TAVIK_CA_CERT_PEM}")
elseif(TAVIK_DEVELOPMENT_CA)
  set(TAVIK_CA_PEM_FILE "${TAVIK_DEVELOPMENT_CA_PEM}")
else()
  message(FATAL_ERROR "No CA certificate chosen for the library to trust. ${_how}")
endif()
if(NOT EXISTS "${TAVIK_CA_PEM_FILE}")
  message(FATAL_ERROR "TAVIK_CA_CERT_PEM: no such file: ${TAVIK_CA_PEM_FILE}")
endif()

# tavik_ca_fingerprint(PEM_FILE OUT): SHA-256 fingerprint of the certificate's
# DER bytes, as `openssl x509 -fingerprint -sha256` prints it.
function(tavik_ca_fingerprint pem out)
  find_program(TAVIK_OPENSSL_PROGRAM openssl REQUIRED)
  execute_process(COMMAND ${TAVIK_OPENSSL_PROGRAM} x509 -in "${pem}" -noout -fingerprint -sha256
                  OUTPUT_VARIABLE _text ERROR_VARIABLE _error RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0 OR NOT _text MATCHES "=([0-9A-F:]+)")
    message(FATAL_ERROR "${pem} is not a PEM X.509 certificate: ${_error}")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

tavik_ca_fingerprint("${TAVIK_CA_PEM_FILE}" TAVIK_CA_FINGERPRINT)
if(TAVIK_CA_FINGERPRINT STREQUAL TAVIK_DEVELOPMENT_CA_FINGERPRINT)
  if(NOT TAVIK_DEVELOPMENT_CA)
    message(FATAL_ERROR "${TAVIK_CA_PEM_FILE} is the development CA, whose private key is public. ${_how}")
  endif()
  set(TAVIK_USES_DEVELOPMENT_CA ON)
  message(STATUS "CA certificate: the development CA (${TAVIK_CA_PEM_FILE}): for development and tests only, never deploy this build")
else()
  if(TAVIK_DEVELOPMENT_CA)
    message(FATAL_ERROR "TAVIK_DEVELOPMENT_CA=ON but TAVIK_CA_CERT_PEM names another CA "
                        "(${TAVIK_CA_PEM_FILE}); choose one of them. ${_how}")
  endif()
  set(TAVIK_USES_DEVELOPMENT_CA OFF)
  message(STATUS "CA certificate: ${TAVIK_CA_PEM_FILE} (SHA-256 ${TAVIK_CA_FINGERPRINT})")
endif()
set(TAVIK_CA_FINGERPRINT_TEXT "${TAVIK_CA_FINGERPRINT}" CACHE INTERNAL "SHA-256 of the compiled-in CA certificate")
# The suffix of package file names: scripts/package.sh names the Windows zip
# with it, cmake/Packaging.cmake the Debian package.
if(TAVIK_USES_DEVELOPMENT_CA)
  file(WRITE ${CMAKE_BINARY_DIR}/package-suffix.txt "-devca")
else()
  file(WRITE ${CMAKE_BINARY_DIR}/package-suffix.txt "")
endif()
