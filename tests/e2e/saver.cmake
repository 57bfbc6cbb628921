# The saver program under wine.

# Reports the metrics of the overlay's font, which depend on the fonts wine finds.
add_executable(overlay_font ${E2E_DIR}/overlay_font_win32.cpp)
target_link_libraries(overlay_font PRIVATE platform_win32 tumbra_core)

foreach(case first_start classic_field mouse_threshold key_and_button single_instance preview bad_arguments animated overlay_classic classic_frame
             classic_rule pattern_field classic_trails rule_families plane_field)
  tumbra_e2e_test(saver_${case} ${E2E_DIR}/saver.sh ${case})
endforeach()
