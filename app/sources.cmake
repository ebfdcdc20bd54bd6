# Window-side sources. KB_GUI_CORE_SOURCES build kb_gui (binding, frame, panels);
# KB_APP_SOURCES hold main() only.
list(APPEND KB_GUI_CORE_SOURCES
  app/left_panel.cpp
  app/network_panel.cpp
  app/lookup_dialogs.cpp
  app/library_panel.cpp
  app/download_panel.cpp
  app/local_panel.cpp
  app/ai_panel.cpp
)
list(APPEND KB_APP_SOURCES app/main.cpp)
