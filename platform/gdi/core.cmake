# Sources of this part of the platform layer.
target_sources(platform PRIVATE
  gdi/GuiApplication.cpp
  gdi/Mapping.cpp
  gdi/ObjectTable.cpp
  gdi/DcTable.cpp
  gdi/DcAttributes.cpp
  gdi/DrawTools.cpp
  gdi/Objects.cpp
  gdi/Regions.cpp
  gdi/Paths.cpp
  gdi/Shapes.cpp
)
