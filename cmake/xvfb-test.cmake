# Tests that need an X server: each takes its turn under the lock `xvfb`, since two servers
# started at once by "xvfb-run -a" can pick the same display number.
#
#   quorbistane_xvfb_test(NAME name TIMEOUT seconds COMMAND command...
#                         [SCREEN WxHxD | OWN_SERVER] [SKIP_RETURN_CODE code]
#                         [ENVIRONMENT var=value...])
#
# SCREEN runs the command inside a virtual X server with one screen of that size and depth.
# OWN_SERVER is for a command that starts its servers itself for parts of its run: it is not
# wrapped (and is registered without xvfb-run too), but it takes the lock. SKIP_RETURN_CODE is
# the exit code by which the test says it cannot run here (a window manager missing). Without
# xvfb-run a SCREEN test is not registered: QUORBISTANE_XVFB_RUN tells the callers so.
include_guard(GLOBAL)

find_program(QUORBISTANE_XVFB_RUN xvfb-run)
# The end-to-end scripts press keys and look for windows with it.
find_program(QUORBISTANE_XDOTOOL xdotool)

function(quorbistane_xvfb_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "OWN_SERVER" "NAME;SCREEN;TIMEOUT;SKIP_RETURN_CODE"
                        "COMMAND;ENVIRONMENT")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "quorbistane_xvfb_test: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_NAME OR NOT arg_TIMEOUT OR NOT arg_COMMAND)
    message(FATAL_ERROR "quorbistane_xvfb_test: NAME, TIMEOUT and COMMAND are required")
  endif()
  if(arg_OWN_SERVER AND arg_SCREEN)
    message(FATAL_ERROR "quorbistane_xvfb_test(${arg_NAME}): SCREEN or OWN_SERVER, not both")
  endif()
  if(NOT arg_OWN_SERVER AND NOT arg_SCREEN MATCHES "^[0-9]+x[0-9]+x(8|16|24|32)$")
    message(FATAL_ERROR "quorbistane_xvfb_test(${arg_NAME}): SCREEN WIDTHxHEIGHTxDEPTH is "
                        "required (given: '${arg_SCREEN}')")
  endif()
  if(arg_OWN_SERVER)
    add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND})
  elseif(NOT QUORBISTANE_XVFB_RUN)
    return()
  else()
    add_test(NAME ${arg_NAME}
             COMMAND ${QUORBISTANE_XVFB_RUN} -a -s "-screen 0 ${arg_SCREEN}" ${arg_COMMAND})
  endif()
  set_tests_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT} RESOURCE_LOCK xvfb)
  if(DEFINED arg_SKIP_RETURN_CODE)
    set_tests_properties(${arg_NAME} PROPERTIES SKIP_RETURN_CODE ${arg_SKIP_RETURN_CODE})
  endif()
  if(arg_ENVIRONMENT)
    set_tests_properties(${arg_NAME} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}")
  endif()
endfunction()
