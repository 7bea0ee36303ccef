# The start screen and the about box, driven through the real widgets.
tavelo_add_qtest(entrada_screen_test entrada_screen_test.cpp)
# The resize rule on a screen 600 pixels high and on a 1024 x 768 one.
foreach(height 600 768)
  tavelo_add_qtest(entrada_resize_${height}_screen_test entrada_resize_screen_test.cpp)
  target_compile_definitions(entrada_resize_${height}_screen_test PRIVATE TAVELO_TEST_SCREEN_HEIGHT=${height})
endforeach()
# Every window fits a 1024 x 768 screen, no caption is cut, the tab order reads well.
tavelo_add_qtest(window_layout_screen_test window_layout_screen_test.cpp)
# Qt's own texts (question box, save and print dialogs) under a Portuguese desktop.
tavelo_add_qtest(qt_translations_screen_test qt_translations_screen_test.cpp)
# Every input control of every window has an accessible name.
tavelo_add_qtest(accessible_names_screen_test accessible_names_screen_test.cpp)
