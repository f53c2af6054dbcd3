#include "korvala/components/scalar/ScalarUnitNormalize.h"

#include "korvala/store/KorAssert.h"

float ScalarUnitNormalize::calculate(float value, float min, float max) {
    KOR_CHECK(value >= min && value <= max, "value >= min && value <= max", "calculate",
              "ScalarUnitNormalize", 12);
    return (value - min) / (max - min);
}
