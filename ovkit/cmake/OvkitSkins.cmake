# ovkit_add_skins(TARGET name DESTINATION dir STYLE_SHEETS file.qss...)
#
# Builds one OvSkin skin file per style sheet: DESTINATION/NAME.skin, a binary
# Qt resource (rcc --binary) that holds the style sheet as ":/ov_skin/skin.qss",
# NAME being the style sheet's file name without its last suffix. TARGET is a
# custom target, built by default, that makes all of them.
function(ovkit_add_skins)
    cmake_parse_arguments(arg "" "TARGET;DESTINATION" "STYLE_SHEETS" ${ARGN})
    set(skins)
    foreach(style_sheet IN LISTS arg_STYLE_SHEETS)
        get_filename_component(style_sheet "${style_sheet}" ABSOLUTE)
        get_filename_component(name "${style_sheet}" NAME_WLE)
        set(qrc "${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}/${name}.qrc")
        set(skin "${arg_DESTINATION}/${name}.skin")
        file(WRITE "${qrc}.in"
            "<RCC>\n  <qresource prefix=\"/ov_skin\">\n"
            "    <file alias=\"skin.qss\">${style_sheet}</file>\n"
            "  </qresource>\n</RCC>\n")
        configure_file("${qrc}.in" "${qrc}" COPYONLY)
        add_custom_command(OUTPUT "${skin}"
            COMMAND ${CMAKE_COMMAND} -E make_directory "${arg_DESTINATION}"
            COMMAND Qt6::rcc --binary --output "${skin}" "${qrc}"
            DEPENDS "${qrc}" "${style_sheet}" Qt6::rcc
            COMMENT "Building skin ${name}.skin"
            VERBATIM)
        list(APPEND skins "${skin}")
    endforeach()
    add_custom_target(${arg_TARGET} ALL DEPENDS ${skins})
endfunction()
