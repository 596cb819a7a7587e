# The agent's own SDK in place of the stand-ins: TSMPIO_AGENT_SDK names a folder with include/
# (the four headers) and lib/ (the three libraries). Reads the libraries' exported symbols, tells
# their std::string ABI, and checks that they agree and offer every import of the plug-in.
# Sets TSMPIO_AGENT_ABI to "new" (C++11 std::string, GCC 5 and later) or "old" (GCC 4), and
# TSMPIO_AGENT_SDK_INCLUDE / TSMPIO_AGENT_SDK_LIBS for the plug-in's build.
#
# Also runs alone, to check an SDK folder without configuring the project:
#   cmake -DTSMPIO_AGENT_SDK=DIR -P cmake/AgentSdk.cmake

# What the plug-in imports, per library, as "name|new-ABI mangled name|old-ABI mangled name".
set(_tsmpio_imports_TsLib
  "EvDebug::EvDebug(EvDebugFileInstance*)|_ZN7EvDebugC1EP19EvDebugFileInstance|_ZN7EvDebugC1EP19EvDebugFileInstance"
  "EvDebug::~EvDebug()|_ZN7EvDebugD1Ev|_ZN7EvDebugD1Ev"
  "EvDebug::DebugLvl(const char*, int, const char*, ...)|_ZN7EvDebug8DebugLvlEPKciS1_z|_ZN7EvDebug8DebugLvlEPKciS1_z"
  "TsProcess::system(const char*, std::string*, std::string*, int, bool)|_ZN9TsProcess6systemEPKcPNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES8_ib|_ZN9TsProcess6systemEPKcPSsS2_ib")
set(_tsmpio_imports_ZoUtils
  "FXString::Split(const std::string&, const std::string&, std::vector<std::string>&, unsigned)|_ZN8FXString5SplitERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES7_RSt6vectorIS5_SaIS5_EEj|_ZN8FXString5SplitERKSsS1_RSt6vectorISsSaISsEEj")
set(_tsmpio_imports_kpartx
  "getPartitions(const char*, std::list<slice>&)|_Z13getPartitionsPKcRNSt7__cxx114listI5sliceSaIS3_EEE|_Z13getPartitionsPKcRSt4listI5sliceSaIS2_EE")

# Messages hold no ";" (a CMake list separator).
function(_tsmpio_sdk_fail)
  string(JOIN "" _text ${ARGN})
  message(FATAL_ERROR "TSMPIO_AGENT_SDK: ${_text}")
endfunction()

get_filename_component(_sdk "${TSMPIO_AGENT_SDK}" ABSOLUTE)
if(NOT IS_DIRECTORY "${_sdk}")
  _tsmpio_sdk_fail("${TSMPIO_AGENT_SDK} is not a folder: give the agent SDK's folder (with include/ and lib/)")
endif()
foreach(header EvDebug.h TsProcess.h FXString.h kpartx.h)
  if(NOT EXISTS "${_sdk}/include/${header}")
    _tsmpio_sdk_fail("${_sdk}/include/${header} is missing: the SDK's include/ must hold EvDebug.h, "
      "TsProcess.h, FXString.h and kpartx.h")
  endif()
endforeach()

find_program(TSMPIO_NM NAMES nm)
if(NOT TSMPIO_NM)
  _tsmpio_sdk_fail("nm is missing, so the SDK's libraries cannot be read: install binutils")
endif()

set(_abi "")
set(_abi_from "")
set(TSMPIO_AGENT_SDK_LIBS "")
foreach(lib TsLib ZoUtils kpartx)
  set(_file "${_sdk}/lib/lib${lib}.so")
  if(NOT EXISTS "${_file}")
    _tsmpio_sdk_fail("${_file} is missing: the SDK's lib/ must hold libTsLib.so, libZoUtils.so and libkpartx.so")
  endif()
  execute_process(COMMAND ${TSMPIO_NM} -D --defined-only --format=posix "${_file}"
    OUTPUT_VARIABLE _symbols ERROR_VARIABLE _error RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    _tsmpio_sdk_fail("nm -D could not read ${_file}: ${_error}")
  endif()
  # As nm -D --defined-only | grep -c __cxx11 tells: a library of the new ABI exports std::string
  # and std::list by their __cxx11 names, one of the old ABI never does.
  if(_symbols MATCHES "__cxx11")
    set(_lib_abi new)
  else()
    set(_lib_abi old)
  endif()
  if(_abi STREQUAL "")
    set(_abi ${_lib_abi})
    set(_abi_from lib${lib}.so)
  elseif(NOT _abi STREQUAL _lib_abi)
    _tsmpio_sdk_fail("lib${lib}.so is built with the ${_lib_abi} std::string ABI but ${_abi_from} with the "
      "${_abi} one, but the agent's libraries must share one ABI (nm -D --defined-only FILE | grep -c __cxx11 "
      "is 0 for the old one)")
  endif()
  foreach(import ${_tsmpio_imports_${lib}})
    string(REPLACE "|" ";" _parts "${import}")
    list(GET _parts 0 _name)
    if(_abi STREQUAL "new")
      list(GET _parts 1 _mangled)
    else()
      list(GET _parts 2 _mangled)
    endif()
    string(FIND "${_symbols}" "\n${_mangled} " _at)
    if(_at EQUAL -1 AND NOT _symbols MATCHES "^${_mangled} ")
      _tsmpio_sdk_fail("lib${lib}.so (${_abi} std::string ABI) lacks ${_name}, exported as ${_mangled}, "
        "which the plug-in imports: use the agent's own lib${lib}.so")
    endif()
  endforeach()
  list(APPEND TSMPIO_AGENT_SDK_LIBS "${_file}")
endforeach()

set(TSMPIO_AGENT_ABI ${_abi})
set(TSMPIO_AGENT_SDK_INCLUDE "${_sdk}/include")
message(STATUS "Agent SDK ${_sdk}: the ${_abi} std::string ABI; the plug-in is built in it")
