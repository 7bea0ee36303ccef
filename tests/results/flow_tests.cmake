# The end of a simulation and its results, driven through the windows.
tavelo_add_qtest(results_flow_test results_flow_test.cpp ../structure/flow_test_support.h)
