target_sources(platform_tests PRIVATE
  platform/gdi/RecordingSurfaceTest.cpp
  platform/gdi/RasterSurfaceTest.cpp
  platform/gdi/PdfSurfaceTest.cpp
)
