# cmake -DKB_PATCH=<file> -DKB_PATCH_SOURCE_DIR=<dir> -P apply_patch.cmake
# Applies the patch unless it is already applied (a re-configure runs the step again).
find_program(KB_PATCH_PROGRAM patch REQUIRED)
execute_process(COMMAND ${KB_PATCH_PROGRAM} -p1 -R --dry-run -s -f -i ${KB_PATCH}
  WORKING_DIRECTORY ${KB_PATCH_SOURCE_DIR} RESULT_VARIABLE applied OUTPUT_QUIET ERROR_QUIET)
if(applied EQUAL 0)
  return()
endif()
execute_process(COMMAND ${KB_PATCH_PROGRAM} -p1 -N -s -i ${KB_PATCH}
  WORKING_DIRECTORY ${KB_PATCH_SOURCE_DIR} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "patch ${KB_PATCH} does not apply in ${KB_PATCH_SOURCE_DIR}")
endif()
