# Sources of the views and dialogs: sensor list, route tree, history, export, select-entry, about.
list(APPEND GUI_VIEW_SOURCES
    app/SensorListModel.cpp
    app/ListFilterBar.cpp
    app/RouteTree.cpp
    app/AlertLook.cpp
    output/fmHist.cpp
    output/TimelineStrip.cpp
    output/fmExport.cpp
    output/fmSelectEntry.cpp
    output/fmAbout.cpp
)
