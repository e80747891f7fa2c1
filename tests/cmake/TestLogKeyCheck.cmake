# Configure-time check of the log key: run as `cmake -P` by CTest. Each case runs the check in a
# fresh CMake process and looks for the warning on its error output.
set(check "${CMAKE_CURRENT_LIST_DIR}/../../cmake/LogKeyCheck.cmake")
set(work "${CMAKE_CURRENT_BINARY_DIR}/log-key-check")
file(MAKE_DIRECTORY "${work}")
include("${check}")
file(COPY_FILE "${ZEPHLIN_DEV_LOG_KEY}.pub.pem" "${work}/renamed-copy.pem")
file(WRITE "${work}/own.pem" "-----BEGIN PUBLIC KEY-----\nnot the development key\n-----END PUBLIC KEY-----\n")

# build type | key | whether the warning is expected
set(cases
  "Release|${ZEPHLIN_DEV_LOG_KEY}.pub.pem|1"
  "MinSizeRel|${work}/renamed-copy.pem|1"
  "RelWithDebInfo|${ZEPHLIN_DEV_LOG_KEY}.pub.pem|0"
  "Release|${work}/own.pem|0")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 build_type)
  list(GET fields 1 key)
  list(GET fields 2 expected)
  file(WRITE "${work}/run.cmake" "include(\"${check}\")\nzephlin_check_log_key(\"${build_type}\" \"${key}\")\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -P "${work}/run.cmake" ERROR_VARIABLE output RESULT_VARIABLE result)
  string(FIND "${output}" "ZEPHLIN_LOG_PUBLIC_KEY" found)
  if(NOT result EQUAL 0 OR (expected AND found EQUAL -1) OR (NOT expected AND NOT found EQUAL -1))
    message(FATAL_ERROR "${build_type} with ${key}: expected warning=${expected}, got:\n${output}")
  endif()
endforeach()
