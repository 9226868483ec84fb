# Small helpers that keep the CMake files declarative: one helper per kind of target.

# Compile options shared by every target of the project.
function(tovra_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TOVRA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# tovra_add_subsystem(NAME DEPS...): a static library of every source in src/NAME
# (and, for the platform layer, the one implementation this build uses).
# A subsystem with no sources yet becomes an interface library, so that the
# dependency graph can be declared before every layer exists.
function(tovra_add_subsystem name)
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  cmake_parse_arguments(ARG "" "" "DEPS;EXTRA_DIRS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(extra ${ARG_EXTRA_DIRS})
    file(GLOB more CONFIGURE_DEPENDS ${dir}/${extra}/*.cpp)
    list(APPEND sources ${more})
  endforeach()
  if(sources)
    add_library(tovra_${name} STATIC ${sources})
    target_include_directories(tovra_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(tovra_${name} PUBLIC ${ARG_DEPS})
    tovra_set_warnings(tovra_${name})
  else()
    add_library(tovra_${name} INTERFACE)
    target_include_directories(tovra_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(tovra_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# tovra_add_gtest(NAME SOURCES... LIBS...): a GoogleTest executable registered with ctest.
# Natively each test case is its own ctest entry; under Wine the whole executable
# is one entry, because discovering cases would start Wine once per case.
function(tovra_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  tovra_set_warnings(${name})
  # GCC 12 reports -Wrestrict false positives inside libstdc++'s string code
  # when tests build strings at -O3; library code keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${name} PRIVATE -Wno-restrict)
  endif()
  if(WIN32)
    target_link_options(${name} PRIVATE -static)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
