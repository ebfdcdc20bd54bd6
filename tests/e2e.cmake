# The real program in a real (virtual) X server: the user journeys.
# Each test starts its own Xvfb, so they do not share input focus with other tests.
# The Windows build sets KB_E2E_JOURNEYS and KB_E2E_ENVIRONMENT (cmake/windows-tests.cmake).
if(KB_GUI AND TARGET kestrelbox)
  find_program(KB_PYTHON3 python3)
  find_program(KB_XVFB Xvfb)
  if(NOT DEFINED KB_E2E_JOURNEYS)
    set(KB_E2E_JOURNEYS offline online local-ai)
  endif()
  if(KB_PYTHON3 AND KB_XVFB)
    foreach(journey ${KB_E2E_JOURNEYS})
      add_test(NAME e2e.journey.${journey}
        COMMAND ${KB_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/e2e/journeys.py
                $<TARGET_FILE:kestrelbox> ${CMAKE_BINARY_DIR}/journeys ${journey})
      set_tests_properties(e2e.journey.${journey} PROPERTIES LABELS e2e TIMEOUT 600
                           ENVIRONMENT "${KB_E2E_ENVIRONMENT}")
    endforeach()
  else()
    message(WARNING "python3 or Xvfb missing: window tests are not registered")
  endif()
endif()
