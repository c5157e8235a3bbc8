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
  const char* name;     // what the status strip calls it
  const char* monitor;  // what the frame monitor calls it
};
// What the status strip and the frame monitor call each command.
inline constexpr std::array<SwitcherCommandNameRow, 30> kSwitcherCommandNames{{
    {kSwitcherPgmSource, "Program", "program source"},
    {kSwitcherPvmSource, "Preview", "preview source"},
    {kSwitcherTbar, "T-bar", "T-bar"},
    {kSwitcherCut, "Cut", "cut"},
    {kSwitcherAuto, "Auto", "auto"},
    {kSwitcherFtb, "Fade to black", "fade to black"},
    {kSwitcherPip, "PIP", "PIP"},
    {kSwitcherOnAir, "ON AIR", "on air"},
    {kSwitcherOnAir2, "ON AIR 2", "on air 2"},
    {kSwitcherBkgd, "BKGD", "background"},
    {kSwitcherKey1, "KEY 1", "key 1"},
    {kSwitcherKey2, "KEY 2", "key 2"},
    {kSwitcherMix, "Mix", "mix"},
    {kSwitcherDip, "Dip", "dip"},
    {kSwitcherWipe, "Wipe", "wipe"},
    {kSwitcherDipSource, "Dip source", "dip source"},
    {kSwitcherWipeSource, "Wipe source", "wipe source"},
    {kSwitcherWipePattern, "Wipe pattern", "wipe pattern"},
    {kSwitcherLumaSource, "Luma source", "luma key source"},
    {kSwitcherLumaLevels, "Luma levels", "luma key levels"},
    {kSwitcherChromaSource, "Chroma source", "chroma key source"},
    {kSwitcherChromaType, "Chroma type", "chroma key type"},
    {kSwitcherChromaLevels, "Chroma levels", "chroma key levels"},
    {kSwitcherPipSource, "PIP source", "PIP source"},
    {kSwitcherPipBorderEnable, "PIP border", "PIP border on/off"},
    {kSwitcherPipBorderColor, "PIP border colour", "PIP border colour"},
    {kSwitcherPipBorderWidth, "PIP border width", "PIP border width"},
    {kSwitcherPipX, "PIP position", "PIP position x"},
    {kSwitcherPipY, "PIP position", "PIP position y"},
    {kSwitcherPipWidth, "PIP size", "PIP width"},
}};

inline const char* SwitcherCommandName(uint8_t command) {
  for (const SwitcherCommandNameRow& row : kSwitcherCommandNames)
    if (row.command == command) return row.name;
  return "Command";
}

}  // namespace zv
