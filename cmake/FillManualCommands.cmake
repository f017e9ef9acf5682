# Puts the command list (COMMANDS, roff) in place of @TESSADORNCTL_COMMANDS@ in TEMPLATE and
# writes OUTPUT: the manual page lists the commands of the program's own table.
file(READ ${TEMPLATE} _page)
file(READ ${COMMANDS} _commands)
string(REPLACE "@TESSADORNCTL_COMMANDS@\n" "${_commands}" _page "${_page}")
file(WRITE ${OUTPUT} "${_page}")
