# The saver program under wine64.
foreach(case first_start classic_field mouse_threshold key_and_button single_instance preview bad_arguments animated overlay_classic classic_frame)
  tumbra_e2e_test(saver_${case} ${E2E_DIR}/saver.sh ${case})
endforeach()
