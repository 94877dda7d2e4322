target_sources(viewxqp_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PageGeometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PagePlayer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PageRendering.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExportConversions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RenderingExports.cpp
)
