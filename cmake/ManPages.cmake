# Manual pages of the tools, written at build time by help2man from each tool's own --help, so a
# page cannot drift from the tool; tools/man/<tool>.h2m adds what --help cannot say (description,
# exit status, files, examples). Installed, compressed, with the tools component.
find_program(HELP2MAN_EXECUTABLE help2man)
if(NOT HELP2MAN_EXECUTABLE)
  message(STATUS "help2man not found: no manual pages for the tools (scripts/bootstrap installs it)")
  return()
endif()

set(_man_dir ${CMAKE_BINARY_DIR}/man)
set(_man_pages "")
foreach(tool_and_summary
    "mpio-probe|call a multipath plug-in's entry points as a host does and show every answer"
    "hdlm-sim|run a command on a simulated HDLM host")
  string(REPLACE "|" ";" _parts "${tool_and_summary}")
  list(GET _parts 0 _tool)
  list(GET _parts 1 _summary)
  if(NOT TARGET ${_tool})
    continue()
  endif()
  set(_include ${PROJECT_SOURCE_DIR}/tools/man/${_tool}.h2m)
  set(_page ${_man_dir}/${_tool}.1.gz)
  add_custom_command(OUTPUT ${_page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_man_dir}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/man/make-man-page $<TARGET_FILE:${_tool}> ${_summary}
            ${_include} ${PROJECT_VERSION} ${_page}
    DEPENDS ${_tool} ${_include} ${PROJECT_SOURCE_DIR}/tools/man/make-man-page
    COMMENT "Writing the manual page ${_tool}.1.gz from '${_tool} --help' (help2man)"
    VERBATIM)
  list(APPEND _man_pages ${_page})
endforeach()

if(_man_pages)
  add_custom_target(man-pages ALL DEPENDS ${_man_pages})
  install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endif()
