# Sources of this part of the platform layer: bitmaps, DIBs, blits and gradients.
target_sources(platform PRIVATE
  gdi/Dib.cpp
  gdi/Rop3.cpp
  gdi/BitmapSelect.cpp
  gdi/Bitmaps.cpp
  gdi/Blit.cpp
  gdi/Gradient.cpp
)
