# A simulation on the stand screens driven through the windows.
tavelo_add_qtest(stand_flow_test stand_flow_test.cpp flow_test_support.h)
# Roads through the windows where one window's entries must not reach the next.
tavelo_add_qtest(simulation_road_test simulation_road_test.cpp flow_test_support.h)
# Random roads through the windows, each also played on the flow object alone.
tavelo_add_qtest(random_roads_test random_roads_test.cpp flow_test_support.h)
