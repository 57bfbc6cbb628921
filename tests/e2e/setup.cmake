# The installer and the uninstaller, run as a user runs them: in a setup
# folder of the test's making, against the prefix's Windows directory.

# A stand-in display control panel that records how the installer calls it.
add_library(setup_fake_desk MODULE ${E2E_DIR}/setup_fake_desk.cpp)
set_target_properties(setup_fake_desk PROPERTIES PREFIX "" OUTPUT_NAME desk SUFFIX .cpl)
target_link_options(setup_fake_desk PRIVATE -Wl,--kill-at)

# Reports what the installer's terms box holds.
add_executable(setup_terms_probe ${E2E_DIR}/setup_terms_probe.cpp)

foreach(case start agree again failure platform package anywhere alone keys)
  tumbra_e2e_test(setup_install_${case} ${E2E_DIR}/setup_install.sh ${case}
                  $<TARGET_FILE:setup_install> $<TARGET_FILE:setup_fake_desk> $<TARGET_FILE:setup_terms_probe>)
endforeach()
foreach(case decline remove keep dotfile nothing administrator)
  tumbra_e2e_test(setup_uninstall_${case} ${E2E_DIR}/setup_uninstall.sh ${case} $<TARGET_FILE:setup_uninstall>)
endforeach()
