# The thinning dialogue driven through the windows, within a simulation.
tavelo_add_qtest(thinning_flow_test thinning_flow_test.cpp ../structure/flow_test_support.h)
