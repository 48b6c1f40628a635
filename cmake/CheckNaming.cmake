# Fails when a member of a class in src/ or tools/ breaks the naming rule of
# .clang-tidy (readability-identifier-naming). Members are declared in the
# headers, so the headers are checked, two at a time, with the compile
# commands of BUILD_DIR.
#
#   cmake -DROOT=. -DBUILD_DIR=build/dev -DCLANG_TIDY=clang-tidy -P CheckNaming.cmake
if(NOT CLANG_TIDY)
    message(FATAL_ERROR "clang-tidy is missing (scripts/install-deps.sh installs it)")
endif()
file(GLOB_RECURSE _headers "${ROOT}/src/*.h" "${ROOT}/tools/*.h")
list(JOIN _headers "\n" _list)
file(WRITE "${BUILD_DIR}/naming-headers.txt" "${_list}\n")
execute_process(
    COMMAND xargs -P 2 -n 16 ${CLANG_TIDY} -p ${BUILD_DIR} --quiet
    INPUT_FILE "${BUILD_DIR}/naming-headers.txt"
    WORKING_DIRECTORY "${ROOT}"
    RESULT_VARIABLE _rc
    OUTPUT_VARIABLE _out
    ERROR_VARIABLE _err)
string(REGEX MATCHALL "[^\n]*error: [^\n]*" _errors "${_out}\n${_err}")
list(REMOVE_DUPLICATES _errors)
foreach(line IN LISTS _errors)
    message(SEND_ERROR "${line}")
endforeach()
if(NOT _rc EQUAL 0 OR _errors)
    message(FATAL_ERROR "member names against .clang-tidy (exit ${_rc})")
endif()
list(LENGTH _headers _count)
message(STATUS "${_count} headers follow the naming rule")
