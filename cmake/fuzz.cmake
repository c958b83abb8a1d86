# mall_fuzz_replays(library dir fuzz sources...): every fuzz target of a module builds into the test tree as
# <library>_<stem>_fuzz, and CTest replays its committed corpus through it (FuzzReplay.<library>_<stem>): every file
# of <dir>/corpus/<stem>_fuzz/ and of its crashes/ subfolder, where every crashing input ever found is kept.
# With clang the target is a libFuzzer program over libraries built with libFuzzer's coverage (CMakeLists.txt),
# which scripts/fuzz.sh runs; with another compiler a stand-in main (fuzz_replay_main.cpp) feeds it the files.
# <build>/fuzz_targets.txt lists the targets for scripts/fuzz.sh, one a line: target, source, corpus folder.
include_guard()

# Allocations past this fail the replay as they fail the fuzzer (-malloc_limit_mb in scripts/fuzz.sh).
set(MALL_FUZZ_MALLOC_LIMIT_MB 256)
set(MALL_FUZZ_REPLAY_MAIN ${CMAKE_CURRENT_LIST_DIR}/fuzz_replay_main.cpp)
set(MALL_FUZZ_LIST ${CMAKE_BINARY_DIR}/fuzz_targets.txt)
file(WRITE ${MALL_FUZZ_LIST} "")

function(mall_fuzz_replays library dir)
  foreach(source ${ARGN})
    get_filename_component(target_stem ${source} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" stem ${target_stem})
    set(target ${library}_${stem}_fuzz)
    set(corpus ${CMAKE_SOURCE_DIR}/${dir}/corpus/${target_stem})
    # Each file is named, so a lost corpus fails the configure and every input runs whole, whatever its size.
    file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${corpus}/*)
    if(NOT inputs)
      message(FATAL_ERROR "${source} has no seed corpus in ${corpus}")
    endif()
    list(SORT inputs)
    if(MALL_LIBFUZZER)
      add_executable(${target} ${source})
      target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    else()
      add_executable(${target} ${source} ${MALL_FUZZ_REPLAY_MAIN})
    endif()
    # Like the module's tests, a fuzz target may link upward (MALL_TEST_DEPS_<library>): a core reader fed
    # rasters of the Direct3D 9 driver.
    target_link_libraries(${target} PRIVATE ${library} ${MALL_TEST_DEPS_${library}})
    mall_fast_link(${target})
    add_test(NAME FuzzReplay.${library}_${stem}
      COMMAND ${target} -artifact_prefix=${CMAKE_BINARY_DIR}/replay-${target}- ${inputs}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(FuzzReplay.${library}_${stem} PROPERTIES ENVIRONMENT
      "ASAN_OPTIONS=max_allocation_size_mb=${MALL_FUZZ_MALLOC_LIMIT_MB}:allocator_may_return_null=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;MALL_D3D9_BACKEND=software;SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy")
    file(APPEND ${MALL_FUZZ_LIST} "${target} ${dir}/${target_stem}.cpp ${corpus}\n")
  endforeach()
endfunction()
