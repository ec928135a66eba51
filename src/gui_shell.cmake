# Sources of the window shell: main window, connections, help, error reporting.
list(APPEND GUI_SHELL_SOURCES
    app/CmdLine.cpp
    app/ErrorReport.cpp
    app/Headless.cpp
    app/Help.cpp
    app/Publishing.cpp
    app/QuitSignals.cpp
    app/fmCorv.cpp
    app/fmCorvConn.cpp
    app/fmCorvDialogs.cpp
    conn/ConnSer.cpp
    conn/ConnTcp.cpp
    conn/fmConnSer.cpp
    conn/fmConnTcp.cpp
)

# The user's guide lives beside the program, like the settings and the logs.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/app/help/Corvane.html
               ${CMAKE_BINARY_DIR}/help/Corvane.html COPYONLY)
