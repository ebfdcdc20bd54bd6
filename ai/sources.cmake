# Sources of the ai layer (kb_core).
list(APPEND KB_CORE_SOURCES)
