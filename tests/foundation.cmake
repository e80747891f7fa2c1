# Tests of the shared foundations (console log, server address, theme values).
zephlin_add_test(test_app_logger SOURCES security/TestAppLogger.cpp LIBS zephlin_security)
zephlin_add_test(test_server_config SOURCES net/TestServerConfig.cpp LIBS zephlin_net)
zephlin_add_test(test_theme SOURCES app/TestTheme.cpp LIBS zephlin_app Qt6::Gui)
add_test(NAME log_key_check COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/TestLogKeyCheck.cmake)
