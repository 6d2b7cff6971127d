# tuvo_add_plugin(<name> [NO_INSTALL] <sources>...)
#
# Builds the plugin lib<name>.so against Tuvo::Framework, with Qt's moc. Unless
# NO_INSTALL, installs it into TUVO_PLUGIN_INSTALL_DIR (relative to the install prefix
# when relative) together with its activation files: a D-Bus session service file
# (TUVO_DBUS_SERVICES_INSTALL_DIR, default share/dbus-1/services) that starts
# TUVO_WRAPPER_EXECUTABLE with the installed plugin on the first call to
# com.oxbel.tuvo.plugin.<name>, and the systemd user unit that it names
# (TUVO_SYSTEMD_USER_UNIT_INSTALL_DIR, default lib/systemd/user). Paths in them are
# those of the prefix given at install time.
#
# Inside the wrapper's own build the plugin lands in TUVO_PLUGIN_OUTPUT_DIR, and when
# TUVO_SERVICE_OUTPUT_DIR and TUVO_WRAPPER_BUILD_EXECUTABLE are set, a service file for
# the build tree is written there too.
set(_TUVO_HELPERS_DIR "${CMAKE_CURRENT_LIST_DIR}")

function(tuvo_add_plugin name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "NO_INSTALL" "" "")
    add_library(${name} MODULE ${ARG_UNPARSED_ARGUMENTS})
    set_target_properties(${name} PROPERTIES AUTOMOC ON PREFIX "lib")
    target_link_libraries(${name} PRIVATE Tuvo::Framework Qt6::Core)
    if(DEFINED TUVO_PLUGIN_OUTPUT_DIR)
        set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${TUVO_PLUGIN_OUTPUT_DIR}")
        if(TUVO_SERVICE_OUTPUT_DIR AND TUVO_WRAPPER_BUILD_EXECUTABLE)
            tuvo_write_activation_files("${TUVO_PLUGIN_OUTPUT_DIR}/lib${name}.so"
                "${TUVO_WRAPPER_BUILD_EXECUTABLE}" "${TUVO_SERVICE_OUTPUT_DIR}" "")
        endif()
    endif()
    if(ARG_NO_INSTALL OR NOT DEFINED TUVO_PLUGIN_INSTALL_DIR)
        return()
    endif()
    install(TARGETS ${name} LIBRARY DESTINATION "${TUVO_PLUGIN_INSTALL_DIR}")
    if(NOT TUVO_WRAPPER_EXECUTABLE)
        message(WARNING "TUVO_WRAPPER_EXECUTABLE is not set: no activation files for ${name}")
        return()
    endif()
    set(services "${TUVO_DBUS_SERVICES_INSTALL_DIR}")
    if(NOT services)
        set(services "share/dbus-1/services")
    endif()
    set(units "${TUVO_SYSTEMD_USER_UNIT_INSTALL_DIR}")
    if(NOT units)
        set(units "lib/systemd/user")
    endif()
    install(CODE "include(\"${_TUVO_HELPERS_DIR}/TuvoPluginHelpers.cmake\")
        tuvo_install_activation_files(\"lib${name}.so\" \"${TUVO_PLUGIN_INSTALL_DIR}\"
            \"${TUVO_WRAPPER_EXECUTABLE}\" \"${services}\" \"${units}\")")
endfunction()

# tuvo_write_activation_files(<plugin file> <wrapper> <services dir> <units dir>)
#
# Writes com.oxbel.tuvo.plugin.<name>.service into <services dir>, and the systemd user
# unit tuvo-plugin-<name>.service into <units dir> unless that is empty. <name> is what
# the wrapper derives from the file name: without ".so", "-" as "_".
function(tuvo_write_activation_files plugin wrapper services_dir units_dir)
    get_filename_component(TUVO_PLUGIN_FILE_NAME "${plugin}" NAME)
    string(REPLACE ".so" "" plugin_name "${TUVO_PLUGIN_FILE_NAME}")
    string(REPLACE "-" "_" plugin_name "${plugin_name}")
    set(TUVO_BUS_NAME "com.oxbel.tuvo.plugin.${plugin_name}")
    set(TUVO_UNIT_NAME "tuvo-plugin-${plugin_name}.service")
    set(TUVO_EXEC "${wrapper} ${plugin}")
    # Installed beside this file with the SDK; in the source tree they are in data/.
    set(templates "${_TUVO_HELPERS_DIR}")
    if(NOT EXISTS "${templates}/tuvo-plugin.service.in")
        set(templates "${_TUVO_HELPERS_DIR}/../data")
    endif()
    configure_file("${templates}/com.oxbel.tuvo.plugin.service.in"
        "${services_dir}/${TUVO_BUS_NAME}.service" @ONLY)
    if(units_dir)
        configure_file("${templates}/tuvo-plugin.service.in" "${units_dir}/${TUVO_UNIT_NAME}" @ONLY)
    endif()
endfunction()

# At install time: the activation files of an installed plugin, with the paths of the
# prefix installed to (relative directories are taken from it) and honouring DESTDIR.
function(tuvo_install_activation_files file_name plugin_dir wrapper services_dir units_dir)
    foreach(var plugin_dir wrapper services_dir units_dir)
        if(NOT IS_ABSOLUTE "${${var}}")
            set(${var} "${CMAKE_INSTALL_PREFIX}/${${var}}")
        endif()
    endforeach()
    message(STATUS "Installing: activation files of ${file_name}")
    tuvo_write_activation_files("${plugin_dir}/${file_name}" "${wrapper}"
        "$ENV{DESTDIR}${services_dir}" "$ENV{DESTDIR}${units_dir}")
endfunction()
