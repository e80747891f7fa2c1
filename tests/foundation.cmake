# Tests of the shared foundations (the console log).
zephlin_add_test(test_app_logger SOURCES security/TestAppLogger.cpp LIBS zephlin_security)
add_test(NAME log_key_check COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/TestLogKeyCheck.cmake)
