# Warnings as errors for the project's own targets, and the floating-point
# flags that stored values depend on: no contraction of a*b+c into a fused
# multiply-add, no fast-math, no flush-to-zero. -fno-math-errno only stops
# sqrt and friends from setting errno, which lets sqrtf vectorise; results are
# unchanged (sqrt is correctly rounded either way). -fno-trapping-math (clang's
# default) only drops the care for floating-point exception flags, which
# nothing reads: it lets a loop that selects between two computed values
# vectorise; every result stays the same.
function(korvala_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

function(korvala_set_fp_flags target)
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math -fno-math-errno -fno-trapping-math)
endfunction()
