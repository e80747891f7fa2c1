# Tests of the app shell that need the whole client: the real server process and the QML screens.
# The real zephlin-server on a loopback port; also used by the start-up benchmark.
add_library(zephlin_server_process STATIC e2e/ServerProcess.cpp e2e/TestDatabase.cpp)
target_include_directories(zephlin_server_process PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/e2e)
target_compile_definitions(zephlin_server_process PRIVATE ZEPHLIN_SERVER_BINARY="$<TARGET_FILE:zephlin-server>")
target_link_libraries(zephlin_server_process PUBLIC zephlin_platform Qt6::Core Qt6::Network Qt6::Sql)
add_dependencies(zephlin_server_process zephlin-server)

zephlin_add_test(test_e2e_app SOURCES e2e/AppEndToEndTest.cpp TIMEOUT 180
  LIBS zephlin_server_process zephlin_app zephlin_appplugin zephlin_chat zephlin_chatplugin
       zephlin_screens zephlin_screensplugin zephlin_images zephlin_imagesplugin zephlin_update zephlin_updateplugin)

zephlin_add_test(test_e2e_contacts SOURCES e2e/ContactsEndToEndTest.cpp TIMEOUT 300
  LIBS zephlin_server_process zephlin_app zephlin_appplugin zephlin_chat zephlin_chatplugin
       zephlin_screens zephlin_screensplugin zephlin_images zephlin_imagesplugin zephlin_update zephlin_updateplugin)

zephlin_add_test(test_e2e_accessibility SOURCES e2e/AccessibilityEndToEndTest.cpp TIMEOUT 420
  LIBS zephlin_server_process zephlin_app zephlin_appplugin zephlin_chat zephlin_chatplugin
       zephlin_screens zephlin_screensplugin zephlin_images zephlin_imagesplugin zephlin_update zephlin_updateplugin)
# The app as screen readers meet it over AT-SPI: a virtual display, a private session bus with the
# accessibility bus, the real client and server (Xvfb, at-spi2-core and python3-pyatspi from scripts/setup).
add_test(NAME test_e2e_accessibility_atspi
  COMMAND dbus-run-session -- /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/e2e/accessibility_atspi.py
          --client $<TARGET_FILE:zephlin> --server $<TARGET_FILE:zephlin-server>)
set_tests_properties(test_e2e_accessibility_atspi PROPERTIES TIMEOUT 180)
