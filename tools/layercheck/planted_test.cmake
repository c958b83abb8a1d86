# Plants one break of each rule in a small tree of three modules and checks that layercheck reports each of them,
# and nothing of what the rules allow.
#   cmake -DLAYERCHECK=<program> -DWORK=<scratch folder> -P planted_test.cmake
file(REMOVE_RECURSE ${WORK})

function(plant path)
  list(JOIN ARGN "\n" text)
  file(WRITE ${WORK}/${path} "${text}\n")
endfunction()

# platform/sys below low below high; low's tests link high.
plant(table.txt
  "module plat platform/sys"
  "module low low"
  "module high high"
  "links plat"
  "links low plat"
  "links high low plat"
  "links low_tests low plat high"
  "source plat platform/sys/file.cpp"
  "source low low/grid.cpp"
  "source low low/path.cpp"
  "source high high/shop.cpp"
  "source low_tests low/grid_test.cpp")
plant(platform/sys/file.cpp "#include <unistd.h>")
plant(low/grid.h "#pragma once")
plant(low/grid_local.h "#pragma once")
plant(low/grid.cpp "#include \"low/grid.h\"" "#include \"grid_local.h\"" "#include \"high/shop.h\"")
# A header of the library that reaches up breaks in every file that includes it.
plant(low/view.h "#include \"high/shop.h\"")
plant(low/path.cpp "#include \"low/view.h\"")
# A header only the tests include reaches what the test program links.
plant(low/grid_testing.h "#include \"high/shop.h\"")
plant(low/grid_test.cpp "#include \"low/grid_testing.h\"" "#include \"high/shop.h\"" "#include <gtest/gtest.h>")
plant(high/shop.h "#pragma once" "#include \"low/grid.h\"" "#include <vector>")
plant(high/shop.cpp "#include \"high/shop.h\"" "#include \"low/grid.h\"" "#include \"low/grid_local.h\""
      "#include <unistd.h>" "  #  include <SDL2/SDL.h>")

execute_process(COMMAND ${LAYERCHECK} ${WORK}/table.txt ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE output)
string(JOIN "\n" expected
  "high/shop.cpp:3: the private header of another folder: #include \"low/grid_local.h\""
  "high/shop.cpp:4: a platform header outside platform/: #include <unistd.h>"
  "high/shop.cpp:5: a platform header outside platform/: #include <SDL2/SDL.h>"
  "low/grid.cpp:3: a header of high, which low does not link: #include \"high/shop.h\""
  "low/view.h:1: a header of high, which low does not link: #include \"high/shop.h\""
  "layercheck: 5 includes break the layers in 10 files\n")
if(NOT result EQUAL 1 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "layercheck ended with ${result} and printed\n${output}\ninstead of\n${expected}")
endif()
