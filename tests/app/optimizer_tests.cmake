# The search for the best regime of a stand: the session code and tavelo-cli optimize.
tavelo_add_gtest(optimizer_tests
  optimizer_test.cpp
  optimizer_cli_test.cpp
  cli_test_support.h
)
