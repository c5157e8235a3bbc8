// The production switcher's command codes (byte 16 of its frames). Every
// frame goes by UDP with command group 0x00; the parameter bytes follow from
// byte 17, so a frame is 20 bytes plus its parameters.
#pragma once

#include <array>
#include <cstdint>

namespace zv {

inline constexpr uint8_t kSwitcherDeviceType = 0xA5;

enum SwitcherCommand : uint8_t {
  kSwitcherPgmSource = 0x80,        // programme source 1..12
  kSwitcherPvmSource = 0x81,        // preview source 1..12
  kSwitcherTbar = 0x82,             // direction flag, progress 1..128
  kSwitcherCut = 0x83,
  kSwitcherAuto = 0x84,
  kSwitcherFtb = 0x85,
  kSwitcherPip = 0x86,
  kSwitcherOnAir = 0x88,            // state before the press
  kSwitcherOnAir2 = 0x89,           // state before the press (hidden button)
  kSwitcherBkgd = 0x8A,             // state before the press
  kSwitcherKey1 = 0x8B,             // state before the press
  kSwitcherKey2 = 0x8C,             // state before the press
  kSwitcherMix = 0x8D,
  kSwitcherDip = 0x8E,
  kSwitcherWipe = 0x8F,
  kSwitcherDipSource = 0x90,
  kSwitcherWipeSource = 0x91,
  kSwitcherWipePattern = 0x92,      // pattern 0..8
  kSwitcherLumaSource = 0x93,       // source 0..10
  kSwitcherLumaLevels = 0x94,       // three levels
  kSwitcherChromaSource = 0x97,     // source 0..10
  kSwitcherChromaType = 0x98,       // type 0/1
  kSwitcherChromaLevels = 0x99,     // red, green, blue
  kSwitcherPipSource = 0x9C,        // source 0..10
  kSwitcherPipBorderEnable = 0x9D,  // 0/1
  kSwitcherPipBorderColor = 0x9E,   // 0..3
  kSwitcherPipBorderWidth = 0x9F,   // 0..6
  kSwitcherPipX = 0xA0,             // u16 little-endian pixels
  kSwitcherPipY = 0xA1,
  kSwitcherPipWidth = 0xA2,
};

struct SwitcherCommandNameRow {
  uint8_t command;
  const char* name;
};
// What the status strip calls each command.
inline constexpr std::array<SwitcherCommandNameRow, 29> kSwitcherCommandNames{{
    {kSwitcherPgmSource, "Program"},       {kSwitcherPvmSource, "Preview"},
    {kSwitcherTbar, "T-bar"},              {kSwitcherCut, "Cut"},
    {kSwitcherAuto, "Auto"},               {kSwitcherFtb, "Fade to black"},
    {kSwitcherPip, "PIP"},                 {kSwitcherOnAir, "ON AIR"},
    {kSwitcherOnAir2, "ON AIR 2"},         {kSwitcherBkgd, "BKGD"},
    {kSwitcherKey1, "KEY 1"},              {kSwitcherKey2, "KEY 2"},
    {kSwitcherMix, "Mix"},                 {kSwitcherDip, "Dip"},
    {kSwitcherWipe, "Wipe"},               {kSwitcherDipSource, "Dip source"},
    {kSwitcherWipeSource, "Wipe source"},  {kSwitcherWipePattern, "Wipe pattern"},
    {kSwitcherLumaSource, "Luma source"},  {kSwitcherLumaLevels, "Luma levels"},
    {kSwitcherChromaSource, "Chroma source"}, {kSwitcherChromaType, "Chroma type"},
    {kSwitcherChromaLevels, "Chroma levels"}, {kSwitcherPipSource, "PIP source"},
    {kSwitcherPipBorderEnable, "PIP border"}, {kSwitcherPipBorderColor, "PIP border colour"},
    {kSwitcherPipBorderWidth, "PIP border width"}, {kSwitcherPipX, "PIP position"},
    {kSwitcherPipWidth, "PIP size"},
}};

inline const char* SwitcherCommandName(uint8_t command) {
  for (const SwitcherCommandNameRow& row : kSwitcherCommandNames)
    if (row.command == command) return row.name;
  if (command == kSwitcherPipY) return "PIP position";
  return "Command";
}

}  // namespace zv
