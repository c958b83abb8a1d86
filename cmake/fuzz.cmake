# mall_fuzz_replays(library dir fuzz sources...): every fuzz target of a module also builds
# into the test tree as a replay program that runs its committed corpus through CTest.
include_guard()

function(mall_fuzz_replays library dir)
endfunction()
