# qmt_c_interface_names(HEADER OUT): the names of the functions that QmtSR_c.h declares
# ("QMTSR_API <type> QmtSR_<name>("), sorted: the module-definition file and the export checks
# read the C interface from the header itself.
function(qmt_c_interface_names header out)
  file(STRINGS "${header}" lines REGEX "^QMTSR_API ")
  set(names "")
  foreach(line IN LISTS lines)
    if(line MATCHES "[ *](QmtSR_[A-Za-z0-9_]+)\\(")
      list(APPEND names "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "no QmtSR_ function declared in ${header}")
  endif()
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()
