# Writes a tool's manual page from its --help, so that the page never
# disagrees with the tool. Run as a script:
#   cmake -DTOOL=path -DNAME=zlt900-link -DSUMMARY="..." -DVERSION=x -DOUT=file -P ManPage.cmake
#
# --help has this shape: "Usage: NAME ARGS" (more usage lines indented to
# line up), a description up to the first blank line, then paragraphs that
# are either option lists ("  -x, --long=ARG  text", continued by deeper
# indented lines) or plain text.
execute_process(COMMAND "${TOOL}" --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed")
endif()

function(roff_escape in out)
  string(REPLACE "\\" "\\e" s "${in}")
  string(REPLACE "-" "\\-" s "${s}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" s "${s}")
  set(${out} "${s}" PARENT_SCOPE)
endfunction()

string(REPLACE ";" "\\;" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
string(TOUPPER "${NAME}" upper)
set(page ".TH ${upper} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n.SH SYNOPSIS\n")
set(part synopsis)   # synopsis, description, body
set(first_usage TRUE)
foreach(line IN LISTS lines)
  if(part STREQUAL "synopsis")
    if(line MATCHES "^(Usage:)? +${NAME}( (.*))?$")
      set(args "${CMAKE_MATCH_3}")
      roff_escape("${args}" args)
      if(NOT first_usage)
        string(APPEND page ".br\n")
      endif()
      string(APPEND page ".B ${NAME}\n${args}\n")
      set(first_usage FALSE)
      continue()
    endif()
    set(part description)
    string(APPEND page ".SH DESCRIPTION\n")
  endif()
  if(line STREQUAL "")
    string(APPEND page ".PP\n")
  elseif(line MATCHES "^  ? ? ? ? ?(-([^ ]| [^ ])*)(  +(.*))?$")
    # An option, and the start of its text unless that is on the next line.
    set(opt "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_4}")
    roff_escape("${opt}" opt)
    roff_escape("${text}" text)
    string(APPEND page ".TP\n.B ${opt}\n")
    if(NOT text STREQUAL "")
      string(APPEND page "${text}\n")
    endif()
  else()
    string(STRIP "${line}" text)
    roff_escape("${text}" text)
    string(APPEND page "${text}\n")
  endif()
endforeach()
string(REGEX REPLACE "(\\.PP\n)+$" "" page "${page}")
string(REGEX REPLACE "(\\.PP\n)+" ".PP\n" page "${page}")
file(WRITE "${OUT}" "${page}")
