target_sources(platform_tests PRIVATE
  platform/gdi/DibTest.cpp
  platform/gdi/Rop3Test.cpp
  platform/gdi/BlitTest.cpp
)
