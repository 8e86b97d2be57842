#pragma once

#include <QRect>

// Template 137, the wait window "Please Wait": one colour label over most of the window.
namespace PleaseWaitTemplate {

inline constexpr int kTemplateId = 137;
inline constexpr int kWidthDlu = 223;
inline constexpr int kHeightDlu = 94;

inline constexpr int kMessage = 1030;
inline constexpr QRect kMessageDlu{7, 7, 209, 80};

}  // namespace PleaseWaitTemplate
