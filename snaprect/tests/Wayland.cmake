# On a private headless sway (testing/wayland): the real program with the
# real desktop portal on each layout, every output at the layout's one scale
# (Qt 6.4 reports 1.5 as 2); and in-process, the portal's answers from a
# stand-in portal on the private bus, and no portal at all.
snaprect_test(tst_wayland snaprect_offline_constants)
target_link_libraries(tst_wayland PRIVATE Qt6::DBus wayland_virtual_pointer)
set(layouts scale_1 "1280x800" scale_2 "1920x1080@2" two_outputs "1024x768 1280x1024"
    two_outputs_scale_1_5 "1800x1200@1.5 1536x1152@1.5")
while(layouts)
    list(POP_FRONT layouts name outputs)
    add_wayland_test(NAME tst_wayland_${name} COMMAND $<TARGET_FILE:tst_wayland> capture OUTPUTS "${outputs}" PORTAL)
endwhile()
add_wayland_test(NAME tst_wayland_command_line COMMAND $<TARGET_FILE:tst_wayland> commandLine OUTPUTS "1024x768 1280x1024" PORTAL)
add_wayland_test(NAME tst_wayland_portal_answers OUTPUTS "640x480 1280x1024"
    COMMAND $<TARGET_FILE:tst_wayland> portalAnswers toolbarBackOnThePrimaryOutput)
# Two 4K monitors drawn by the portal at 1.5: a picture of over 33.5 million
# pixels, more than Qt decodes by default.
add_wayland_test(NAME tst_wayland_large_desktop OUTPUTS "3840x2160 3840x2160"
    COMMAND $<TARGET_FILE:tst_wayland> "portalAnswers:a picture of the user's, kept")
