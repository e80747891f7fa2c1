zephlin_add_qml_test(test_qml_screens QML_FILES_DIR ${CMAKE_CURRENT_SOURCE_DIR}/screens
  LIBS zephlin_app zephlin_appplugin zephlin_chat zephlin_chatplugin zephlin_screens zephlin_screensplugin
       zephlin_images zephlin_imagesplugin zephlin_update zephlin_updateplugin zephlin_test_https zephlin_net_testservers
  PLUGINS Zephlin_AppPlugin Zephlin_ChatPlugin Zephlin_ScreensPlugin Zephlin_ImagesPlugin Zephlin_UpdatePlugin
  SETUP ScreenTestSetup)
# The set-up builds on the media set-up, whose classes need moc here too.
target_sources(test_qml_screens PRIVATE MediaTestSetup.h)
