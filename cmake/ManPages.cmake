# zlt_man_page(TOOL SUMMARY): the tool's manual page, made from its --help
# after every build of the tool (cmake/ManPage.cmake) and installed with it.
# A cross build cannot run its tools, so it has no pages.
function(zlt_man_page tool summary)
  if(CMAKE_CROSSCOMPILING)
    return()
  endif()
  set(page ${PROJECT_BINARY_DIR}/man/${tool}.1)
  add_custom_command(TARGET ${tool} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:${tool}> -DNAME=${tool} "-DSUMMARY=${summary}"
            -DVERSION=${PROJECT_VERSION} -DOUT=${page} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    VERBATIM)
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
