#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrelsim {

constexpr int PortraitWidth = 102;
constexpr int PortraitHeight = 126;

struct Rgb {
    uint8_t r, g, b;
};

// Colours of the drawn placeholder figure; tests look for the background on screen.
constexpr Rgb PortraitBackground{0x6f, 0xa8, 0xdc};
constexpr Rgb PortraitFace{0xe8, 0xc3, 0x9e};
constexpr Rgb PortraitClothes{0x2f, 0x3e, 0x4f};

// The placeholder portrait as a 24-bit BMP file's bytes.
std::vector<uint8_t> portraitBmp();

// The folder for the simulator's files: $XDG_RUNTIME_DIR/kestrel-sim, or kestrel-sim-UID in
// $TMPDIR or /tmp, created with mode 0700; empty when it exists but is not ours alone.
std::string privateFolder();

// Writes the portrait into the private folder; its absolute path, or empty on failure.
std::string writePortrait();

}
