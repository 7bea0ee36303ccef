# Session-layer tests of the application shell: numeric text, start-up
# decisions, and whole simulations through the scenario runner and tavelo-cli.
tavelo_add_gtest(app_session_tests
  app_session_test.cpp
  cli_test_support.h
  reference_runs_test.cpp
  cli_test.cpp
  output_files_test.cpp
)
