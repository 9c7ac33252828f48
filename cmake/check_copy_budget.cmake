# The uninstaller copy must stay smaller than the original publication's uninstaller, 37,440 bytes:
# every installation writes it, and every change to the program moves it.
#   cmake -DREPORT=<build>/win/layout.txt -P check_copy_budget.cmake
set(BUDGET 37440)
file(STRINGS "${REPORT}" line REGEX "uninstaller copy size")
if(NOT line MATCHES "uninstaller copy size +([0-9]+) bytes")
  message(FATAL_ERROR "no uninstaller copy size in ${REPORT}")
endif()
set(copy ${CMAKE_MATCH_1})
if(NOT copy LESS BUDGET)
  math(EXPR over "${copy} - ${BUDGET}")
  message(FATAL_ERROR "The uninstaller copy is ${copy} bytes, ${over} over its budget of ${BUDGET}")
endif()
math(EXPR left "${BUDGET} - ${copy}")
message(STATUS "The uninstaller copy is ${copy} bytes, ${left} under its budget of ${BUDGET}")
