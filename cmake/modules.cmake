# mall_module(name dir deps...): a static library of dir/*.cpp and, when the
# folder has *_test.cpp files, one test program of them registered with CTest.
# Folders with no sources yet make no target, and missing dependencies are
# skipped, so modules can be added one at a time.
include_guard()

function(mall_link_existing target scope)
  foreach(dep ${ARGN})
    if(TARGET ${dep})
      target_link_libraries(${target} ${scope} ${dep})
    endif()
  endforeach()
endfunction()

function(mall_module name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_test.cpp)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_fuzz.cpp)
  file(GLOB mains CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_main.cpp)
  if(tests)
    list(REMOVE_ITEM sources ${tests})
  endif()
  if(fuzzers)
    list(REMOVE_ITEM sources ${fuzzers})
  endif()
  if(mains)
    list(REMOVE_ITEM sources ${mains})
  endif()
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  mall_link_existing(${name} PUBLIC ${ARGN})
  if(COMMAND mall_module_extra_${name})
    cmake_language(CALL mall_module_extra_${name})
  endif()
  if(MALL_TESTS AND tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE ${name} GTest::gtest GTest::gtest_main GTest::gmock)
    gtest_discover_tests(${name}_tests
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      PROPERTIES ENVIRONMENT "MALL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  endif()
endfunction()
