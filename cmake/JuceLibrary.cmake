# JUCE compiled once, as a static library of the modules the plug-in uses.
add_library(pellion_juce STATIC)

target_link_libraries(pellion_juce
  PRIVATE
    juce::juce_core
    juce::juce_events
    juce::juce_data_structures
    juce::juce_graphics
    juce::juce_gui_basics
    juce::juce_audio_basics
    juce::juce_audio_devices
    juce::juce_audio_processors
  PUBLIC
    juce::pkgconfig_JUCE_CURL_LINUX_DEPS
    juce::pkgconfig_JUCE_IMG_LINUX_DEPS
    ZLIB::ZLIB)

target_compile_definitions(pellion_juce
  PUBLIC
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=1
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_LOG_ASSERTIONS=1
    JUCE_STANDALONE_APPLICATION=0
    JUCE_PLUGINHOST_AU=0
    JUCE_PLUGINHOST_VST3=0
    JUCE_PLUGINHOST_LADSPA=0
    JUCE_PLUGINHOST_LV2=0
    JUCE_ALSA=1
    JUCE_JACK=0
    JUCE_USE_XRANDR=1
    JUCE_USE_XINERAMA=1
    JUCE_USE_XCURSOR=1
    # Its shared-memory check swaps Xlib's process-wide error handler, which a
    # plug-in's host and its other threads own; the windows are blitted plainly.
    JUCE_USE_XSHM=0
    $<$<CONFIG:Debug>:JUCE_DEBUG=1>
    $<$<NOT:$<CONFIG:Debug>>:NDEBUG=1>)

# No "JUCE v7.0.5" on stderr from every Debug program and bundle that loads:
# a host's output is the host's. Only the one source that prints it needs this.
set_source_files_properties(${JUCE_MODULES_DIR}/juce_core/juce_core.cpp
  PROPERTIES COMPILE_DEFINITIONS JUCE_DISABLE_JUCE_VERSION_PRINTING=1)

# Consumers need the modules' include paths and definitions, not their sources.
target_include_directories(pellion_juce INTERFACE
  $<TARGET_PROPERTY:pellion_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(pellion_juce INTERFACE
  $<TARGET_PROPERTY:pellion_juce,COMPILE_DEFINITIONS>)

# The fuzz build instruments the framework code that outside input reaches
# (text, XML, JSON, ZIP, MIDI, values, parameters and state); the drawing,
# windowing, message-loop and device modules see none, and compiling them
# instrumented would only make the build slower.
if(PELLION_FUZZ)
  set_source_files_properties(
    ${JUCE_MODULES_DIR}/juce_graphics/juce_graphics.cpp
    ${JUCE_MODULES_DIR}/juce_gui_basics/juce_gui_basics.cpp
    ${JUCE_MODULES_DIR}/juce_events/juce_events.cpp
    ${JUCE_MODULES_DIR}/juce_audio_devices/juce_audio_devices.cpp
    PROPERTIES COMPILE_OPTIONS "-fno-sanitize=fuzzer-no-link,address,undefined")
endif()
