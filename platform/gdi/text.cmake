# Sources of this part of the platform layer.
target_sources(platform PRIVATE
  gdi/Font.cpp
  gdi/FontSubstitutes.cpp
  gdi/TextLayout.cpp
  gdi/Text.cpp
  gdi/TextMetrics.cpp
)
