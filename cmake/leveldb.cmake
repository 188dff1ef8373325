# LevelDB, the stores of the browsers' site data: built from the source of
# Debian's leveldb package, fetched into the build folder at configure time,
# compiled with the cross compiler into a static library on its Windows
# environment (util/env_windows.cc), its tables compressed with Snappy.
# Only the library and its in-memory environment (what a preview writes
# goes there): none of LevelDB's tests, benchmarks or tools, nor its C
# interface.
set(TW_LEVELDB_DIR ${CMAKE_BINARY_DIR}/leveldb)
tw_fetch_source_package(leveldb ${TW_LEVELDB_DIR})
set(TW_LEVELDB_SOURCE ${TW_LEVELDB_DIR}/source)

# The header LevelDB's own build generates, with what is known of the one
# target in place of its probes: none of the POSIX calls, no CRC32C library,
# Snappy present.
set(TW_LEVELDB_GENERATED ${TW_LEVELDB_DIR}/generated)
function(tw_generate_leveldb_config)
  set(HAVE_FDATASYNC 0)
  set(HAVE_FULLFSYNC 0)
  set(HAVE_O_CLOEXEC 0)
  set(HAVE_CRC32C 0)
  set(HAVE_SNAPPY 1)
  configure_file(${TW_LEVELDB_SOURCE}/port/port_config.h.in ${TW_LEVELDB_GENERATED}/port/port_config.h)
endfunction()
tw_generate_leveldb_config()

set(TW_LEVELDB_SOURCES)
foreach(name
    db/builder db/db_impl db/db_iter db/dbformat db/dumpfile db/filename
    db/log_reader db/log_writer db/memtable db/repair db/table_cache
    db/version_edit db/version_set db/write_batch
    table/block_builder table/block table/filter_block table/format
    table/iterator table/merger table/table_builder table/table
    table/two_level_iterator
    util/arena util/bloom util/cache util/coding util/comparator util/crc32c
    util/env util/env_windows util/filter_policy util/hash util/logging
    util/options util/status
    helpers/memenv/memenv)
  list(APPEND TW_LEVELDB_SOURCES ${TW_LEVELDB_SOURCE}/${name}.cc)
endforeach()
add_library(twleveldb STATIC ${TW_LEVELDB_SOURCES})
target_include_directories(twleveldb SYSTEM PUBLIC ${TW_LEVELDB_SOURCE}/include ${TW_LEVELDB_SOURCE}/helpers)
target_include_directories(twleveldb PRIVATE ${TW_LEVELDB_GENERATED} ${TW_LEVELDB_SOURCE})
target_compile_definitions(twleveldb PRIVATE LEVELDB_PLATFORM_WINDOWS=1 LEVELDB_COMPILE_LIBRARY UNICODE _UNICODE)
target_link_libraries(twleveldb PUBLIC twsnappy)
set_source_files_properties(${TW_LEVELDB_SOURCES} PROPERTIES COMPILE_OPTIONS "-w;-O2")

# LevelDB's own file names, log records and number coding, for the engine
# that rewrites a store's manifest (LevelDB has no interface for that).
add_library(twleveldbinternals INTERFACE)
target_include_directories(twleveldbinternals SYSTEM INTERFACE ${TW_LEVELDB_GENERATED} ${TW_LEVELDB_SOURCE})
target_compile_definitions(twleveldbinternals INTERFACE LEVELDB_PLATFORM_WINDOWS=1)
target_link_libraries(twleveldbinternals INTERFACE twleveldb)
