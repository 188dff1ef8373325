# tw_fetch_source_package(PACKAGE DIR): Debian's source package PACKAGE in
# DIR/source, fetched at configure time by scripts/fetch-source-package.sh
# when the build folder has no copy yet. Third-party code is never kept in
# the repository.
function(tw_fetch_source_package package dir)
  if(EXISTS ${dir}/source/debian/control)
    return()
  endif()
  execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-source-package.sh ${package} ${dir}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "The ${package} source package could not be fetched (scripts/fetch-source-package.sh)")
  endif()
endfunction()
