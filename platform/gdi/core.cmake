# Sources of this part of the platform layer.
target_sources(platform PRIVATE
  gdi/GuiApplication.cpp
)
