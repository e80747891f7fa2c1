# Tests of the shared foundations (console log, theme values).
zephlin_add_test(test_app_logger SOURCES security/TestAppLogger.cpp LIBS zephlin_security)
zephlin_add_test(test_theme SOURCES app/TestTheme.cpp LIBS zephlin_app Qt6::Gui)
add_test(NAME log_key_check COMMAND ${CMAKE_COMMAND} -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/TestLogKeyCheck.cmake)
