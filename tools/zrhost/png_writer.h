// PNG pictures of drawing surfaces through libpng, written whole or not at all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace zrhost {

// Writes width × height pixels given as COLORREF values (0x00BBGGRR, rows top first, `stride`
// pixels apart) as an 8-bit RGB PNG. Throws OutputError.
void writePng(const std::filesystem::path& path, int width, int height, int stride,
              std::span<const std::uint32_t> pixels);

} // namespace zrhost
