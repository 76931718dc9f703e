# Shared helpers for the project's targets.

# nevo_strict(target): our warning set.
function(nevo_strict target)
  target_compile_options(${target} PRIVATE ${NEVO_WARNINGS})
endfunction()

# Links the device libraries (liblog on Android) or their host stand-ins.
function(nevo_link_platform target)
  if(ANDROID)
    target_link_libraries(${target} PUBLIC log)
  else()
    target_link_libraries(${target} PUBLIC nevo_platform)
  endif()
endfunction()
