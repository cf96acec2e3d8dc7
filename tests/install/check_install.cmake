# One step of the install test, run with cmake -P:
#   STEP=install     install the build tree BUILD_DIR into WORK/prefix (from scratch)
#   STEP=consumer    configure, build and run the consumer in SOURCE_DIR against WORK/prefix,
#                    finding the library through VIA (package or pkg-config)
#   STEP=exports     check that the installed shared library exports only SRCppWrap::QmtSR and
#                    exactly the C interface that the installed QmtSR_c.h declares
# Further inputs: GENERATOR, CXX, CXX_FLAGS (sanitizer flags of the tree), TOOLCHAIN (the tree's
# toolchain file, so that the consumer is built for the same architecture), LIBDIR, NM.
cmake_minimum_required(VERSION 3.25)
set(prefix "${WORK}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()

if(STEP STREQUAL "install")
  file(REMOVE_RECURSE "${WORK}")
  run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
  foreach(file include/NRDEnrollmentCPPWrapper/QmtSR.h include/NRDEnrollmentCPPWrapper/QmtSRExport.h
               include/NRDEnrollmentCPPWrapper/QmtSRResults.h
               include/NRDEnrollmentCPPWrapper/QmtSR_c.h
               include/NRDEnrollmentCPPWrapper/QmtSRPortable.h
               ${LIBDIR}/libNRDEnrollmentCPPWrapper.so ${LIBDIR}/libNRDEnrollmentCPPWrapper.so.1
               ${LIBDIR}/pkgconfig/NRDEnrollmentCPPWrapper.pc
               ${LIBDIR}/cmake/NRDEnrollmentCPPWrapper/NRDEnrollmentCPPWrapperConfig.cmake)
    if(NOT EXISTS "${prefix}/${file}")
      message(FATAL_ERROR "not installed: ${file}")
    endif()
  endforeach()

elseif(STEP STREQUAL "consumer")
  set(bin "${WORK}/consumer-${VIA}")
  file(REMOVE_RECURSE "${bin}")
  set(consumer_args "")
  if(TOOLCHAIN)
    list(APPEND consumer_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}")
  endif()
  if(CXX_FLAGS)  # given empty, they would replace the toolchain's own (-m32)
    list(APPEND consumer_args "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}")
  endif()
  if(VIA STREQUAL "package")
    list(APPEND consumer_args "-DCMAKE_PREFIX_PATH=${prefix}")
  else()
    set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
  endif()
  run("${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${bin}" -G "${GENERATOR}" "-DCONSUMER_VIA=${VIA}"
      "-DCMAKE_CXX_COMPILER=${CXX}" ${consumer_args})
  run("${CMAKE_COMMAND}" --build "${bin}")
  # Run where the enrolment log's folder (..\log) exists, and check the entry arrived.
  file(MAKE_DIRECTORY "${bin}/run/log" "${bin}/run/host")
  execute_process(COMMAND "${bin}/qmtsr_consumer" WORKING_DIRECTORY "${bin}/run/host"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "consumer ok")
    message(FATAL_ERROR "consumer failed (${rc}): ${out}${err}")
  endif()
  file(READ "${bin}/run/log/SREnrollmentlog.log" log)
  if(NOT log MATCHES "^\n\\[[0-9-]+\\.[0-9:]+\\] - \\[pid - [0-9]+\\] Uniquekey: installed-key$")
    message(FATAL_ERROR "unexpected log from the installed library: '${log}'")
  endif()

elseif(STEP STREQUAL "exports")
  file(GLOB libs "${prefix}/${LIBDIR}/libNRDEnrollmentCPPWrapper.so.*.*")
  if(NOT libs)
    message(FATAL_ERROR "no installed shared library under ${prefix}/${LIBDIR}")
  endif()
  list(GET libs 0 lib)
  execute_process(COMMAND "${NM}" -D --defined-only -C "${lib}" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${lib}")
  endif()
  string(REPLACE "\n" ";" lines "${out}")
  set(foreign "")
  set(own 0)
  set(c_names "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.*)$")
      set(name "${CMAKE_MATCH_1}")
      if(name MATCHES "^SRCppWrap::QmtSR::")
        math(EXPR own "${own} + 1")
      elseif(name MATCHES "^QmtSR_[A-Za-z0-9_]+$")  # demangled: a C++ name shows its types
        list(APPEND c_names "${name}")
      else()
        string(APPEND foreign "  ${name}\n")
      endif()
    endif()
  endforeach()
  if(foreign)
    message(FATAL_ERROR "symbols outside SRCppWrap::QmtSR and the C interface exported by "
      "${lib}:\n${foreign}")
  endif()
  if(own EQUAL 0)
    message(FATAL_ERROR "${lib} exports no SRCppWrap::QmtSR member")
  endif()
  include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/CInterfaceNames.cmake")
  qmt_c_interface_names("${prefix}/include/NRDEnrollmentCPPWrapper/QmtSR_c.h" declared)
  list(SORT c_names)
  if(NOT c_names STREQUAL declared)
    message(FATAL_ERROR "${lib} exports the C names\n  ${c_names}\nnot those QmtSR_c.h declares:\n"
      "  ${declared}")
  endif()

else()
  message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
