# vekta_library(NAME [SOURCES_DIR dir] [EXCLUDE_DIRS ...] LIBS ...)
# Builds one static library from every .cpp/.c/.S file of the current folder
# (not its subfolders), so that adding a source file needs no CMake edit.
function(vekta_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp"
       "${CMAKE_CURRENT_SOURCE_DIR}/*.c"
       "${CMAKE_CURRENT_SOURCE_DIR}/*.S")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()

# vekta_test(NAME DIR LIBS ...): one GoogleTest executable from every .cpp of
# tests/DIR, registered with CTest test by test.
function(vekta_test name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} vekta_testsupport GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
      VEKTA_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
      VEKTA_PACK_EXE="$<TARGET_FILE:vekta-pack>"
      VEKTA_PLAYER_EXE="$<TARGET_FILE:vekta>"
      VEKTA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      VEKTA_BINARY_DIR="${CMAKE_BINARY_DIR}"
      VEKTA_CMAKE="${CMAKE_COMMAND}")
  add_dependencies(${name} vekta-pack vekta)
  # Leaks inside system libraries (the OpenGL driver) are suppressed for the
  # tests and the players they start; see tests/lsan-suppressions.txt. The
  # sanitizer runtimes of clang 16 and GCC 13 and before take some dynamic
  # TLS blocks of the OpenGL driver's threads for blocks of an old glibc and
  # read a wild address for them, which crashes LeakSanitizer's tracer at
  # exit after a test passed: their __tls_get_addr interceptor stays off.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "LC_ALL=C" ENVIRONMENT_MODIFICATION
      "LSAN_OPTIONS=set:suppressions=${CMAKE_SOURCE_DIR}/tests/lsan-suppressions.txt:print_suppressions=0:intercept_tls_get_addr=0")
endfunction()
