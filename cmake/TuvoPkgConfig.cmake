# tuvo_configure_pkgconfig(<template> <output> [COMPONENT <component>])
#
# Writes a pkg-config file from <template> and installs it into <libdir>/pkgconfig.
# The template's prefix is @TUVO_PC_PREFIX@: ${pcfiledir} and the way from the
# pkg-config folder up to the install prefix, so that a moved install still fits.
function(tuvo_configure_pkgconfig template output)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "COMPONENT" "")
    file(RELATIVE_PATH up "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
    string(REGEX REPLACE "/$" "" up "${up}")
    set(TUVO_PC_PREFIX "\${pcfiledir}/${up}")
    configure_file("${template}" "${output}" @ONLY)
    if(ARG_COMPONENT)
        install(FILES "${output}" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
            COMPONENT ${ARG_COMPONENT})
    else()
        install(FILES "${output}" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
    endif()
endfunction()
