# The valuation window, driven through the windows.
tavelo_add_qtest(economics_screen_test economics_screen_test.cpp ../structure/flow_test_support.h)
