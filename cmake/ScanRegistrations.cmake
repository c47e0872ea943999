# Lists the module halves that the module sources register, for tests of a library that
# has no catalog of its own (the Windows DLL exports only its factory).
#
#   cmake -DOUTPUT=<file.inc> -DSOURCES=<a.cpp|b.cpp|...> -P ScanRegistrations.cmake
#
# Every registerAudioModule(u"...", ...) / registerGuiModule(u"...", ...) call becomes one line
#   {u"identifier", Half::Audio},   or   {u"identifier", Half::Gui},
# The output is rewritten only when it changes, so unrelated edits rebuild nothing.
string(REPLACE "|" ";" SOURCES "${SOURCES}")
set(lines "")
foreach(source IN LISTS SOURCES)
  file(READ "${source}" content)
  string(REGEX MATCHALL "register(Audio|Gui)Module[ \t\r\n]*\\([ \t\r\n]*u\"[^\"]*\"" calls
                        "${content}")
  foreach(call IN LISTS calls)
    string(REGEX REPLACE "^register(Audio|Gui)Module[ \t\r\n]*\\([ \t\r\n]*u\"([^\"]*)\"$"
                         "{u\"\\2\", Half::\\1}," line "${call}")
    get_filename_component(name "${source}" NAME)
    string(APPEND lines "    ${line} // ${name}\n")
  endforeach()
endforeach()
set(text "// Generated from the module sources; do not edit.\n${lines}")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
