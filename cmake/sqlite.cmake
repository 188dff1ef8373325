# SQLite, the one database library: built from the source of Debian's
# sqlite3 package (fetched into the build folder at configure time, never
# kept in the repository), as the amalgamation that its own makefile
# generates, compiled with the cross compiler into a static library.
set(TW_SQLITE_DIR ${CMAKE_BINARY_DIR}/sqlite)
if(NOT EXISTS ${TW_SQLITE_DIR}/source/configure)
  execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-sqlite.sh ${TW_SQLITE_DIR}
                  RESULT_VARIABLE TW_SQLITE_FETCH_RESULT)
  if(NOT TW_SQLITE_FETCH_RESULT EQUAL 0)
    message(FATAL_ERROR "The sqlite3 source package could not be fetched (scripts/fetch-sqlite.sh)")
  endif()
endif()

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
