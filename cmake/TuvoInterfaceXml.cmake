# tuvo_embed_interface_xml(<header> <xml file> <macro>)
#
# Writes <header>, which defines <macro> as the <interface> element of <xml file>, for
# the Q_CLASSINFO of an adaptor that describes its interface itself. The live object then
# describes itself exactly as the interface file in dbus/ says: what Qt derives from a
# delayed-reply slot would show no out-arguments. Editing the XML re-runs CMake.
function(tuvo_embed_interface_xml header xml macro)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${xml})
    file(READ ${xml} content)
    string(REGEX MATCH "<interface[^>]*>.*</interface>" interface "${content}")
    if(NOT interface)
        message(FATAL_ERROR "${xml} declares no interface")
    endif()
    # Qt puts the text as it stands inside its <node>, where interfaces are indented by two.
    string(REPLACE "\\" "\\\\" interface "  ${interface}\n")
    string(REPLACE "\"" "\\\"" interface "${interface}")
    string(REPLACE "\n" "\\n\" \\\n    \"" interface "${interface}")
    get_filename_component(name ${xml} NAME)
    string(MAKE_C_IDENTIFIER "${macro}_H" guard)
    file(CONFIGURE OUTPUT ${header} CONTENT "// Generated from dbus/${name}; edit that file instead.
#ifndef ${guard}
#define ${guard}

#define ${macro} \\
    \"${interface}\"

#endif
")
endfunction()
