# The settings dialog of the saver program (tumbra.scr /c) under wine.
foreach(case defaults ok cancel about about_idle out_of_range other_versions rule_choose rule_custom rule_refused new_field pattern_fields rule_families)
  tumbra_e2e_test(config_${case} ${E2E_DIR}/config_dialog.sh ${case})
endforeach()
