# The valuation through tavelo-cli: run --economics, batch and compare.
tavelo_add_gtest(economics_cli_tests economics_cli_test.cpp cli_test_support.h)
# The carbon account through tavelo-cli: run --carbon, batch, compare and optimize.
tavelo_add_gtest(carbon_cli_tests carbon_cli_test.cpp cli_test_support.h)
