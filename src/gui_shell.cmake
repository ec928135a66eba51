# Sources of the window shell: main window, connections, help, error reporting.
list(APPEND GUI_SHELL_SOURCES
    app/CmdLine.cpp
    app/ColourScheme.cpp
    app/ErrorReport.cpp
    app/Headless.cpp
    app/Help.cpp
    app/Publishing.cpp
    app/QuitSignals.cpp
    app/AlertViews.cpp
    app/WindowState.cpp
    app/fmCorv.cpp
    app/fmCorvConn.cpp
    app/fmCorvDialogs.cpp
    conn/ConnSer.cpp
    conn/ConnTcp.cpp
    conn/fmConnSer.cpp
    conn/fmConnTcp.cpp
    conn/fmConnections.cpp
)

# The user's guide lives beside the program in the build folder.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/app/help/Corvane.html
               ${CMAKE_BINARY_DIR}/help/Corvane.html COPYONLY)
# The program's icon at every size, for the window and the about box.
list(APPEND GUI_SHELL_SOURCES ${CMAKE_SOURCE_DIR}/data/icons.qrc)
