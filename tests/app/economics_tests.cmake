# The valuation through tavelo-cli: run --economics, batch and compare.
tavelo_add_gtest(economics_cli_tests economics_cli_test.cpp cli_test_support.h)
