# The Qt program on top of the core: the window shell (main window, connections, help, error
# reporting) and the views and dialogs, each listing its own sources.
find_package(Qt6 REQUIRED COMPONENTS Widgets Network SerialPort PrintSupport)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

set(GUI_SHELL_SOURCES)
set(GUI_VIEW_SOURCES)
include(gui_shell.cmake)
include(gui_views.cmake)

add_library(corvane_gui STATIC ${GUI_SHELL_SOURCES} ${GUI_VIEW_SOURCES})
target_link_libraries(corvane_gui PUBLIC corvane_core corvane_mqtt Qt6::Widgets Qt6::Network Qt6::SerialPort
                                         Qt6::PrintSupport)

add_executable(corvane app/main.cpp)
target_link_libraries(corvane PRIVATE corvane_gui)
