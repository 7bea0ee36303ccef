# Session-layer tests of the stand screens: the stand table, the record, the
# log and the projection flow.
tavelo_add_gtest(structure_session_tests
  structure_test_support.h
  stand_table_test.cpp
  sim_record_test.cpp
  sim_log_test.cpp
  simulation_flow_test.cpp
  flow_object_test.cpp
)
