#include "tools/zrhost/png_writer.h"

#include "tools/zrhost/output_file.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace zrhost {

void writePng(const std::filesystem::path& path, int width, int height, int stride,
              std::span<const std::uint32_t> pixels) {
    if (width <= 0 || height <= 0 || stride < width ||
        pixels.size() < static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1) +
                            static_cast<std::size_t>(width))
        throw OutputError(path.string() + ": no picture to write");
    OutputFile file(path);
    FILE* out = ::fdopen(file.release(), "wb");
    if (!out) throw OutputError(path.string() + ": cannot write the file");

    // Everything with a destructor lives before the jump target of libpng's error handling.
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(out);
        throw OutputError(path.string() + ": cannot write the PNG file");
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* src = pixels.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = src[x]; // 0x00BBGGRR
            row[static_cast<std::size_t>(x) * 3 + 0] = static_cast<png_byte>(c & 0xFF);
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<png_byte>((c >> 8) & 0xFF);
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<png_byte>((c >> 16) & 0xFF);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(out) != 0) throw OutputError(path.string() + ": cannot write the file");
    file.commit();
}

} // namespace zrhost
