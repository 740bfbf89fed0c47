# Build-time configuration; the program itself reads no options at run time.

set(BRINEWATCH_ADAPTER_HOST "127.0.0.1:8080" CACHE STRING "IPv4 address of the 1-Wire adapter, optionally with :port")
set(BRINEWATCH_HELP_FILE "" CACHE STRING "Help file opened by the Help menu; empty for none")
set(BRINEWATCH_PAGE_VIEW "auto" CACHE STRING "Page view: auto, webengine or plain")
set_property(CACHE BRINEWATCH_PAGE_VIEW PROPERTY STRINGS auto webengine plain)

if(NOT BRINEWATCH_PAGE_VIEW MATCHES "^(auto|webengine|plain)$")
  message(FATAL_ERROR "BRINEWATCH_PAGE_VIEW must be auto, webengine or plain, not '${BRINEWATCH_PAGE_VIEW}'.")
endif()

function(brinewatch_check_host value)
  set(octet "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])")
  if(NOT value MATCHES "^${octet}\\.${octet}\\.${octet}\\.${octet}(:([0-9]+))?$")
    message(FATAL_ERROR "BRINEWATCH_ADAPTER_HOST='${value}' is not an IPv4 address with an optional :port "
                        "(for example 192.168.1.50 or 127.0.0.1:8080).")
  endif()
  if(CMAKE_MATCH_6)
    if(CMAKE_MATCH_6 MATCHES "^0" OR CMAKE_MATCH_6 LESS 1 OR CMAKE_MATCH_6 GREATER 65535)
      message(FATAL_ERROR "BRINEWATCH_ADAPTER_HOST='${value}': the port must be 1 to 65535 without leading zeros.")
    endif()
  endif()
endfunction()
brinewatch_check_host("${BRINEWATCH_ADAPTER_HOST}")

# Texts placed in the generated header as C++ string literals.
string(REPLACE "\\" "\\\\" BRINEWATCH_HELP_FILE_ESCAPED "${BRINEWATCH_HELP_FILE}")
string(REPLACE "\"" "\\\"" BRINEWATCH_HELP_FILE_ESCAPED "${BRINEWATCH_HELP_FILE_ESCAPED}")
