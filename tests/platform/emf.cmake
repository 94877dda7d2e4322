target_sources(platform_tests PRIVATE
  platform/emf/EmfPlayerTest.cpp
)
