# tavelo-cli under bad input, faults and interruptions.
tavelo_add_gtest(bad_input_tests bad_input_cli_test.cpp cli_test_support.h)
