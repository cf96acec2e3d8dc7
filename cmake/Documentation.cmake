# `doc`: the HTML reference of the public headers in <build>/doc/html (index.html), made by
# doxygen with every warning an error, so that an undocumented public member, parameter or
# result fails. Absent when doxygen is not installed.
find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  set(QMT_DOC_OUTPUT ${CMAKE_BINARY_DIR}/doc)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/../docs/Doxyfile.in ${CMAKE_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_target(doc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QMT_DOC_OUTPUT}
    COMMAND ${DOXYGEN_EXECUTABLE} ${CMAKE_BINARY_DIR}/Doxyfile
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "Reference of the public headers: ${QMT_DOC_OUTPUT}/html/index.html"
    VERBATIM)
endif()
