# Session-layer tests of the results: the summary table and charts, and the
# end of a simulation.
tavelo_add_gtest(results_session_tests
  summary_test.cpp
  end_session_test.cpp
  economics_test.cpp
)
