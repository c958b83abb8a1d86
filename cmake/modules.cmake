# mall_module(name dir deps...): a static library of dir/*.cpp and, when the folder has *_test.cpp files,
# one test program of them registered with CTest. Folders with no sources yet make no target.
#
# Modules are declared bottom-up (CMakeLists.txt), and a module may name only modules declared before it,
# so the link graph cannot hold a cycle. A dependency that has no target is allowed only when it is listed
# in MALL_MODULES_TO_COME (its folder has no sources yet); any other fails the configure.
include_guard()
include(${CMAKE_CURRENT_LIST_DIR}/fuzz.cmake)

# Global properties: MALL_MODULES, the modules declared so far, bottom-up; MALL_MODULES_TO_COME, the modules
# whose folders have no sources yet.
set_property(GLOBAL PROPERTY MALL_MODULES "")
set_property(GLOBAL PROPERTY MALL_MODULES_TO_COME "")
set_property(GLOBAL PROPERTY MALL_MODULES_SKIPPED "")

# mall_modules_to_come(names...): the modules that may be named as dependencies before they exist.
function(mall_modules_to_come)
  set_property(GLOBAL PROPERTY MALL_MODULES_TO_COME ${ARGN})
endfunction()

# mall_link_modules(target scope deps...): links the modules named; one still to come is skipped while it
# has no target; an unknown name, or one declared later (above the caller), stops the configure.
function(mall_link_modules target scope)
  get_property(declared GLOBAL PROPERTY MALL_MODULES)
  get_property(to_come GLOBAL PROPERTY MALL_MODULES_TO_COME)
  foreach(dep ${ARGN})
    if(dep IN_LIST declared)
      target_link_libraries(${target} ${scope} ${dep})
    elseif(dep IN_LIST to_come)
      # Remembered, so that the module cannot later be declared above one that needs it.
      set_property(GLOBAL APPEND PROPERTY MALL_MODULES_SKIPPED ${dep})
      continue()
    else()
      message(FATAL_ERROR "${target} depends on '${dep}', which is neither a module declared below it "
                          "nor listed in mall_modules_to_come()")
    endif()
  endforeach()
endfunction()

function(mall_module name dir)
  get_property(declared GLOBAL PROPERTY MALL_MODULES)
  get_property(to_come GLOBAL PROPERTY MALL_MODULES_TO_COME)
  get_property(skipped GLOBAL PROPERTY MALL_MODULES_SKIPPED)
  if(name IN_LIST declared)
    message(FATAL_ERROR "module ${name} is declared twice")
  endif()
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
    if(NOT name IN_LIST to_come)
      message(FATAL_ERROR "module ${name} has no sources in ${dir} and is not listed in mall_modules_to_come()")
    endif()
    return()
  endif()
  if(name IN_LIST skipped)
    message(FATAL_ERROR "module ${name} is declared above a module that depends on it")
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  mall_link_modules(${name} PUBLIC ${ARGN})
  set_property(GLOBAL APPEND PROPERTY MALL_MODULES ${name})
  if(COMMAND mall_module_extra_${name})
    cmake_language(CALL mall_module_extra_${name})
  endif()
  if(MALL_TESTS AND tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE ${name} GTest::gtest GTest::gtest_main GTest::gmock)
    # A test program may link modules above its own (a library may not): MALL_TEST_DEPS_<name>.
    if(MALL_TEST_DEPS_${name})
      target_link_libraries(${name}_tests PRIVATE ${MALL_TEST_DEPS_${name}})
    endif()
    # Tests that share one resource (MALL_TEST_LOCK_<name>, e.g. the X server's one pointer) run one at a time.
    set(lock "")
    if(MALL_TEST_LOCK_${name})
      set(lock RESOURCE_LOCK ${MALL_TEST_LOCK_${name}})
    endif()
    gtest_discover_tests(${name}_tests
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      PROPERTIES ENVIRONMENT "MALL_SOURCE_DIR=${CMAKE_SOURCE_DIR}" ${lock})
    # The whole program in one process as well: state that outlives one test's engine or game fails a later test.
    add_test(NAME WholeProgram.${name}_tests COMMAND ${name}_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    # Its temporary folders are its own: the tests name theirs after themselves, and CTest runs the same test on
    # its own beside this run.
    set(whole_tmp ${CMAKE_BINARY_DIR}/wholeprogram_tmp/${name})
    file(MAKE_DIRECTORY ${whole_tmp})
    set_tests_properties(WholeProgram.${name}_tests PROPERTIES ENVIRONMENT
                         "MALL_SOURCE_DIR=${CMAKE_SOURCE_DIR};TMPDIR=${whole_tmp}" ${lock})
  endif()
  if(MALL_TESTS AND fuzzers)
    mall_fuzz_replays(${name} ${dir} ${fuzzers})
  endif()
endfunction()

# mall_link_closure(target out): every library the target links, directly or through others.
function(mall_link_closure target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(direct ${current} LINK_LIBRARIES)
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(dep IN LISTS direct interface)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" dep "${dep}")
      if(dep AND NOT dep MATCHES "NOTFOUND$" AND NOT dep IN_LIST seen)
        list(APPEND seen ${dep})
        list(APPEND queue ${dep})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# mall_check_layers(): every module links only modules declared before it, whatever added the link.
function(mall_check_layers)
  get_property(declared GLOBAL PROPERTY MALL_MODULES)
  set(below "")
  foreach(module ${declared})
    mall_link_closure(${module} links)
    foreach(dep ${links})
      if(dep IN_LIST declared AND NOT dep IN_LIST below)
        message(FATAL_ERROR "${module} links ${dep}, which is not below it in the list of modules")
      endif()
    endforeach()
    list(APPEND below ${module})
  endforeach()
endfunction()
