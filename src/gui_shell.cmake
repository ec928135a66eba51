# Sources of the window shell: main window, connections, help, error reporting.
