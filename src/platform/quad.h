// Four pixels at a time: the explicit vector the row kernels of the surface and of the
// field's blits work in, so they vectorise at any optimisation level.
#pragma once

#include <cstring>

#include "platform/surface.h"

namespace ardo::platform::quad {

using Quad = Color __attribute__((vector_size(16)));

inline Quad Load(const Color* p) {
  Quad q;
  std::memcpy(&q, p, sizeof q);
  return q;
}
inline void Store(Color* p, Quad q) { std::memcpy(p, &q, sizeof q); }

}  // namespace ardo::platform::quad
