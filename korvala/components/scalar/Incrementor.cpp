#include "korvala/components/scalar/Incrementor.h"

float Incrementor::update(float amount, float dt, float speed) {
    value = value + amount * dt * scale * speed;
    return value;
}
