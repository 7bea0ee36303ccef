# A simulation on the stand screens driven through the windows.
tavelo_add_qtest(stand_flow_test stand_flow_test.cpp flow_test_support.h)
