target_sources(platform_tests PRIVATE
  platform/gdi/FontTest.cpp
  platform/gdi/TextTest.cpp
)
