# Runs at the end of the top-level CMakeLists, once the engine's libraries exist.
add_executable(norvo-radio-soak EXCLUDE_FROM_ALL
               ${NORVO_RADIO_SOAK_DIR}/RadioSoak.cpp ${NORVO_RADIO_SOAK_DIR}/SoakRecording.cpp
               ${NORVO_RADIO_SOAK_DIR}/SoakSource.cpp ${NORVO_RADIO_SOAK_DIR}/HeardAudio.cpp
               ${NORVO_RADIO_SOAK_DIR}/SoakLink.cpp)
target_link_libraries(norvo-radio-soak PRIVATE NorvoKitRadio)
target_compile_options(norvo-radio-soak PRIVATE ${NORVO_WARNINGS})
