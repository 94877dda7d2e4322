target_sources(platform_tests PRIVATE
  platform/gdi/MappingTest.cpp
  platform/gdi/SaveRestoreTest.cpp
  platform/gdi/ObjectTest.cpp
)
