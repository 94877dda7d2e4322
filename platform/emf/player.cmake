# Sources of this part of the platform layer.
target_sources(platform PRIVATE
  emf/Player.cpp
  emf/StateRecords.cpp
  emf/ObjectRecords.cpp
  emf/DrawRecords.cpp
  emf/TextRecords.cpp
  emf/BitmapRecords.cpp
)
