# The time that stands for "when this was built" wherever a build would otherwise write the
# clock (the PE header's time stamp, the release archive): SOURCE_DATE_EPOCH when set, else the
# time of the last commit, else zero. Two builds of one commit then give the same bytes.
# Sets TOOL_SOURCE_DATE_EPOCH and writes it to ${CMAKE_BINARY_DIR}/source-date-epoch.txt.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TOOL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  set(TOOL_SOURCE_DATE_EPOCH 0)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_result ERROR_QUIET)
    if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
      set(TOOL_SOURCE_DATE_EPOCH ${commit_time})
    endif()
    # Configure again when HEAD moves, so that the time follows the commit.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
                    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                    OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(head_log AND EXISTS "${head_log}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
    endif()
  endif()
endif()
if(NOT TOOL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not \"${TOOL_SOURCE_DATE_EPOCH}\"")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/source-date-epoch.txt "${TOOL_SOURCE_DATE_EPOCH}\n")
