# Plants one break of each rule in a small tree of four modules and checks that layercheck reports each of them,
# and nothing of what the rules allow.
#   cmake -DLAYERCHECK=<program> -DWORK=<scratch folder> -P planted_test.cmake
file(REMOVE_RECURSE ${WORK})

function(plant path)
  list(JOIN ARGN "\n" text)
  file(WRITE ${WORK}/${path} "${text}\n")
endfunction()

# platform/sys below low below high, and mid, whose room mid/base stands below its room mid/top; low's tests link
# high.
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
  "source low_tests low/grid_test.cpp"
  "module mid mid/base mid/top"
  "links mid low plat"
  "links mid_tests mid low plat"
  "source mid mid/base/cell.cpp"
  "source mid mid/top/map.cpp"
  "source mid_tests mid/base/cell_test.cpp")
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
      "#include <unistd.h>" "  #  include <SDL2/SDL.h>" "#include \"low/cell.h\"")
# The map lets high include low/grid.h alone of low's headers.
plant(low/cell.h "#pragma once")
plant(map.md "# Map" "" "| Header | Included by | Why |" "|---|---|---|" "| `low/grid.h` | high | the shop stands on the grid |" ""
      "After the table.")

# A room includes its own and those below; the library's source and the header it includes may not reach up, what
# only the tests compile may.
plant(mid/base/cell.h "#pragma once")
plant(mid/base/walk.h "#include \"mid/top/map.h\"")
plant(mid/base/cell.cpp "#include \"mid/base/cell.h\"" "#include \"mid/top/map.h\"" "#include \"mid/base/walk.h\"")
plant(mid/base/cell_testing.h "#include \"mid/top/map.h\"")
plant(mid/base/cell_test.cpp "#include \"mid/base/cell_testing.h\"" "#include \"mid/top/map.h\"")
plant(mid/top/map.h "#pragma once" "#include \"mid/base/cell.h\"")
plant(mid/top/map.cpp "#include \"mid/top/map.h\"" "#include \"low/grid.h\"")

execute_process(COMMAND ${LAYERCHECK} ${WORK}/table.txt ${WORK} ${WORK}/map.md RESULT_VARIABLE result
                OUTPUT_VARIABLE output)
string(JOIN "\n" expected
  "high/shop.cpp:3: the private header of another folder: #include \"low/grid_local.h\""
  "high/shop.cpp:4: a platform header outside platform/: #include <unistd.h>"
  "high/shop.cpp:5: a platform header outside platform/: #include <SDL2/SDL.h>"
  "high/shop.cpp:6: a header of low that the map does not list for high: #include \"low/cell.h\""
  "low/grid.cpp:3: a header of high, which low does not link: #include \"high/shop.h\""
  "low/view.h:1: a header of high, which low does not link: #include \"high/shop.h\""
  "mid/base/cell.cpp:2: a header of mid/top/, a room above mid/base/: #include \"mid/top/map.h\""
  "mid/base/walk.h:1: a header of mid/top/, a room above mid/base/: #include \"mid/top/map.h\""
  "layercheck: 8 includes break the layers in 18 files\n")
if(NOT result EQUAL 1 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "layercheck ended with ${result} and printed\n${output}\ninstead of\n${expected}")
endif()
