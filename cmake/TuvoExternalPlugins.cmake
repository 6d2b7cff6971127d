# The plugins we ship are built the way an outside author builds one: as projects of
# their own, against the framework SDK as installed (headers and CMake package), not
# against targets of this tree. The SDK is installed into a staging prefix inside the
# build tree, each plugin is configured there with find_package(TuvoFramework), and
# its library lands in the build tree's plugin folder. `cmake --install` of this tree
# installs them with the wrapper.
include(ExternalProject)

set(TUVO_SDK_STAGING_DIR "${CMAKE_BINARY_DIR}/sdk-staging")
set(_tuvo_sdk_stamp "${CMAKE_BINARY_DIR}/sdk-staging.stamp")

get_target_property(_tuvo_sdk_headers tuvoframework SOURCES)
list(FILTER _tuvo_sdk_headers INCLUDE REGEX "\\.h$")
list(TRANSFORM _tuvo_sdk_headers PREPEND "${PROJECT_SOURCE_DIR}/src/framework/")
add_custom_command(OUTPUT "${_tuvo_sdk_stamp}"
    COMMAND ${CMAKE_COMMAND} --install "${CMAKE_BINARY_DIR}" --component TuvoSDK
            --prefix "${TUVO_SDK_STAGING_DIR}" > /dev/null
    COMMAND ${CMAKE_COMMAND} -E touch "${_tuvo_sdk_stamp}"
    DEPENDS tuvoframework ${_tuvo_sdk_headers}
            "${PROJECT_SOURCE_DIR}/cmake/TuvoPluginHelpers.cmake"
            "${PROJECT_SOURCE_DIR}/cmake/TuvoFrameworkConfig.cmake.in"
            "${PROJECT_SOURCE_DIR}/data/com.oxbel.tuvo.plugin.service.in"
            "${PROJECT_SOURCE_DIR}/data/tuvo-plugin.service.in"
    COMMENT "Staging the framework SDK for the shipped plugins"
    VERBATIM)
add_custom_target(tuvo-sdk-staging DEPENDS "${_tuvo_sdk_stamp}")

# What the parent build would give its own targets, handed to the plugin projects.
set(_tuvo_plugin_cxx_flags "${CMAKE_CXX_FLAGS}")
set(_tuvo_plugin_link_flags "${CMAKE_MODULE_LINKER_FLAGS}")
if(TUVO_SANITIZE)
    string(APPEND _tuvo_plugin_cxx_flags
        " -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined")
    string(APPEND _tuvo_plugin_link_flags " -fsanitize=address,undefined")
endif()

set(_tuvo_plugin_config_args -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE})
if(CMAKE_BUILD_TYPE)
    string(TOUPPER "${CMAKE_BUILD_TYPE}" _tuvo_build_type)
    list(APPEND _tuvo_plugin_config_args
        "-DCMAKE_CXX_FLAGS_${_tuvo_build_type}=${CMAKE_CXX_FLAGS_${_tuvo_build_type}}")
endif()

# tuvo_add_external_plugin(<target> <source dir> <library name>)
function(tuvo_add_external_plugin target source_dir library)
    set(binary_dir "${CMAKE_BINARY_DIR}/plugins-external/${target}")
    ExternalProject_Add(${target}
        SOURCE_DIR "${source_dir}"
        BINARY_DIR "${binary_dir}"
        CMAKE_GENERATOR "${CMAKE_GENERATOR}"
        CMAKE_ARGS
            ${_tuvo_plugin_config_args}
            -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
            "-DCMAKE_CXX_FLAGS=${_tuvo_plugin_cxx_flags}"
            "-DCMAKE_MODULE_LINKER_FLAGS=${_tuvo_plugin_link_flags}"
            "-DCMAKE_PREFIX_PATH=${TUVO_SDK_STAGING_DIR}"
            "-DTUVO_PLUGIN_OUTPUT_DIR=${TUVO_PLUGIN_OUTPUT_DIR}"
            "-DTUVO_PLUGIN_INSTALL_DIR=${TUVO_PLUGIN_INSTALL_DIR}"
            "-DTUVO_WRAPPER_EXECUTABLE=${TUVO_WRAPPER_EXECUTABLE}"
            "-DTUVO_DBUS_SERVICES_INSTALL_DIR=${TUVO_DBUS_SERVICES_INSTALL_DIR}"
            "-DTUVO_SYSTEMD_USER_UNIT_INSTALL_DIR=${TUVO_SYSTEMD_USER_UNIT_INSTALL_DIR}"
            "-DTUVO_SERVICE_OUTPUT_DIR=${TUVO_SERVICE_OUTPUT_DIR}"
            "-DTUVO_WRAPPER_BUILD_EXECUTABLE=${TUVO_WRAPPER_BUILD_EXECUTABLE}"
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS "${TUVO_PLUGIN_OUTPUT_DIR}/${library}"
        DEPENDS tuvo-sdk-staging
        USES_TERMINAL_BUILD OFF)
    # Installed with the wrapper, wherever this tree is installed to (and DESTDIR).
    install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\" --install \"${binary_dir}\"
                                  --prefix \"\${CMAKE_INSTALL_PREFIX}\"
                                  RESULT_VARIABLE result)
                  if(result)
                      message(FATAL_ERROR \"installing ${target} failed\")
                  endif()")
endfunction()
