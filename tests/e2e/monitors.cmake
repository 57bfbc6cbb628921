# The full-screen saver on a display of two monitors side by side.
add_executable(monitors_probe ${E2E_DIR}/monitors_probe.cpp)
foreach(case primary_left primary_right)
  tumbra_e2e_test(saver_monitors_${case} ${E2E_DIR}/saver_monitors.sh ${case} $<TARGET_FILE:monitors_probe>)
endforeach()
