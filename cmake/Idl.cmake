# Runs widl over the IDL: the C++ interface header and the GUID definitions for every build, and,
# for Windows, the type library that the DLL carries as resource TYPELIB 1. widl stamps the library
# with the time it ran; typelib_time.py sets that to a fixed time, so the same IDL gives the same
# library (and a reproducible DLL).
set(KESTRUNE_WINE_IDL_DIR /usr/include/wine/wine/windows CACHE PATH "Wine's IDL files (libwine-dev)")

function(kestrune_widl target idl)
  set(out ${CMAKE_BINARY_DIR}/generated)
  file(MAKE_DIRECTORY ${out})
  if(KESTRUNE_WINDOWS)
    set(widl ${KESTRUNE_MINGW_TRIPLE}-widl)
    set(arch ${KESTRUNE_WIDL_ARCH})
    set(libdir ${KESTRUNE_WINE_LIBDIR})
  else()
    set(widl x86_64-w64-mingw32-widl)
    set(arch --win64)
    set(libdir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  endif()
  set(outputs ${out}/kestrune_idl.h ${out}/kestrune_idl_i.c)
  set(args ${arch} -I${KESTRUNE_WINE_IDL_DIR} -L${libdir} -h -H ${out}/kestrune_idl.h -u -U ${out}/kestrune_idl_i.c)
  set(fix_time)
  if(KESTRUNE_WINDOWS)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    list(APPEND outputs ${out}/kestrune.tlb)
    list(APPEND args -t -T ${out}/kestrune.tlb)
    set(fix_time COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/typelib_time.py ${out}/kestrune.tlb)
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${widl} ${args} ${idl}
    ${fix_time}
    DEPENDS ${idl} ${PROJECT_SOURCE_DIR}/cmake/typelib_time.py
    COMMENT "widl ${idl}"
    VERBATIM)
  add_library(${target} STATIC ${out}/kestrune_idl_i.c ${out}/kestrune_idl.h)
  if(NOT KESTRUNE_WINDOWS)
    set_source_files_properties(${out}/kestrune_idl_i.c PROPERTIES LANGUAGE CXX)
  endif()
  target_include_directories(${target} PUBLIC ${out})
  target_link_libraries(${target} PUBLIC kestrune_platform)
  set(KESTRUNE_GENERATED_DIR ${out} PARENT_SCOPE)
endfunction()
