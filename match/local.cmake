# Local matching: the translated title pool, the library match job, the folder match and copy,
# and the cleaning and scoring of noisy titles.
list(APPEND KB_CORE_SOURCES
  match/pool.cpp
  match/library_match.cpp
  match/folder_match.cpp
  match/rules.cpp
  match/clean.cpp
  match/title_score.cpp
)
# The traditional->simplified table is generated on the build host from OpenCC (scripts/setup
# installs it); a cross build runs the same host program.
find_program(KB_OPENCC opencc)
find_program(KB_PYTHON3 python3)
if(NOT KB_OPENCC OR NOT KB_PYTHON3)
  message(FATAL_ERROR "opencc and python3 are needed to generate the character folding table: run scripts/setup")
endif()
set(KB_FOLD_TABLE ${CMAKE_BINARY_DIR}/generated/fold_table.inc)
add_custom_command(OUTPUT ${KB_FOLD_TABLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ${KB_PYTHON3} ${CMAKE_SOURCE_DIR}/scripts/gen-fold-table ${KB_FOLD_TABLE} ${KB_OPENCC}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/gen-fold-table
  COMMENT "Generating the traditional->simplified folding table"
  VERBATIM)
set_source_files_properties(match/clean.cpp PROPERTIES
  OBJECT_DEPENDS ${KB_FOLD_TABLE}
  INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/generated)
list(APPEND KB_CORE_SOURCES ${KB_FOLD_TABLE})
