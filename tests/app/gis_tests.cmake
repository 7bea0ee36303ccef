# Inventories in GIS formats read through GDAL, and the results as a map layer.
tavelo_add_gtest(gis_tests gis_inventory_test.cpp cli_test_support.h)
