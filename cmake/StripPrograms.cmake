# Run by CPack before it packs (CPACK_PRE_BUILD_SCRIPTS): strips the programs
# in the staging folder as Debian's dh_strip does, symbols and the .comment
# and .note sections that nothing needs at run time.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT programs)
    message(FATAL_ERROR "no programs to strip in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
foreach(program IN LISTS programs)
    execute_process(COMMAND "${CPACK_PANDICUBE_STRIP}" --remove-section=.comment --remove-section=.note
                            --strip-unneeded "${program}"
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
