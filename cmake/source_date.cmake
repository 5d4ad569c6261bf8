# Writes the time setup.exe's header carries, in seconds since 1970, to OUT:
# SOURCE_DATE_EPOCH when it is set, else the committer's time of the commit
# checked out in SOURCE_DIR, else 0 (a source tree that is not a git
# checkout). OUT is rewritten only when the time changes.
#   cmake -DSOURCE_DIR=DIR -DOUT=FILE -P source_date.cmake
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT epoch MATCHES "^[0-9]+$" OR epoch GREATER 4294967295)
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"${epoch}\", not seconds since 1970 that a "
                        "program's header can hold (0 to 4294967295)")
  endif()
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch RESULT_VARIABLE result ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch 0)
  endif()
endif()
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL "${epoch}\n")
  file(WRITE "${OUT}" "${epoch}\n")
endif()
