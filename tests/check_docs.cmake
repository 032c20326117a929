# Checks that the documentation quotes the examples of examples/ exactly, so that what it shows is
# what the example tests run.
#
# docs/guide.md: the line before every opening ``` fence is one of
#   <!-- file: examples/NAME -->    the block is the whole file (an input, an expected output or
#                                   an expected standard error)
#   <!-- result: examples/NAME.out -->
#                                   the block is the result table of that expected output: the
#                                   file is NAME.txt, an empty line, then the block
#   <!-- command -->                the block is a shell command; not checked
# docs/relalgrun.1 and docs/relalgtrace.1: a comment line .\" file: PATH or .\" result: PATH
# before .EX marks the example block up to .EE in the same way, read with the escapes \(aq and \-
# undone.
# A quoted file may also be the expected standard output of a case, tests/cases/NAME/stdout, which
# is how the relalgtrace sessions are checked.
# Usage: cmake -DROOT=<repository root> -P check_docs.cmake
cmake_minimum_required(VERSION 3.25)

file(READ "${ROOT}/docs/guide.md" guide)
set(checked 0)
set(from 0)

function(fail message)
  message(SEND_ERROR "docs/${message}")
endfunction()

# Compares a quoted block with the file or the result part of the expected output at path.
function(check_quote document kind path body)
  if(NOT EXISTS "${ROOT}/${path}")
    fail("${document}: ${path} does not exist")
    return()
  endif()
  file(READ "${ROOT}/${path}" actual)
  if(kind STREQUAL "file")
    set(expected "${body}")
  else()
    string(REGEX REPLACE "\\.out$" ".txt" input_path "${path}")
    file(READ "${ROOT}/${input_path}" input)
    set(expected "${input}\n${body}")
  endif()
  if(NOT expected STREQUAL actual)
    fail("${document}: the block marked '${kind}: ${path}' differs from the file:\n${body}")
  endif()
endfunction()

while(TRUE)
  string(SUBSTRING "${guide}" ${from} -1 rest)
  string(FIND "${rest}" "\n```" fence)
  if(fence EQUAL -1)
    break()
  endif()
  math(EXPR fence "${from} + ${fence} + 1")

  # The marker: the line before the fence.
  string(SUBSTRING "${guide}" 0 ${fence} before)
  string(REGEX MATCH "([^\n]*)\n$" marker_line "${before}")
  set(marker "${CMAKE_MATCH_1}")

  # The block: from the line after the opening fence up to the closing fence.
  string(SUBSTRING "${guide}" ${fence} -1 rest)
  string(FIND "${rest}" "\n" eol)
  math(EXPR body_start "${fence} + ${eol} + 1")
  string(SUBSTRING "${guide}" ${body_start} -1 rest)
  if(rest MATCHES "^```")
    set(body_length 0)
  else()
    string(FIND "${rest}" "\n```" body_length)
    if(body_length EQUAL -1)
      fail("guide.md: a block is not closed after: ${marker}")
      break()
    endif()
    math(EXPR body_length "${body_length} + 1")
  endif()
  string(SUBSTRING "${rest}" 0 ${body_length} body)
  string(SUBSTRING "${rest}" ${body_length} -1 rest)
  string(FIND "${rest}" "\n" eol)
  math(EXPR from "${body_start} + ${body_length} + ${eol}")

  if(marker MATCHES "^<!-- (file|result): ((examples|tests/cases)/[^ ]+) -->$")
    check_quote(guide.md "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${body}")
    math(EXPR checked "${checked} + 1")
  elseif(NOT marker STREQUAL "<!-- command -->")
    fail("guide.md: a block follows neither a file, a result nor a command marker: '${marker}'")
  endif()
endwhile()

if(checked EQUAL 0)
  fail("guide.md: no quoted example found")
endif()
message(STATUS "docs/guide.md: ${checked} quoted example files checked")

foreach(manual_page relalgrun.1 relalgtrace.1)
  file(READ "${ROOT}/docs/${manual_page}" page)
  set(checked 0)
  while(page MATCHES "\n\\.\\\\\" (file|result): ((examples|tests/cases)/[^\n]+)\n")
    set(kind "${CMAKE_MATCH_1}")
    set(path "${CMAKE_MATCH_2}")
    string(FIND "${page}" "${CMAKE_MATCH_0}" at)
    string(LENGTH "${CMAKE_MATCH_0}" length)
    math(EXPR at "${at} + ${length}")
    string(SUBSTRING "${page}" ${at} -1 page)
    string(FIND "${page}" ".EX\n" begin)
    string(FIND "${page}" "\n.EE\n" end)
    if(NOT begin EQUAL 0 OR end EQUAL -1)
      fail("${manual_page}: no .EX block right after the marker for ${path}")
      break()
    endif()
    math(EXPR length "${end} - 3")
    string(SUBSTRING "${page}" 4 ${length} body)
    string(REPLACE "\\(aq" "'" body "${body}")
    string(REPLACE "\\-" "-" body "${body}")
    check_quote(${manual_page} "${kind}" "${path}" "${body}")
    math(EXPR checked "${checked} + 1")
  endwhile()
  if(checked EQUAL 0)
    fail("${manual_page}: no quoted example found")
  endif()
  message(STATUS "docs/${manual_page}: ${checked} quoted example files checked")
endforeach()
