// How heavy a face a font description asks for, the same on every platform.
#include <algorithm>

#include "device/fonts/font_face.h"

namespace tolvane {

namespace {

constexpr int32_t NormalWeight = 400;
constexpr int32_t BoldThreshold = 600;  // a request from here up wants bold

}  // namespace

int32_t RequestedWeight(int32_t weight) {
  if (weight <= 0) return NormalWeight;
  return std::min(weight, 1000);
}

bool NeedsSyntheticBold(int32_t weight, int faceWeight) {
  return RequestedWeight(weight) >= BoldThreshold && faceWeight < BoldThreshold;
}

}  // namespace tolvane
