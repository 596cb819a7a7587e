# Install layout, in two components:
#   plugin  what a host needs: libTsMPIO_HDLM.so in the library folder and its header;
#   tools   mpio-probe, hdlm-sim, their manual pages, the shipped topologies, and the stand-ins of the host's
#           libraries in a private folder, so they never shadow a host's own libTsLib/libZoUtils/
#           libkpartx.
# Every rule is guarded: the tree configures while parts of it are still missing.

include(${CMAKE_CURRENT_LIST_DIR}/InstallDirs.cmake)
# cpack and `make install` install what is built and never start a build of the whole tree
# themselves (`make package` builds first); the package tests then run no build under ctest.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(TSMPIO_INSTALLED_COMPONENTS "")

# --- plugin -----------------------------------------------------------------------------------
if(TARGET TsMPIO_HDLM)
  # The target keeps RUNPATH $ORIGIN: on a host the agent has loaded its own libraries already.
  install(TARGETS TsMPIO_HDLM LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT plugin)
  install(FILES ${PROJECT_SOURCE_DIR}/include/TsMPIO_HDLM.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT plugin)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tsmpio-hdlm-plugin COMPONENT plugin)
  list(APPEND TSMPIO_INSTALLED_COMPONENTS plugin)
endif()

# --- tools ------------------------------------------------------------------------------------
set(_standins "")
foreach(lib TsLib ZoUtils kpartx)
  if(TARGET ${lib})
    list(APPEND _standins ${lib})
  endif()
endforeach()
if(_standins)
  install(TARGETS ${_standins} LIBRARY DESTINATION ${TSMPIO_PRIVATE_LIBDIR} COMPONENT tools)
endif()

if(TARGET mpio-probe)
  # The plug-in finds its host libraries only among those already loaded (its RUNPATH is $ORIGIN,
  # the library folder), as it does in the agent. So the probe links the stand-ins itself, found
  # through a RUNPATH relative to the installed binary; the build tree keeps its own build RPATH.
  if(_standins STREQUAL "TsLib;ZoUtils;kpartx")
    target_link_libraries(mpio-probe PRIVATE ${_standins})
    # The probe calls none of them; keep them NEEDED all the same.
    target_link_options(mpio-probe PRIVATE LINKER:--no-as-needed)
  endif()
  file(RELATIVE_PATH _probe_to_private
    "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}/tsmpio-hdlm")
  set_target_properties(mpio-probe PROPERTIES INSTALL_RPATH "$ORIGIN/${_probe_to_private}")
  install(TARGETS mpio-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

if(TARGET hdlm-sim)
  # One binary: it links itself as dlnkmgr inside the simulated host, so no helpers go to libexec.
  install(TARGETS hdlm-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/sim/topologies)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/topologies/
    DESTINATION ${TSMPIO_TOPOLOGY_DIR} COMPONENT tools
    FILES_MATCHING PATTERN "*.json")
endif()

if(_standins OR TARGET mpio-probe OR TARGET hdlm-sim)
  include(${CMAKE_CURRENT_LIST_DIR}/ManPages.cmake)
  list(APPEND TSMPIO_INSTALLED_COMPONENTS tools)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Packaging.cmake)
