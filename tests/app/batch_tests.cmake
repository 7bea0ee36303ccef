# Batch runs over an inventory and the comparison of regimes.
add_executable(batch_tests batch_test.cpp cli_test_support.h)
target_include_directories(batch_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(batch_tests PRIVATE tavelo_screens GTest::gtest)
target_compile_definitions(batch_tests PRIVATE
  TAVELO_EXAMPLES_DIR="${TAVELO_EXAMPLES_DIR}"
  TAVELO_CLI_PATH="$<TARGET_FILE:tavelo-cli>")
add_dependencies(batch_tests tavelo-cli)
gtest_discover_tests(batch_tests DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
# Inventories and results in SQLite databases and GeoPackages.
tavelo_add_gtest(database_tests database_test.cpp cli_test_support.h)
