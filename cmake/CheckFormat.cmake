# Fails when a C++ file under src/, tools/, tests/ or bench/ differs from what
# clang-format makes of it with the repository's .clang-format.
#
#   cmake -DROOT=<project dir> -DCLANG_FORMAT=<clang-format> -P CheckFormat.cmake
if(NOT CLANG_FORMAT)
    message(FATAL_ERROR "clang-format not found: scripts/install-deps.sh installs it")
endif()
set(_globs)
foreach(dir IN ITEMS src tools tests bench)
    list(APPEND _globs "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
endforeach()
file(GLOB_RECURSE _files ${_globs})
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${_files}
                WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
    message(FATAL_ERROR "files above are not formatted: clang-format -i them")
endif()
list(LENGTH _files _count)
message(STATUS "${_count} files formatted")
