# Session-layer tests of the entry screens: options, stand data, density of a
# never-thinned or thinned stand, and the thinning dialogue.
tavelo_add_gtest(entry_session_tests
  entry_test_support.h
  options_test.cpp
  stand_data_test.cpp
  unthinned_density_test.cpp
  thinned_entry_test.cpp
  thinning_dialogue_test.cpp
)
