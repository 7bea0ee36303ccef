# Exports of tables and charts from the windows.
tavelo_add_qtest(export_test export_test.cpp ../structure/flow_test_support.h)
