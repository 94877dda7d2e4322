# Sources of the drawing surfaces: raster, PDF and recording.
target_sources(platform PRIVATE
  gdi/RasterOps.cpp
  gdi/SurfacePainting.cpp
  gdi/RasterSurface.cpp
  gdi/RecordingSurface.cpp
  gdi/PdfSurface.cpp
)
