# The application manifests built into the three programs, read back from the
# built files; no wine needed.
find_program(PYTHON3 python3 REQUIRED)
add_test(NAME manifest_saver
  COMMAND ${PYTHON3} ${E2E_DIR}/manifest_check.py asInvoker $<TARGET_FILE:tumbra>)
add_test(NAME manifest_setup
  COMMAND ${PYTHON3} ${E2E_DIR}/manifest_check.py requireAdministrator
          $<TARGET_FILE:setup_install> $<TARGET_FILE:setup_uninstall>)
set_tests_properties(manifest_saver manifest_setup PROPERTIES LABELS "e2e;manifest")
