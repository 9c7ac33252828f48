# Checks a payload directory and packs it, so that a publisher whose directory is incomplete gets
# one clear error naming the file and no installer at all: an installer left from an earlier build
# in the same build directory would otherwise look like the result of this one.
# Included by payload/CMakeLists.txt (the check at configure time) and run by the build, at every
# build to check (a file may have gone since the configuration) and when the payload changed to pack:
#   cmake -DPAYLOAD_DIR=D -DBUILD_DIR=B [-DOUT_DIR=G -DMAKE_PAYLOAD=TOOL] -P pack_payload.cmake

set(QUORVEL_PAYLOAD_FILES Kavri.exe Kavri1.DAT Kavri0.DAT)
list(JOIN QUORVEL_PAYLOAD_FILES ", " QUORVEL_PAYLOAD_NAMES)

# What a finished build leaves in its directory and a failed payload step must not leave there.
function(remove_stale_installer build_dir)
  file(REMOVE ${build_dir}/quorvel-setup.exe ${build_dir}/quorvel-setup-pass1.exe ${build_dir}/layout.txt)
endfunction()

# Stops with an error naming the first payload file that is missing or is not a plain file, after
# removing the installer of an earlier build in build_dir.
function(check_payload_dir dir build_dir)
  if(NOT IS_ABSOLUTE "${dir}")
    remove_stale_installer(${build_dir})
    message(FATAL_ERROR "Payload directory \"${dir}\" is not an absolute path")
  endif()
  if(NOT IS_DIRECTORY "${dir}")
    remove_stale_installer(${build_dir})
    message(FATAL_ERROR "Payload directory ${dir} does not exist "
            "(it must hold ${QUORVEL_PAYLOAD_NAMES}); no installer was built")
  endif()
  foreach(name ${QUORVEL_PAYLOAD_FILES})
    if(NOT EXISTS "${dir}/${name}" OR IS_DIRECTORY "${dir}/${name}")
      remove_stale_installer(${build_dir})
      message(FATAL_ERROR "Payload file missing: ${dir}/${name} "
              "(the payload directory must hold ${QUORVEL_PAYLOAD_NAMES}); no installer was built")
    endif()
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(variable PAYLOAD_DIR BUILD_DIR)
    if(NOT DEFINED ${variable})
      message(FATAL_ERROR "pack_payload.cmake needs -D${variable}=...")
    endif()
  endforeach()
  check_payload_dir("${PAYLOAD_DIR}" "${BUILD_DIR}")
  if(NOT DEFINED MAKE_PAYLOAD)
    return()
  endif()
  # make_payload names an unreadable file itself and writes all of its outputs or none.
  execute_process(COMMAND ${MAKE_PAYLOAD} --payload-dir ${PAYLOAD_DIR} --out-dir ${OUT_DIR}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    remove_stale_installer(${BUILD_DIR})
    message(FATAL_ERROR "Packing the payload from ${PAYLOAD_DIR} failed; no installer was built")
  endif()
endif()
