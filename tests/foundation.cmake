# Tests of the shared foundations (console log, server address).
zephlin_add_test(test_app_logger SOURCES security/TestAppLogger.cpp LIBS zephlin_security)
zephlin_add_test(test_server_config SOURCES net/TestServerConfig.cpp LIBS zephlin_net)
add_test(NAME log_key_check COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/TestLogKeyCheck.cmake)
