# Window-side sources. KB_GUI_CORE_SOURCES build kb_gui (frame, panels); KB_APP_SOURCES
# hold main() and the desktop checks behind app/startup.h. The table's and progress line's logic needs no
# window and lives in kb_core.
list(APPEND KB_CORE_SOURCES
  app/table_logic.cpp
  app/progress_logic.cpp
  app/preview_logic.cpp
)
list(APPEND KB_GUI_CORE_SOURCES
  app/frame.cpp
  app/help.cpp
  app/table.cpp
  app/preview.cpp
  app/progress.cpp
  app/left_panel.cpp
  app/popups.cpp
  app/lookup_dialogs.cpp
  app/folder_picker.cpp
  app/ai_panel.cpp
)
list(APPEND KB_APP_SOURCES app/main.cpp)
# The desktop's own folder dialog, message boxes and folders (behind app/folder_picker.h
# and app/startup.h).
if(WIN32)
  list(APPEND KB_GUI_CORE_SOURCES app/folder_picker_win.cpp)
  list(APPEND KB_APP_SOURCES app/startup_win.cpp app/kestrelbox.rc)
else()
  list(APPEND KB_GUI_CORE_SOURCES app/folder_picker_posix.cpp)
  list(APPEND KB_APP_SOURCES app/startup_posix.cpp)
endif()
