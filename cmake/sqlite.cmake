# SQLite, for the browsers' databases: built from the source of Debian's
# sqlite3 package (fetched into the build folder at configure time, never
# kept in the repository), as the amalgamation that its own makefile
# generates, compiled with the cross compiler into a static library.
set(TW_SQLITE_DIR ${CMAKE_BINARY_DIR}/sqlite)
tw_fetch_source_package(sqlite3 ${TW_SQLITE_DIR})

set(TW_SQLITE_AMALGAMATION ${TW_SQLITE_DIR}/amalgamation)
add_custom_command(
  OUTPUT ${TW_SQLITE_AMALGAMATION}/sqlite3.c ${TW_SQLITE_AMALGAMATION}/sqlite3.h
  COMMAND env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u CC -u CFLAGS
          sh -c "./configure >configure.log 2>&1 && make sqlite3.c >amalgamation.log 2>&1"
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TW_SQLITE_AMALGAMATION}
  COMMAND ${CMAKE_COMMAND} -E copy sqlite3.c sqlite3.h ${TW_SQLITE_AMALGAMATION}
  WORKING_DIRECTORY ${TW_SQLITE_DIR}/source
  COMMENT "Generating the SQLite amalgamation (needs tclsh)"
  VERBATIM)

add_library(twsqlite STATIC ${TW_SQLITE_AMALGAMATION}/sqlite3.c)
target_include_directories(twsqlite SYSTEM PUBLIC ${TW_SQLITE_AMALGAMATION})
# One thread per job, no extensions loaded from disk, no double-quoted
# string literals; deleted content is overwritten (the jobs erase private data).
target_compile_definitions(twsqlite PRIVATE
  SQLITE_THREADSAFE=0
  SQLITE_OMIT_LOAD_EXTENSION
  SQLITE_DQS=0
  SQLITE_DEFAULT_MEMSTATUS=0
  SQLITE_SECURE_DELETE
  SQLITE_OMIT_DEPRECATED)
set_source_files_properties(${TW_SQLITE_AMALGAMATION}/sqlite3.c PROPERTIES COMPILE_OPTIONS "-w;-O2")
