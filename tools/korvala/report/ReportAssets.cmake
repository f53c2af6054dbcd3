# Included from tools/CMakeLists.txt: generates report_assets.cpp from the page
# files in this folder and uPlot from node_modules (fetched by
# scripts/setup-web.sh). Defines KORVALA_REPORT_ASSETS_SOURCE.

set(_page_dir "${CMAKE_CURRENT_LIST_DIR}")
set(_plot_dir "${_page_dir}/node_modules/uplot/dist")
set(KORVALA_REPORT_ASSETS_SOURCE "${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp")
set(_report_inputs "${_page_dir}/report.html" "${_page_dir}/report.js" "${_page_dir}/report.css")
# A by-hand configure fetches uPlot itself when npm is at hand, so that the
# command it builds can write reports without a separate set-up step.
if(NOT EXISTS "${_plot_dir}/uPlot.iife.min.js")
  find_program(KORVALA_NPM npm)
  if(KORVALA_NPM)
    message(STATUS "korvala report: fetching uPlot (scripts/setup-web.sh)")
    execute_process(COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/setup-web.sh"
                    RESULT_VARIABLE _setup_web_result)
    if(NOT _setup_web_result EQUAL 0)
      message(WARNING "korvala report: scripts/setup-web.sh failed (${_setup_web_result})")
    endif()
  endif()
endif()
if(EXISTS "${_plot_dir}/uPlot.iife.min.js" AND EXISTS "${_plot_dir}/uPlot.min.css")
  list(APPEND _report_inputs "${_plot_dir}/uPlot.iife.min.js" "${_plot_dir}/uPlot.min.css")
else()
  message(WARNING "korvala report: uPlot not found in ${_plot_dir}; the command is built, but "
                  "`korvala report` will refuse to run. Fetch it with "
                  "`bash scripts/setup-web.sh` (or scripts/install-deps.sh --with-browser), "
                  "then build again.")
  # Configure again once node_modules appears.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_page_dir}")
endif()
add_custom_command(
  OUTPUT "${KORVALA_REPORT_ASSETS_SOURCE}"
  COMMAND "${CMAKE_COMMAND}" "-DOUT=${KORVALA_REPORT_ASSETS_SOURCE}" "-DPAGE_DIR=${_page_dir}"
          "-DPLOT_DIR=${_plot_dir}" -P "${_page_dir}/EmbedAssets.cmake"
  DEPENDS ${_report_inputs} "${_page_dir}/EmbedAssets.cmake" "${PROJECT_SOURCE_DIR}/cmake/KorvalaEmbed.cmake"
  COMMENT "Embedding the report page and uPlot"
  VERBATIM)
