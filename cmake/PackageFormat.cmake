# CPack reads this once per package format (CPACK_PROJECT_CONFIG_FILE): the install it runs next
# takes the format's library folder and library mode from the environment (InstallLibdir.cmake.in).
if(CPACK_GENERATOR STREQUAL "RPM")
  set(ENV{TSMPIO_PACKAGE_FORMAT} RPM)
  set(ENV{TSMPIO_PACKAGE_LIBDIR} "${CPACK_TSMPIO_RPM_LIBDIR}")
else()
  set(ENV{TSMPIO_PACKAGE_FORMAT} DEB)
  set(ENV{TSMPIO_PACKAGE_LIBDIR} "${CPACK_TSMPIO_DEB_LIBDIR}")
endif()
