# The printer exports: SetNewDC and friends on recording contexts, and the
# printer, reprint and job exports against the private cupsd.
if(TARGET printing_tests)
  return()
endif()
add_executable(printing_tests ${CMAKE_CURRENT_LIST_DIR}/PrinterExportsTest.cpp)
target_link_libraries(printing_tests PRIVATE viewxqp_core fb_cups_sandbox fb_test_support GTest::gtest
                                             GTest::gtest_main)
fb_warnings(printing_tests)
gtest_discover_tests(printing_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED cups RESOURCE_LOCK fb_cups_queues)
