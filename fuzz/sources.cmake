# What the fuzzers are made of, shared by the clang fuzzing build (fuzz/CMakeLists.txt) and the
# replay tests of the regular build (tests/fuzz-regressions): the harness support, with the
# host's runner and logger replaced by checking doubles, and the stand-ins' own splitter,
# log-line builder and partition reader compiled in.
set(FUZZ_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

set(FUZZ_TARGETS inventory listing underlying init names partitions)

set(FUZZ_SUPPORT_SOURCES
  ${FUZZ_ROOT}/fuzz/support/fuzz_check.cpp
  ${FUZZ_ROOT}/fuzz/support/fuzz_input.cpp
  ${FUZZ_ROOT}/fuzz/support/scripted_runner.cpp
  ${FUZZ_ROOT}/fuzz/support/checked_logger.cpp
  ${FUZZ_ROOT}/fuzz/support/guarded_buffers.cpp
  ${FUZZ_ROOT}/fuzz/support/device_nodes.cpp
  ${FUZZ_ROOT}/tests/support/guarded_memory.cpp
  ${FUZZ_ROOT}/standins/tslib/log_line.cpp
  ${FUZZ_ROOT}/standins/zoutils/split.cpp
  ${FUZZ_ROOT}/standins/kpartx/get_partitions.cpp
  ${FUZZ_ROOT}/standins/kpartx/open_disk.cpp
  ${FUZZ_ROOT}/standins/kpartx/read_table.cpp
  ${FUZZ_ROOT}/standins/kpartx/kernel_layout.cpp)

set(FUZZ_INCLUDE_DIRS
  ${FUZZ_ROOT}/fuzz/support
  ${FUZZ_ROOT}/tests/support
  ${FUZZ_ROOT}/src
  ${FUZZ_ROOT}/include
  ${FUZZ_ROOT}/standins/include
  ${FUZZ_ROOT}/common
  ${FUZZ_ROOT}/standins/tslib)

# One harness per target: fuzz/targets/<name>_fuzzer.cpp, seeds in fuzz/corpus/<name>/.
function(fuzz_target_source out name)
  set(${out} ${FUZZ_ROOT}/fuzz/targets/${name}_fuzzer.cpp PARENT_SCOPE)
endfunction()
