# Links system DLLs so that each one loads on the first call into it instead of at start: the
# launcher, which needs none of them, starts as fast as a program without them.
#
# mingw-w64: an import library made by dlltool -y from cmake/delayload/<dll>.def, which lists
# every function the program calls in that DLL. A function missing there would silently come
# from the ordinary import library and be loaded at start (the import-table test catches it).
# MSVC: the ordinary import library with /DELAYLOAD (untested here: MSVC cannot run here).
function(zn_delay_load target)
  foreach(dll IN LISTS ARGN)
    if(MSVC)
      target_link_libraries(${target} INTERFACE ${dll}.lib)
      target_link_options(${target} INTERFACE /DELAYLOAD:${dll}.dll)
    else()
      set(def "${PROJECT_SOURCE_DIR}/cmake/delayload/${dll}.def")
      set(lib "${CMAKE_BINARY_DIR}/delayload/lib${dll}_delay.a")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${def}")
      file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/delayload")
      execute_process(COMMAND "${CMAKE_DLLTOOL}" -d "${def}" -y "${lib}"
                      RESULT_VARIABLE result COMMAND_ERROR_IS_FATAL ANY)
      target_link_libraries(${target} INTERFACE "${lib}")
    endif()
  endforeach()
  if(MSVC)
    target_link_libraries(${target} INTERFACE delayimp.lib)
  endif()
endfunction()
