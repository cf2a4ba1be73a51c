add_library(ondivar_rigolwin STATIC
  ${CMAKE_CURRENT_LIST_DIR}/fenetrerigol.cpp ${CMAKE_CURRENT_LIST_DIR}/fenetrerigol.h)
target_link_libraries(ondivar_rigolwin PUBLIC ondivar_drivers ondivar_export ondivar_shellcore Qt6::Widgets)
