# Renders the manual page as plain UTF-8 text with CR LF line ends, for
# Notepad: cmake -DGROFF=... -DPAGE=... -DTEXT=... -P render_manual.cmake
# (grotty's -cbou: no escape sequences and no overstriking for bold,
# underline or anything else).
execute_process(COMMAND ${GROFF} -man -Tutf8 -P-cbou ${PAGE}
  OUTPUT_VARIABLE text COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TEXT} "${text}")
