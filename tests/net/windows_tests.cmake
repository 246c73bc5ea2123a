# Windows tests. ctest runs each under Wine in a lab of its own
# (tests/windows/wine_lab.sh, the build's crosscompiling emulator); the
# listener's and the address list's tests need what it sets up there
# (tests/net/wine_lab_windows.h).
quorvel_add_qtest(tst_udp_socket_windows SOURCES tst_udp_socket_windows.cpp LIBS discovery LABELS core)
quorvel_add_qtest(tst_listener_windows SOURCES tst_listener_windows.cpp LIBS discovery reply_builder test_support LABELS core net)
quorvel_add_qtest(tst_local_addresses_windows SOURCES tst_local_addresses_windows.cpp LIBS discovery LABELS core net)
quorvel_add_qtest(tst_scan_windows SOURCES tst_scan_windows.cpp LIBS discovery LABELS core net)
quorvel_add_qtest(tst_local_address_watch_windows SOURCES tst_local_address_watch_windows.cpp LIBS discovery LABELS core net)
