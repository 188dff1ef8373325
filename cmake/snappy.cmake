# Snappy, the compression of LevelDB's tables (Chromium's stores use it):
# built from the source of Debian's snappy package, fetched into the build
# folder at configure time, compiled with the cross compiler into a static
# library. Only the library: none of Snappy's tests or benchmarks.
set(TW_SNAPPY_DIR ${CMAKE_BINARY_DIR}/snappy)
tw_fetch_source_package(snappy ${TW_SNAPPY_DIR})
set(TW_SNAPPY_SOURCE ${TW_SNAPPY_DIR}/source)

# The two headers Snappy's own build generates, with what is known of the
# one target (x86-64 Windows through GCC) in place of its probes. SSSE3 and
# BMI2 stay off: the baseline x86-64 processor has neither.
set(TW_SNAPPY_GENERATED ${TW_SNAPPY_DIR}/generated)
# Its variables stay inside the function.
function(tw_generate_snappy_headers)
  file(STRINGS ${TW_SNAPPY_SOURCE}/CMakeLists.txt TW_SNAPPY_PROJECT REGEX "^project\\(Snappy VERSION ")
  string(REGEX MATCH "([0-9]+)\\.([0-9]+)\\.([0-9]+)" TW_SNAPPY_VERSION "${TW_SNAPPY_PROJECT}")
  if(NOT TW_SNAPPY_VERSION)
    message(FATAL_ERROR "The snappy source package names no version in its CMakeLists.txt")
  endif()
  set(PROJECT_VERSION_MAJOR ${CMAKE_MATCH_1})
  set(PROJECT_VERSION_MINOR ${CMAKE_MATCH_2})
  set(PROJECT_VERSION_PATCH ${CMAKE_MATCH_3})
  set(HAVE_SYS_UIO_H_01 0)
  set(HAVE_ATTRIBUTE_ALWAYS_INLINE 1)
  set(HAVE_BUILTIN_CTZ 1)
  set(HAVE_BUILTIN_EXPECT 1)
  set(HAVE_WINDOWS_H 1)
  set(SNAPPY_HAVE_SSSE3 0)
  set(SNAPPY_HAVE_BMI2 0)
  configure_file(${TW_SNAPPY_SOURCE}/cmake/config.h.in ${TW_SNAPPY_GENERATED}/config.h)
  configure_file(${TW_SNAPPY_SOURCE}/snappy-stubs-public.h.in ${TW_SNAPPY_GENERATED}/snappy-stubs-public.h)
endfunction()
tw_generate_snappy_headers()

set(TW_SNAPPY_SOURCES
  ${TW_SNAPPY_SOURCE}/snappy.cc
  ${TW_SNAPPY_SOURCE}/snappy-sinksource.cc
  ${TW_SNAPPY_SOURCE}/snappy-stubs-internal.cc)
add_library(twsnappy STATIC ${TW_SNAPPY_SOURCES})
target_include_directories(twsnappy SYSTEM PUBLIC ${TW_SNAPPY_GENERATED} ${TW_SNAPPY_SOURCE})
target_compile_definitions(twsnappy PRIVATE HAVE_CONFIG_H)
set_source_files_properties(${TW_SNAPPY_SOURCES} PROPERTIES COMPILE_OPTIONS "-w;-O2")
