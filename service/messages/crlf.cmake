# Copies the message source IN to OUT with CR LF line ends: the message compiler keeps a source
# file's line ends in the texts, and every message text ends with CR LF.
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
