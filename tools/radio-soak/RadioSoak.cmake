# The receiver soak's player (scripts/soak-radio). scripts/soak-radio passes this file as
# the project's include, so any checkout of the studio builds it against its own receiver
# without a change to its build; the target is built only when asked for by name.
set(NORVO_RADIO_SOAK_DIR ${CMAKE_CURRENT_LIST_DIR})
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${NORVO_RADIO_SOAK_DIR}/RadioSoakTarget.cmake)
