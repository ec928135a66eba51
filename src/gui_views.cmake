# Sources of the views and dialogs: sensor list, route tree, history, export, select-entry, about.
