# The forest plan: its programme against brute force, and tavelo-cli plan.
tavelo_add_gtest(plan_tests
  forest_plan_test.cpp
  plan_cli_test.cpp
  cli_test_support.h
)
