# qav_program_path(VAR PATH): PATH as the built programs see it. Cross-built
# programs run under Wine, which shows the host's root as drive Z:; in a native
# Windows build a path is already the programs' own. An empty PATH stays empty.
function(qav_program_path var path)
  if(CMAKE_CROSSCOMPILING AND NOT path STREQUAL "")
    set(${var} "Z:${path}" PARENT_SCOPE)
  else()
    set(${var} "${path}" PARENT_SCOPE)
  endif()
endfunction()
