# Runs before CPack packs the installed tree: strips the programs and pmvctl's page module as
# Debian's dh_strip does, including the compiler's .comment and .note sections that a plain strip
# keeps.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*"
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/lib/*/pmv77xx/*.so" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/lib/pmv77xx/*.so")
foreach(program ${programs})
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note --strip-unneeded ${program}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip failed on ${program}")
  endif()
endforeach()
