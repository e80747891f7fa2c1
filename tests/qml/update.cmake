zephlin_add_qml_test(test_qml_update QML_FILES_DIR ${CMAKE_CURRENT_SOURCE_DIR}/update
  LIBS zephlin_app zephlin_appplugin zephlin_images zephlin_update zephlin_updateplugin zephlin_test_https
  PLUGINS Zephlin_AppPlugin Zephlin_UpdatePlugin
  SETUP MediaTestSetup)
