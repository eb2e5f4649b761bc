# The Expat seam's tests link the common services' objects as well (object
# libraries pass on their include directories, not their objects).
file(GLOB ti_itl_expat_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/itl_expat/*_test.cpp)
foreach(src ${ti_itl_expat_tests})
  get_filename_component(name ${src} NAME_WE)
  if(TARGET itl_expat_${name} AND TARGET itl_common_obj)
    target_link_libraries(itl_expat_${name} PRIVATE itl_common_obj)
  endif()
endforeach()
