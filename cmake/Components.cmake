# Sources are globbed so that each component's owner adds files without touching shared build files.
function(kelmo_glob out)
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${_files} PARENT_SCOPE)
endfunction()
