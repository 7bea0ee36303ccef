# The model options and stand entry windows, driven through the real widgets.
tavelo_add_qtest(options_screen_test options_screen_test.cpp)
tavelo_add_qtest(stand_data_screen_test stand_data_screen_test.cpp)
tavelo_add_qtest(unthinned_screen_test unthinned_screen_test.cpp)
tavelo_add_qtest(thinned_screen_test thinned_screen_test.cpp)
