# Included from tools/CMakeLists.txt: generates live_page_assets.cpp from the
# live page's files in this folder. Defines KORVALA_LIVE_PAGE_SOURCE.
set(_live_dir "${CMAKE_CURRENT_LIST_DIR}")
set(KORVALA_LIVE_PAGE_SOURCE "${CMAKE_CURRENT_BINARY_DIR}/live_page_assets.cpp")
add_custom_command(
  OUTPUT "${KORVALA_LIVE_PAGE_SOURCE}"
  COMMAND "${CMAKE_COMMAND}" "-DOUT=${KORVALA_LIVE_PAGE_SOURCE}" "-DPAGE_DIR=${_live_dir}"
          -P "${_live_dir}/EmbedLivePage.cmake"
  DEPENDS "${_live_dir}/live.html" "${_live_dir}/live.js" "${_live_dir}/live.css"
          "${_live_dir}/EmbedLivePage.cmake" "${PROJECT_SOURCE_DIR}/cmake/KorvalaEmbed.cmake"
  COMMENT "Embedding the live page"
  VERBATIM)
