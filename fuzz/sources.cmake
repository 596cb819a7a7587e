# What the fuzzers are made of, shared by the clang fuzzing build (fuzz/CMakeLists.txt) and the
# replay tests of the regular build (tests/fuzz-regressions): the harness support, with the
# host's runner and logger replaced by the plug-in tests' doubles (tests/plugin/support), and the
# stand-ins' own splitter, log-line builder and partition reader compiled in.
set(FUZZ_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

set(FUZZ_TARGETS inventory listing underlying init names partitions)

set(FUZZ_SUPPORT_SOURCES
  fuzz/support/fuzz_check.cpp
  fuzz/support/fuzz_input.cpp
  fuzz/support/device_nodes.cpp
  tests/plugin/support/host_doubles.cpp
  tests/support/guarded_memory.cpp
  tests/support/guarded_storage.cpp
  tools/plugin_calls/plugin_calls.cpp
  tools/plugin_calls/caller_storage.cpp
  tests/support/process_runner.cpp
  tests/support/temp_dir.cpp
  standins/tslib/log_line.cpp
  standins/zoutils/split.cpp
  standins/kpartx/get_partitions.cpp
  standins/kpartx/open_disk.cpp
  standins/kpartx/read_table.cpp
  standins/kpartx/kernel_layout.cpp)
list(TRANSFORM FUZZ_SUPPORT_SOURCES PREPEND ${FUZZ_ROOT}/)

set(FUZZ_INCLUDE_DIRS
  fuzz/support tests/plugin/support tests/support tools/plugin_calls tools/plugin_loader src include
  standins/include common standins/tslib)
list(TRANSFORM FUZZ_INCLUDE_DIRS PREPEND ${FUZZ_ROOT}/)

# One harness per target: fuzz/targets/<name>_fuzzer.cpp, seeds in fuzz/corpus/<name>/; those
# that stat the scratch device nodes also get libFuzzer's start-up hook for them.
set(FUZZ_TARGETS_ON_NODES inventory underlying)
function(fuzz_target_source out name)
  set(sources ${FUZZ_ROOT}/fuzz/targets/${name}_fuzzer.cpp)
  if(name IN_LIST FUZZ_TARGETS_ON_NODES)
    list(APPEND sources ${FUZZ_ROOT}/fuzz/support/scratch_nodes_start.cpp)
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
