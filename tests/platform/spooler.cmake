# Spooler units that need no server run with the platform tests.
target_sources(platform_tests PRIVATE
  platform/spooler/QueueNamesTest.cpp
  platform/spooler/PaperSizesTest.cpp
  platform/spooler/PrinterDescriptionTest.cpp
  platform/spooler/SpoolerErrorsTest.cpp
  platform/spooler/InfoBufferTest.cpp
)
find_package(Cups REQUIRED)
target_link_libraries(platform_tests PRIVATE Cups::Cups)

# Helpers for tests that print into the private cupsd.
add_library(fb_cups_sandbox STATIC platform/spooler/SandboxPrinters.cpp)
target_link_libraries(fb_cups_sandbox PUBLIC fb_test_support platform Cups::Cups)
target_include_directories(fb_cups_sandbox PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(fb_cups_sandbox PRIVATE
  FB_TEST_PPD="${CMAKE_SOURCE_DIR}/scripts/cups/pdffolder.ppd")
fb_warnings(fb_cups_sandbox)

add_executable(spooler_tests
  platform/spooler/PrintersTest.cpp
  platform/spooler/PrinterDCTest.cpp
  platform/spooler/JobsTest.cpp
)
target_link_libraries(spooler_tests PRIVATE fb_cups_sandbox fb_test_support GTest::gtest GTest::gtest_main)
fb_warnings(spooler_tests)
gtest_discover_tests(spooler_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED cups RESOURCE_LOCK fb_cups_queues)

# The printer exports' tests need the sandbox helpers above.
include(${CMAKE_CURRENT_LIST_DIR}/../viewxqp/printing.cmake)
