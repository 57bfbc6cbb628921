# cmake -DFRAMES=tumbra_frames -DOUT=dir -DCOMMON="a;b" -DFIRST=x -DSECOND=y [-DEMULATOR=runner] -P options_differ.cmake
# Two runs that differ in one option only must draw different pictures: the
# option reached the engine.
foreach(run FIRST SECOND)
  execute_process(COMMAND ${EMULATOR} ${FRAMES} ${COMMON} ${${run}} --out ${OUT}/differ-${run}.bmp RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "tumbra_frames ${${run}} failed: ${code}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/differ-FIRST.bmp ${OUT}/differ-SECOND.bmp
                RESULT_VARIABLE same)
if(same EQUAL 0)
  message(FATAL_ERROR "${FIRST} and ${SECOND} drew the same picture")
endif()
