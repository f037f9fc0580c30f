# pellix_add_plugin(<target> FILE <name> [DIST_SUBDIR <dir>] SOURCES ... [SSE2_SOURCES ...])
#
# Builds one render plugin as a shared module named exactly <name>.rpi (no lib prefix)
# into build/dist[/<dir>]. Only SSE2_SOURCES get the ISA flag; on targets that are not
# x86 they are left out and the plugin runs its plain path.
set(PELLIX_DIST_DIR "${CMAKE_BINARY_DIR}/dist" CACHE INTERNAL "")

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86|x86)$")
  set(PELLIX_X86 ON CACHE INTERNAL "")
else()
  set(PELLIX_X86 OFF CACHE INTERNAL "")
endif()

function(pellix_add_plugin target)
  cmake_parse_arguments(P "" "FILE;DIST_SUBDIR" "SOURCES;SSE2_SOURCES;DEFINITIONS" ${ARGN})
  set(srcs ${P_SOURCES})
  if(PELLIX_X86 AND P_SSE2_SOURCES)
    list(APPEND srcs ${P_SSE2_SOURCES})
    set_source_files_properties(${P_SSE2_SOURCES} PROPERTIES COMPILE_OPTIONS "-msse2")
  endif()
  add_library(${target} MODULE)
  target_sources(${target} PRIVATE ${srcs})
  if(PELLIX_X86 AND P_SSE2_SOURCES)
    target_compile_definitions(${target} PRIVATE PELLIX_HAVE_SSE2=1)
  endif()
  if(P_DEFINITIONS)
    target_compile_definitions(${target} PRIVATE ${P_DEFINITIONS})
  endif()
  target_link_libraries(${target} PRIVATE pellix_plugin_common)
  set(outdir "${PELLIX_DIST_DIR}")
  if(P_DIST_SUBDIR)
    set(outdir "${outdir}/${P_DIST_SUBDIR}")
  endif()
  # Read by the Windows build's check that SSE2 code stays in these files.
  set_property(TARGET ${target} PROPERTY PELLIX_SSE2_SOURCES "${P_SSE2_SOURCES}")
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME "${P_FILE}" PREFIX "" SUFFIX ".rpi"
    LIBRARY_OUTPUT_DIRECTORY "${outdir}"
    RUNTIME_OUTPUT_DIRECTORY "${outdir}")
endfunction()
