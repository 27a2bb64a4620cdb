# Runs one end-to-end case in a scratch folder and compares what it printed and wrote.
#
# A case folder holds the input files (copied into the scratch folder) and:
#   args             one argument a line (optional)
#   stdin            standard input (optional; else empty)
#   stdout-to        a path that standard output goes to instead, e.g. /dev/full (optional)
#   dirs             folders to make in the scratch folder, one a line (optional)
#   links            symlinks to make, "name target" a line (optional)
#   expected.status  the exit status
#   expected.stdout  the whole console transcript (unless stdout-to is given)
#   expected.<file>  the whole content of every file the run must write
#   absent           files the run must not leave, one a line (optional)
#   NOTE             what the case guards
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})

set(control args stdin stdout-to dirs links absent NOTE)
file(GLOB entries RELATIVE ${CASE} ${CASE}/*)
foreach(entry IN LISTS entries)
  if(entry IN_LIST control OR entry MATCHES "^expected\\.")
    continue()
  endif()
  file(COPY ${CASE}/${entry} DESTINATION ${SCRATCH})
endforeach()

if(EXISTS ${CASE}/dirs)
  file(STRINGS ${CASE}/dirs dirs)
  foreach(dir IN LISTS dirs)
    file(MAKE_DIRECTORY ${SCRATCH}/${dir})
  endforeach()
endif()
if(EXISTS ${CASE}/links)
  file(STRINGS ${CASE}/links links)
  foreach(link IN LISTS links)
    separate_arguments(fields UNIX_COMMAND "${link}")
    list(GET fields 0 name)
    list(GET fields 1 target)
    file(CREATE_LINK ${target} ${SCRATCH}/${name} SYMBOLIC)
  endforeach()
endif()

set(arguments)
if(EXISTS ${CASE}/args)
  file(STRINGS ${CASE}/args arguments)
endif()
set(input /dev/null)
if(EXISTS ${CASE}/stdin)
  set(input ${CASE}/stdin)
endif()
set(output ${SCRATCH}/.stdout)
if(EXISTS ${CASE}/stdout-to)
  file(STRINGS ${CASE}/stdout-to output)
endif()

execute_process(COMMAND ${PROGRAM} ${arguments}
                WORKING_DIRECTORY ${SCRATCH}
                INPUT_FILE ${input}
                OUTPUT_FILE ${output}
                RESULT_VARIABLE status
                TIMEOUT 60)

set(failures "")
file(STRINGS ${CASE}/expected.status expected_status)
if(NOT "${status}" STREQUAL "${expected_status}")
  string(APPEND failures "exit status ${status}, expected ${expected_status}\n")
endif()

function(compare expected actual label)
  if(NOT EXISTS ${actual})
    set(failures "${failures}${label}: not written\n" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual}
                  RESULT_VARIABLE differs)
  if(differs)
    execute_process(COMMAND diff -a ${expected} ${actual} OUTPUT_VARIABLE diff)
    set(failures "${failures}${label} differs (expected < > actual):\n${diff}\n" PARENT_SCOPE)
  endif()
endfunction()

if(EXISTS ${CASE}/expected.stdout)
  compare(${CASE}/expected.stdout ${SCRATCH}/.stdout "standard output")
endif()
file(GLOB expected_files RELATIVE ${CASE} ${CASE}/expected.*)
foreach(expected IN LISTS expected_files)
  string(REGEX REPLACE "^expected\\." "" name ${expected})
  if(name STREQUAL "status" OR name STREQUAL "stdout")
    continue()
  endif()
  compare(${CASE}/${expected} ${SCRATCH}/${name} ${name})
endforeach()

if(EXISTS ${CASE}/absent)
  file(STRINGS ${CASE}/absent absent)
  foreach(name IN LISTS absent)
    if(EXISTS ${SCRATCH}/${name})
      string(APPEND failures "${name}: should not exist\n")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "${CASE}\n${failures}")
endif()
