# The Qt program on top of the core.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
set(CMAKE_AUTOMOC ON)

add_executable(corvane app/main.cpp)
target_link_libraries(corvane PRIVATE Qt6::Widgets)
