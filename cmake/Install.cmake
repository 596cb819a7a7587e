# Install layout, in three components:
#   plugin  what a host needs: libTsMPIO_HDLM.so in its own folder (TSMPIO_PLUGIN_DIR);
#   dev     its header, for the agent's sources;
#   tools   mpio-probe, hdlm-sim, their manual pages, the shipped topologies, and the stand-ins of the host's
#           libraries in a private folder, so they never shadow a host's own libTsLib/libZoUtils/
#           libkpartx.

include(${CMAKE_CURRENT_LIST_DIR}/InstallDirs.cmake)
# cpack and `make install` install what is built and never start a build of the whole tree
# themselves (`make package` builds first); the package tests then run no build under ctest.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(TSMPIO_INSTALLED_COMPONENTS "")
# Every package keeps its copyright and changelog in its documentation folder.
# Who ships the packages: the .debs' maintainer, the .rpms' packager and the changelog's author.
set(TSMPIO_PACKAGE_CONTACT "TsMPIO_HDLM maintainers <tsmpio-hdlm@localhost>" CACHE STRING
  "The packages' maintainer and packager, \"Name <address>\"")
set(TSMPIO_PACKAGE_URL "" CACHE STRING "The packages' home page")
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${_changelog}
  COMMAND sh -c "gzip -9n <'${CMAKE_BINARY_DIR}/packaging/changelog' >'${_changelog}'"
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  COMMENT "Compressing the packages' changelog" VERBATIM)
add_custom_target(package-changelog ALL DEPENDS ${_changelog})
configure_file(${CMAKE_CURRENT_LIST_DIR}/InstallLibdir.cmake.in
  ${CMAKE_BINARY_DIR}/packaging/InstallLibdir.cmake @ONLY)
function(component_docs component package)
  install(SCRIPT ${CMAKE_BINARY_DIR}/packaging/InstallLibdir.cmake COMPONENT ${component})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${_changelog}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()

# --- plugin -----------------------------------------------------------------------------------
# The target keeps RUNPATH $ORIGIN: on a host the agent has loaded its own libraries already.
component_docs(plugin tsmpio-hdlm-plugin)
install(TARGETS TsMPIO_HDLM LIBRARY DESTINATION ${TSMPIO_PLUGIN_DIR} COMPONENT plugin)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tsmpio-hdlm-plugin COMPONENT plugin)
component_docs(dev "\${TSMPIO_DEV_PACKAGE}")
install(FILES ${PROJECT_SOURCE_DIR}/include/TsMPIO_HDLM.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
list(APPEND TSMPIO_INSTALLED_COMPONENTS plugin dev)
# The plug-in for agents of the old std::string ABI, in a folder of its own: both plug-ins can be
# installed, and the agent loads the one of its ABI by path.
if(TARGET TsMPIO_HDLM_old_abi)
  component_docs(plugin_old_abi tsmpio-hdlm-plugin-oldabi)
  install(TARGETS TsMPIO_HDLM_old_abi LIBRARY DESTINATION ${TSMPIO_PLUGIN_DIR}-oldabi
    COMPONENT plugin_old_abi)
  list(APPEND TSMPIO_INSTALLED_COMPONENTS plugin_old_abi)
endif()

# --- tools ------------------------------------------------------------------------------------
component_docs(tools tsmpio-hdlm-tools)
install(TARGETS TsLib ZoUtils kpartx LIBRARY DESTINATION ${TSMPIO_PRIVATE_LIBDIR} COMPONENT tools)
# With the old-ABI plug-in, the stand-ins of an old-ABI agent to run it with, in old-abi/ (the
# probe then loads them by LD_LIBRARY_PATH).
if(TARGET TsMPIO_HDLM_old_abi)
  install(TARGETS TsLib_old_abi ZoUtils_old_abi kpartx_old_abi
    LIBRARY DESTINATION ${TSMPIO_PRIVATE_LIBDIR}/old-abi COMPONENT tools)
endif()

# mpio-probe's RUNPATH to the stand-ins' folder is set with its link line (tools/mpio-probe/).
install(TARGETS mpio-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
# One binary: it links itself as dlnkmgr inside the simulated host, so no helpers go to libexec.
install(TARGETS hdlm-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/topologies/
  DESTINATION ${TSMPIO_TOPOLOGY_DIR} COMPONENT tools
  FILES_MATCHING PATTERN "*.json")
include(${CMAKE_CURRENT_LIST_DIR}/ManPages.cmake)
list(APPEND TSMPIO_INSTALLED_COMPONENTS tools)

include(${CMAKE_CURRENT_LIST_DIR}/Packaging.cmake)
