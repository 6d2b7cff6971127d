# tuvo_add_plugin(<name> [NO_INSTALL] <sources>...)
#
# Builds the plugin lib<name>.so against Tuvo::Framework, with Qt's moc, and installs
# it into the plugin directory (unless NO_INSTALL). Inside the wrapper's own build it
# lands in the build tree's plugin folder.
function(tuvo_add_plugin name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "NO_INSTALL" "" "")
    add_library(${name} MODULE ${ARG_UNPARSED_ARGUMENTS})
    set_target_properties(${name} PROPERTIES AUTOMOC ON PREFIX "lib")
    target_link_libraries(${name} PRIVATE Tuvo::Framework Qt6::Core)
    if(DEFINED TUVO_PLUGIN_OUTPUT_DIR)
        set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${TUVO_PLUGIN_OUTPUT_DIR}")
    endif()
    if(NOT ARG_NO_INSTALL AND DEFINED TUVO_PLUGIN_INSTALL_DIR)
        install(TARGETS ${name} LIBRARY DESTINATION "${TUVO_PLUGIN_INSTALL_DIR}")
    endif()
endfunction()
