zephlin_add_qml_test(test_qml_images QML_FILES_DIR ${CMAKE_CURRENT_SOURCE_DIR}/images
  LIBS zephlin_app zephlin_appplugin zephlin_images zephlin_imagesplugin zephlin_update zephlin_test_https
  PLUGINS Zephlin_AppPlugin Zephlin_ImagesPlugin
  SETUP MediaTestSetup)
