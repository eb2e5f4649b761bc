# The document layer's tests link the object libraries of the folders
# below it as well (object libraries pass on their include directories, not
# their objects).
file(GLOB ti_itl_dl_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/itl_dl/*_test.cpp)
foreach(src ${ti_itl_dl_tests})
  get_filename_component(name ${src} NAME_WE)
  if(TARGET itl_dl_${name})
    foreach(lower itl_tl_obj itl_expat_obj itl_common_obj)
      if(TARGET ${lower})
        target_link_libraries(itl_dl_${name} PRIVATE ${lower})
      endif()
    endforeach()
  endif()
endforeach()
