# quarvel_windows_dep(<what> <out_dir_var> <what it is made from>)
# The step every library the Windows build makes from Debian's source packages shares: runs
# scripts/windows-deps <what> into <build>/deps/<what> when its versions.txt is missing (the result of an
# earlier configure is kept), stops the configure when it fails, and says which versions are in use.
include_guard(GLOBAL)
function(quarvel_windows_dep what out_dir_var source)
  set(_dir ${PROJECT_BINARY_DIR}/deps/${what})
  if(NOT EXISTS ${_dir}/versions.txt)
    message(STATUS "Building ${what} from Debian's ${source} source packages (once)")
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows-deps ${what} ${_dir} RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "scripts/windows-deps ${what} failed (${_rc}); its logs are in ${_dir}/logs")
    endif()
  endif()
  file(STRINGS ${_dir}/versions.txt _versions LIMIT_COUNT 1)
  message(STATUS "Windows ${what}: ${_versions}")
  set(${out_dir_var} ${_dir} PARENT_SCOPE)
endfunction()
