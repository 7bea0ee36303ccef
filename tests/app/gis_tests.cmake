# Inventories in GIS formats read through GDAL, and the results as a map layer.
tavelo_add_gtest(gis_tests gis_inventory_test.cpp cli_test_support.h)
# The inventory window driven as a user, on a GeoPackage made with ogr2ogr.
tavelo_add_qtest(inventory_screen_test inventory_screen_test.cpp)
target_compile_definitions(inventory_screen_test PRIVATE TAVELO_CLI_PATH="$<TARGET_FILE:tavelo-cli>")
target_link_libraries(inventory_screen_test PRIVATE tavelo_session)
add_dependencies(inventory_screen_test tavelo-cli)
