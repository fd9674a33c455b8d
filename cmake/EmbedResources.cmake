# vexmoor_embed_resources(TARGET LIST...): compiles the resources named in the lists ("NAME TYPE
# FILE" lines, see tools/rc/rc.cpp) into TARGET, so FindResourceA, LoadImageA and LoadIconA find
# them. The source is regenerated whenever a list or a file it names changes.
function(vexmoor_embed_resources target)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND vexmoor_rc ${generated} ${generated}.d ${ARGN}
    DEPENDS vexmoor_rc ${ARGN}
    DEPFILE ${generated}.d
    COMMENT "Compiling the resources of ${target}"
    VERBATIM)
  # A target of its own generates the source, so TARGET may live in another directory.
  add_custom_target(${target}_resources DEPENDS ${generated})
  add_dependencies(${target} ${target}_resources)
  target_sources(${target} PRIVATE ${generated})
endfunction()
