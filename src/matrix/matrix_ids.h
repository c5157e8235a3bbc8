// Resource numbers, control ids and skin faces of the matrix panel and its
// pages.
#pragma once

namespace zv {

inline constexpr int kMatrixPanelResource = 206;
inline constexpr int kMatrixConnectionPageResource = 208;
inline constexpr int kMatrixFunctionPageResource = 210;

// Routing panel (206).
enum MatrixPanelControl : int {
  kIdMatrixFunctionPageButton = 1032,
  kIdMatrixConnectionPageButton = 1033,
  kIdMatrixInputGroup = 1091,
  kIdMatrixOutputGroup = 1092,
  kIdMatrixPageArea = 1094,
  kIdMatrixInput1 = 1131,   // to 1138
  kIdMatrixOutput1 = 1141,  // to 1148
};

// Function page (210).
enum MatrixFunctionControl : int {
  kIdMatrixLock = 1011,
  kIdMatrixOneToAll = 1032,
  kIdMatrixOneToOne = 1033,
  kIdMatrixApply = 1097,
  kIdMatrixFunctionGroup = 1100,
};

// Connection page (208).
enum MatrixConnectionControl : int {
  kIdMatrixLanRadio = 1012,
  kIdMatrixSerialRadio = 1013,
  kIdMatrixPortList = 1014,
  kIdMatrixConnect = 1032,
  kIdMatrixDeviceIpField = 1036,
  kIdMatrixBaudList = 1098,
  kIdMatrixLinkIcon = 1099,
  kIdMatrixModeList = 1102,
  kIdMatrixConnectionGroup = 1201,
};

// Pages of the panel; none is shown before the first switch.
inline constexpr int kMatrixNoPage = 255;
inline constexpr int kMatrixFunctionPage = 1;
inline constexpr int kMatrixConnectionPage = 2;

// Row geometry, client pixels of the panel.
inline constexpr int kMatrixRowLeft = 80;
inline constexpr int kMatrixRowStep = 68;
inline constexpr int kMatrixInputRowY = 180;
inline constexpr int kMatrixOutputRowY = 380;
inline constexpr int kMatrixButtonWidth = 60;
inline constexpr int kMatrixButtonHeight = 65;

// Input k and output k share their faces.
constexpr int MatrixNormalFace(int k) { return 211 + 2 * k; }
constexpr int MatrixSelectedFace(int k) { return 212 + 2 * k; }

inline constexpr int kMatrixFunctionPageFace = 192;
inline constexpr int kMatrixFunctionPageSelectedFace = 193;
inline constexpr int kMatrixConnectionPageFace = 200;
inline constexpr int kMatrixConnectionPageSelectedFace = 201;
inline constexpr int kMatrixUnlockedFace = 231;
inline constexpr int kMatrixLockedFace = 232;

}  // namespace zv
