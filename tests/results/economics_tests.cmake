# The valuation window, driven through the windows.
tavelo_add_qtest(economics_screen_test economics_screen_test.cpp ../structure/flow_test_support.h)
# The search for the best regime, opened from the valuation window.
tavelo_add_qtest(best_regime_screen_test best_regime_screen_test.cpp ../structure/flow_test_support.h)
# The carbon account, worked out by hand on the reference run.
tavelo_add_gtest(carbon_tests carbon_test.cpp)
# The carbon window, driven through the windows.
tavelo_add_qtest(carbon_screen_test carbon_screen_test.cpp ../structure/flow_test_support.h)
