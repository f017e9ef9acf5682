# Puts the command list (COMMANDS, roff) in place of @TESSADORNCTL_COMMANDS@ and the options
# (OPTIONS, roff) in place of @TESSADORNCTL_OPTIONS@ in TEMPLATE and writes OUTPUT: the manual
# page lists the commands and options of the program's own tables.
file(READ ${TEMPLATE} _page)
file(READ ${COMMANDS} _commands)
file(READ ${OPTIONS} _options)
string(REPLACE "@TESSADORNCTL_COMMANDS@\n" "${_commands}" _page "${_page}")
string(REPLACE "@TESSADORNCTL_OPTIONS@\n" "${_options}" _page "${_page}")
file(WRITE ${OUTPUT} "${_page}")
