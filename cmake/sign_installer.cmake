# Signs the finished installer with osslsigncode (Authenticode: a certificate table appended after
# the last section and named by the security directory), verifies the signature and checks the
# signed file's layout again. The uninstaller copy is signed first: check_layout writes it as the
# installer will, osslsigncode signs it with the same certificate and options, and its certificate
# table goes into the installer's resource 2003, which the installer appends to the copy it
# writes. Run by the build after the layout check, with cmake -P:
#   EXE             the installer, replaced by its signed form
#   OSSLSIGNCODE    the osslsigncode program
#   CHECK_LAYOUT    the native check_layout; PAYLOAD_SIZES and REPORT as the build passes them
#   PKCS12          a PKCS#12 file, or CERT (certificate chain) and KEY (private key)
#   PASSWORD_FILE   optional: the file holding the PKCS#12's or the key's password
#   TIMESTAMP_URL   optional: an RFC 3161 time-stamping server
#   VERIFY_CA       optional: CA certificates to verify against (default: osslsigncode's, the system's)
# On any failure the installer and its report are deleted, so what is left never looks like a
# finished, signed installer.
cmake_minimum_required(VERSION 3.20)

set(signed "${EXE}.signed")
set(copy "${EXE}.uninstaller")
set(signedCopy "${EXE}.uninstaller.signed")
set(temporaries "${signed}" "${copy}" "${signedCopy}")
file(REMOVE ${temporaries})

function(refuse text)
  file(REMOVE "${EXE}" ${temporaries} "${REPORT}")
  message(FATAL_ERROR "${text}; no installer was left")
endfunction()

if(PKCS12 AND (CERT OR KEY))
  refuse("Signing: name either a PKCS#12 file or a certificate and key, not both")
elseif(PKCS12)
  set(identity -pkcs12 "${PKCS12}")
  set(identityFiles "${PKCS12}")
elseif(CERT AND KEY)
  set(identity -certs "${CERT}" -key "${KEY}")
  set(identityFiles "${CERT}" "${KEY}")
else()
  refuse("Signing: a certificate needs its key (QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY)")
endif()
foreach(file IN LISTS identityFiles PASSWORD_FILE VERIFY_CA)
  if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
    refuse("Signing file missing: ${file}")
  endif()
endforeach()

set(options -h sha256 -n "Quorvel Setup")
if(PASSWORD_FILE)
  list(APPEND options -readpass "${PASSWORD_FILE}")
endif()
if(TIMESTAMP_URL)
  list(APPEND options -ts "${TIMESTAMP_URL}")
endif()
set(verifyOptions)
if(VERIFY_CA)
  set(verifyOptions -CAfile "${VERIFY_CA}")
endif()

# sign_and_verify(IN OUT WHAT): OUT is IN signed; WHAT names the file in a refusal.
function(sign_and_verify in out what)
  execute_process(COMMAND "${OSSLSIGNCODE}" sign ${identity} ${options} -in "${in}" -out "${out}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    refuse("Signing ${what} failed (osslsigncode sign):\n${output}")
  endif()
  execute_process(COMMAND "${OSSLSIGNCODE}" verify ${verifyOptions} -in "${out}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    refuse("The signature of ${what} does not verify (osslsigncode verify):\n${output}")
  endif()
endfunction()

execute_process(COMMAND "${CHECK_LAYOUT}" --write-copy "${copy}" "${EXE}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  refuse("The installer's layout is refused")
endif()
sign_and_verify("${copy}" "${signedCopy}" "the uninstaller copy")
execute_process(COMMAND "${CHECK_LAYOUT}" --copy-signature "${signedCopy}" "${EXE}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  refuse("The installer cannot carry the uninstaller copy's signature:\n${output}")
endif()
sign_and_verify("${EXE}" "${signed}" "the installer")

file(RENAME "${signed}" "${EXE}")
file(REMOVE "${copy}" "${signedCopy}")
execute_process(COMMAND "${CHECK_LAYOUT}" --payload-sizes "${PAYLOAD_SIZES}" --report "${REPORT}" "${EXE}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  refuse("The signed installer's layout is refused")
endif()
message(STATUS "Signed and verified: ${EXE}")
