# mall_fuzz_replays(library dir fuzz sources...): every fuzz target of a module also builds
# into the test tree as a replay program that runs its committed corpus through CTest.
# <dir>/<stem>_fuzz.cpp becomes <library>_<stem>_replay, fed every file of <dir>/corpus/<stem>_fuzz/
# and of its crashes/ subfolder, where every crashing input ever found is kept.
include_guard()

# Allocations past this fail the replay as they fail the fuzzer (-malloc_limit_mb in scripts/fuzz.sh).
set(MALL_FUZZ_MALLOC_LIMIT_MB 256)
set(MALL_FUZZ_REPLAY_MAIN ${CMAKE_CURRENT_LIST_DIR}/fuzz_replay_main.cpp)

function(mall_fuzz_replays library dir)
  foreach(source ${ARGN})
    get_filename_component(target_stem ${source} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" stem ${target_stem})
    set(replay ${library}_${stem}_replay)
    set(corpus ${CMAKE_SOURCE_DIR}/${dir}/corpus/${target_stem})
    add_executable(${replay} ${source} ${MALL_FUZZ_REPLAY_MAIN})
    # Like the module's tests, a replay may link upward (MALL_TEST_DEPS_<library>): a core reader fed
    # rasters of the Direct3D 9 driver.
    target_link_libraries(${replay} PRIVATE ${library} ${MALL_TEST_DEPS_${library}})
    add_test(NAME FuzzReplay.${library}_${stem}
      COMMAND ${replay} ${corpus} ${corpus}/crashes
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(FuzzReplay.${library}_${stem} PROPERTIES ENVIRONMENT
      "ASAN_OPTIONS=max_allocation_size_mb=${MALL_FUZZ_MALLOC_LIMIT_MB}:allocator_may_return_null=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;MALL_D3D9_BACKEND=software;SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy")
  endforeach()
endfunction()
