# mall_module(name dir deps...): a static library of dir/*.cpp and, when the folder has *_test.cpp files,
# one test program of them registered with CTest.
#
# Modules are declared bottom-up (CMakeLists.txt), and a module may name only modules declared before it,
# so the link graph cannot hold a cycle.
include_guard()
include(${CMAKE_CURRENT_LIST_DIR}/fuzz.cmake)

# Global properties: MALL_MODULES, the modules declared so far, bottom-up; MALL_MODULE_DIRS_<name>, the folders
# of a module's sources, relative to the source tree.
set_property(GLOBAL PROPERTY MALL_MODULES "")

# mall_link_modules(target scope deps...): links the modules named; an unknown name, or one declared later (above
# the caller), stops the configure.
function(mall_link_modules target scope)
  get_property(declared GLOBAL PROPERTY MALL_MODULES)
  foreach(dep ${ARGN})
    if(NOT dep IN_LIST declared)
      message(FATAL_ERROR "${target} depends on '${dep}', which is not a module declared below it")
    endif()
    target_link_libraries(${target} ${scope} ${dep})
  endforeach()
endfunction()

# mall_folder_sources(dir): the folder's sources in three lists, set in the caller: mall_sources (the library's:
# every *.cpp but the tests, the fuzz targets and a program's *_main.cpp), mall_tests and mall_fuzzers.
macro(mall_folder_sources dir)
  file(GLOB mall_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  file(GLOB mall_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_test.cpp)
  file(GLOB mall_fuzzers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_fuzz.cpp)
  file(GLOB mall_mains CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*_main.cpp)
  foreach(mall_left_out IN LISTS mall_tests mall_fuzzers mall_mains)
    list(REMOVE_ITEM mall_sources ${mall_left_out})
  endforeach()
endmacro()

# A module's test program takes this many test files a shard (at least one shard): CTest runs the shards side by
# side, each a process of the whole program with its share of the tests (mall_test_program).
set(MALL_TEST_FILES_PER_SHARD 3)

# mall_test_program_build(target): how every GoogleTest program builds. Its own sources compile unoptimised: they
# are mostly the framework's assertion macros, which optimising costs more than it gains, while the libraries they
# test keep the build's level (and the sanitizers are on either way). The framework's headers are precompiled, and
# lld links where the compiler has it.
function(mall_test_program_build target)
  target_compile_options(${target} PRIVATE -O0)
  target_precompile_headers(${target} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  mall_fast_link(${target})
endfunction()

# mall_fast_link(target): links the target with lld where the compiler finds it (test programs, fuzz targets and
# benchmarks, which the test tree links by the hundred with the sanitizers).
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld MALL_HAVE_LLD)
function(mall_fast_link target)
  if(MALL_HAVE_LLD)
    target_link_options(${target} PRIVATE -fuse-ld=lld)
  endif()
endfunction()

# mall_test_program(target shards [lock]): registers the GoogleTest program with CTest as <target>.<i>of<shards>,
# shard i of the program's tests run in one process, so that state one test leaves behind fails a later test of its
# shard, and each test runs once. A failed shard's output names its failed tests. Each shard has a temporary folder
# of its own; a lock (RESOURCE_LOCK, e.g. the X server's one pointer) is taken by every shard.
function(mall_test_program target shards)
  set(lock "")
  if(ARGN)
    set(lock RESOURCE_LOCK ${ARGN})
  endif()
  foreach(index RANGE 1 ${shards})
    math(EXPR gtest_index "${index} - 1")
    set(test ${target}.${index}of${shards})
    set(tmp ${CMAKE_BINARY_DIR}/test_tmp/${test})
    file(MAKE_DIRECTORY ${tmp})
    add_test(NAME ${test} COMMAND ${target} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(${test} PROPERTIES ${lock} ENVIRONMENT
      "MALL_SOURCE_DIR=${CMAKE_SOURCE_DIR};TMPDIR=${tmp};GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${gtest_index}")
  endforeach()
endfunction()

# Registers a module's test program once all its folders have joined it (deferred to the end of the directory).
function(mall_register_module_tests name)
  get_target_property(sources ${name}_tests SOURCES)
  list(LENGTH sources files)
  math(EXPR shards "(${files} + ${MALL_TEST_FILES_PER_SHARD} - 1) / ${MALL_TEST_FILES_PER_SHARD}")
  # Tests that share one resource (MALL_TEST_LOCK_<name>, e.g. the X server's one pointer) run one at a time.
  mall_test_program(${name}_tests ${shards} ${MALL_TEST_LOCK_${name}})
endfunction()

function(mall_module name dir)
  get_property(declared GLOBAL PROPERTY MALL_MODULES)
  if(name IN_LIST declared)
    message(FATAL_ERROR "module ${name} is declared twice")
  endif()
  mall_folder_sources(${dir})
  if(NOT mall_sources)
    message(FATAL_ERROR "module ${name} has no sources in ${dir}")
  endif()
  add_library(${name} STATIC ${mall_sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  mall_link_modules(${name} PUBLIC ${ARGN})
  set_property(GLOBAL APPEND PROPERTY MALL_MODULES ${name})
  set_property(GLOBAL APPEND PROPERTY MALL_MODULE_DIRS_${name} ${dir})
  if(COMMAND mall_module_extra_${name})
    cmake_language(CALL mall_module_extra_${name})
  endif()
  if(MALL_TESTS AND mall_tests)
    add_executable(${name}_tests ${mall_tests})
    target_link_libraries(${name}_tests PRIVATE ${name} GTest::gtest GTest::gtest_main GTest::gmock)
    mall_test_program_build(${name}_tests)
    # A test program may link modules above its own (a library may not): MALL_TEST_DEPS_<name>.
    if(MALL_TEST_DEPS_${name})
      target_link_libraries(${name}_tests PRIVATE ${MALL_TEST_DEPS_${name}})
    endif()
    # Arguments of a deferred call are read when it runs: the name goes in as a literal.
    cmake_language(EVAL CODE "cmake_language(DEFER CALL mall_register_module_tests [[${name}]])")
  endif()
  if(MALL_TESTS AND mall_fuzzers)
    mall_fuzz_replays(${name} ${dir} ${mall_fuzzers})
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

# mall_targets_below(dir out): every target defined in dir and in the folders it adds.
function(mall_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    mall_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# mall_write_layer_table(path): the table tools/layercheck reads the tree's includes against, one record a line,
# paths relative to the source tree:
#   module <name> <folder>...      a module and the folders of its sources and headers: its rooms, bottom-up as
#                                  declared (mall_module, then each mall_module_folder), a file of the library
#                                  including only its own room and those before it
#   links <target> <module>...     the modules a library or program links, directly or through others
#   source <target> <file>         a source the target compiles
# A module's library is the target of its own name.
function(mall_write_layer_table path)
  get_property(modules GLOBAL PROPERTY MALL_MODULES)
  set(table "")
  foreach(module ${modules})
    # The folders declared, and every folder the library takes sources from, however they joined it.
    get_property(dirs GLOBAL PROPERTY MALL_MODULE_DIRS_${module})
    get_target_property(sources ${module} SOURCES)
    foreach(source ${sources})
      get_filename_component(folder ${source} DIRECTORY BASE_DIR ${CMAKE_SOURCE_DIR})
      file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${folder})
      list(APPEND dirs ${folder})
    endforeach()
    list(REMOVE_DUPLICATES dirs)
    list(JOIN dirs " " dirs)
    string(APPEND table "module ${module} ${dirs}\n")
  endforeach()
  mall_targets_below(${CMAKE_SOURCE_DIR} targets)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "STATIC_LIBRARY" AND NOT type STREQUAL "EXECUTABLE")
      continue()
    endif()
    mall_link_closure(${target} closure)
    set(linked "")
    foreach(dep ${closure})
      if(dep IN_LIST modules)
        list(APPEND linked ${dep})
      endif()
    endforeach()
    list(JOIN linked " " linked)
    string(APPEND table "links ${target} ${linked}\n")
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    foreach(source ${sources})
      if(source MATCHES "^\\$<")
        continue()
      endif()
      get_filename_component(source ${source} ABSOLUTE BASE_DIR ${source_dir})
      file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${source})
      if(NOT relative MATCHES "^\\.\\./")
        string(APPEND table "source ${target} ${relative}\n")
      endif()
    endforeach()
  endforeach()
  file(WRITE ${path} "${table}")
endfunction()

# A further folder of a module, declared above the module's folders before it: the folders are the module's rooms,
# bottom-up, as the modules are (tools/layercheck holds the library's includes to that order). Its sources join the
# library, its tests the module's test program, its fuzz targets the corpus replays.
function(mall_module_folder name dir)
  mall_folder_sources(${dir})
  target_sources(${name} PRIVATE ${mall_sources})
  set_property(GLOBAL APPEND PROPERTY MALL_MODULE_DIRS_${name} ${dir})
  if(MALL_TESTS AND mall_tests)
    target_sources(${name}_tests PRIVATE ${mall_tests})
  endif()
  if(MALL_TESTS AND mall_fuzzers)
    mall_fuzz_replays(${name} ${dir} ${mall_fuzzers})
  endif()
endfunction()
