# Run by CPack on the staged files before it builds the package: strips the
# programs as Debian's own packaging tools do, which also drops the compiler's
# .comment and .note sections that a plain strip keeps.
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
foreach(program IN LISTS programs)
  execute_process(
    COMMAND "${CPACK_ZEMA_STRIP_COMMAND}" --remove-section=.comment --remove-section=.note
            "${program}"
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
