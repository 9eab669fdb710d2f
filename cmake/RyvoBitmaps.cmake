# Build-time pictures from the pixel-art sources, for the Windows build.
#
#   include(${PROJECT_SOURCE_DIR}/cmake/RyvoBitmaps.cmake)
#   ryvo_bitmap_pair(OUT_VAR SOURCE.txt NORMAL_ID PRESSED_ID [PRESSED_BITS])
#   ryvo_icon(OUT_VAR SOURCE.txt NAME)
#
# ryvo_bitmap_pair writes bitmaps/<NORMAL_ID>.bmp (the picture as drawn) and
# bitmaps/<PRESSED_ID>.bmp (its darker, sunken pressed look, with
# PRESSED_BITS bits per pixel, by default those of the source) under the
# current binary folder, and appends both paths to OUT_VAR. ryvo_icon writes
# bitmaps/<NAME>.ico. Make the .rc depend on the list (OBJECT_DEPENDS) and
# add ${CMAKE_CURRENT_BINARY_DIR} to its include folders; the script names
# the files as "bitmaps/<id>.bmp".
#
# bmpgen is a host program of the Release tree (build/release, made by
# "make release"), named by RYVO_HOST_BUILD:
# ${RYVO_HOST_BUILD}/scripts/bmpgen/bmpgen.

set(RYVO_BMPGEN "${RYVO_HOST_BUILD}/scripts/bmpgen/bmpgen")

function(_ryvo_check_bmpgen)
  if(NOT RYVO_HOST_BUILD)
    message(FATAL_ERROR "RYVO_HOST_BUILD is not set: build the Release tree first (make release) and pass -DRYVO_HOST_BUILD=<its folder>")
  endif()
endfunction()

function(ryvo_bitmap_pair out_var source normal_id pressed_id)
  _ryvo_check_bmpgen()
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/bitmaps")
  set(normal "${dir}/${normal_id}.bmp")
  set(pressed "${dir}/${pressed_id}.bmp")
  set(bits ${ARGN})
  add_custom_command(
    OUTPUT "${normal}" "${pressed}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
    COMMAND "${RYVO_BMPGEN}" normal "${source}" "${normal}"
    COMMAND "${RYVO_BMPGEN}" pressed "${source}" "${pressed}" ${bits}
    DEPENDS "${source}" "${RYVO_BMPGEN}"
    COMMENT "bmpgen ${normal_id}/${pressed_id}"
    VERBATIM)
  set(${out_var} ${${out_var}} "${normal}" "${pressed}" PARENT_SCOPE)
endfunction()

function(ryvo_icon out_var source name)
  _ryvo_check_bmpgen()
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/bitmaps")
  set(icon "${dir}/${name}.ico")
  add_custom_command(
    OUTPUT "${icon}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
    COMMAND "${RYVO_BMPGEN}" icon "${source}" "${icon}"
    DEPENDS "${source}" "${RYVO_BMPGEN}"
    COMMENT "bmpgen ${name}.ico"
    VERBATIM)
  set(${out_var} ${${out_var}} "${icon}" PARENT_SCOPE)
endfunction()
