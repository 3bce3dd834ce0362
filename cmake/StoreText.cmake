# Turns a readable resource source into a list text: comment lines (starting
# with "#") dropped, every remaining line ended by CR LF.
file(STRINGS ${IN} lines ENCODING UTF-8)
set(text "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^#")
    string(APPEND text "${line}\r\n")
  endif()
endforeach()
file(WRITE ${OUT} "${text}")
