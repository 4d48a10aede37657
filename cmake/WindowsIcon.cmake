# zema_windows_icon(ICO): the program icon res/zema-loader.svg as a Windows
# icon file ICO, rendered at build time in the sizes Windows picks from
# (title bar, taskbar, Start menu, Explorer). Needs rsvg-convert
# (librsvg2-bin) and ImageMagick's convert.
function(zema_windows_icon ico)
  find_program(ZEMA_RSVG_CONVERT rsvg-convert REQUIRED)
  find_program(ZEMA_IMAGEMAGICK_CONVERT convert REQUIRED)
  set(svg ${PROJECT_SOURCE_DIR}/res/zema-loader.svg)
  get_filename_component(name ${ico} NAME_WE)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${name}-sizes)
  set(pngs)
  set(commands)
  foreach(size 16 24 32 48 64 256)
    list(APPEND pngs ${folder}/${size}.png)
    list(APPEND commands COMMAND ${ZEMA_RSVG_CONVERT} -w ${size} -h ${size} -o ${folder}/${size}.png ${svg})
  endforeach()
  add_custom_command(OUTPUT ${ico}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    ${commands}
    COMMAND ${ZEMA_IMAGEMAGICK_CONVERT} ${pngs} ${ico}
    DEPENDS ${svg}
    VERBATIM)
endfunction()
