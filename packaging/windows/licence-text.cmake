# zema_licence_text(COPYRIGHT OUTPUT HOLDER_VAR): the licence of the Debian
# copyright file (packaging/copyright) as a plain text for Windows users:
# the copyright line, then the licence's text, with CR LF line ends. Made
# when the build is configured, and again whenever the copyright file
# changes. HOLDER_VAR gets the Copyright field ("2026 The ... developers").
function(zema_licence_text copyright_file output holder_var)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${copyright_file})
  file(READ ${copyright_file} copyright)
  if(NOT copyright MATCHES "\nCopyright: ([^\n]*)\n")
    message(FATAL_ERROR "${copyright_file}: no Copyright field")
  endif()
  set(holder "${CMAKE_MATCH_1}")
  set(${holder_var} "${holder}" PARENT_SCOPE)
  # The licence's text is the License field's continuation lines: each
  # starts with a space, and a lone "." stands for an empty line.
  if(NOT copyright MATCHES "\nLicense: [^\n]*\n(( [^\n]*\n)+)")
    message(FATAL_ERROR "${copyright_file}: no License text")
  endif()
  string(REPLACE "\n " "\n" text "\n${CMAKE_MATCH_1}")
  # Twice: a replacement takes the line end that the next "." line needs.
  foreach(pass 1 2)
    string(REPLACE "\n.\n" "\n\n" text "${text}")
  endforeach()
  string(SUBSTRING "${text}" 1 -1 text)
  string(REPLACE "\n" "\r\n" text "ZEMA Data Loader\n\nCopyright ${holder}\n\n${text}")
  # Rewritten only when it changed, so that a new configure run does not
  # make the release anew.
  file(WRITE ${output}.new "${text}")
  file(COPY_FILE ${output}.new ${output} ONLY_IF_DIFFERENT)
  file(REMOVE ${output}.new)
endfunction()
