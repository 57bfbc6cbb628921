# The keyboard in the settings dialog (tumbra.scr /c) under wine64.
foreach(case walk pages seed about)
  tumbra_e2e_test(config_keys_${case} ${E2E_DIR}/dialog_keys.sh ${case})
endforeach()
