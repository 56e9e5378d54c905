// Writes the program's hand pointer as a Windows cursor file (ICO-style directory, one 32 x 32 image,
// 32-bit BGRA bitmap with its AND mask), drawn below as text: '#' outline, 'o' fill, '.' transparent.
// usage: makecursor OUTPUT
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int size = 32;
constexpr int hotspotX = 9;
constexpr int hotspotY = 1;

const char* const drawing[size] = {
    "........##......................", ".......#oo#.....................", ".......#oo#.....................",
    ".......#oo#.....................", ".......#oo#.....................", ".......#oo###...................",
    ".......#oo#oo###................", ".......#oo#oo#oo##..............", ".......#oo#oo#oo#o#.............",
    "...###.#oo#oo#oo#oo#............", "...#oo##oooooooo#oo#............", "...#ooo#ooooooooooo#............",
    "....#oo#ooooooooooo#............", ".....#oooooooooooooo#...........", ".....#oooooooooooooo#...........",
    "......#ooooooooooooo#...........", "......#oooooooooooo#............", ".......#ooooooooooo#............",
    ".......#oooooooooo#.............", "........#ooooooooo#.............", "........#ooooooooo#.............",
    "........###########.............", "................................", "................................",
    "................................", "................................", "................................",
    "................................", "................................", "................................",
    "................................", "................................",
};

void put16(std::vector<unsigned char>& out, unsigned value)
{
    out.push_back(static_cast<unsigned char>(value & 0xff));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xff));
}

void put32(std::vector<unsigned char>& out, std::uint32_t value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: makecursor OUTPUT\n");
        return 2;
    }
    constexpr std::uint32_t maskRowBytes = 4; // 32 bits, already a multiple of four bytes
    constexpr std::uint32_t imageBytes = 40 + size * size * 4 + size * maskRowBytes;
    std::vector<unsigned char> out;
    // Directory: reserved, type 2 (cursor), one image.
    put16(out, 0);
    put16(out, 2);
    put16(out, 1);
    // Entry: width, height, colours, reserved, hotspot, size and offset of the image.
    out.push_back(size);
    out.push_back(size);
    out.push_back(0);
    out.push_back(0);
    put16(out, hotspotX);
    put16(out, hotspotY);
    put32(out, imageBytes);
    put32(out, 6 + 16);
    // Bitmap header: the height counts the colour image and the mask.
    put32(out, 40);
    put32(out, size);
    put32(out, size * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, size * size * 4 + size * maskRowBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    // Colour rows, bottom-up, blue green red alpha.
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const char pixel = drawing[y][x];
            const unsigned char grey = pixel == 'o' ? 0xff : 0x00;
            const unsigned char alpha = pixel == '.' ? 0x00 : 0xff;
            out.insert(out.end(), {grey, grey, grey, alpha});
        }
    }
    // AND mask rows, bottom-up: 1 where the screen shows through.
    for (int y = size - 1; y >= 0; --y) {
        for (std::uint32_t byte = 0; byte < maskRowBytes; ++byte) {
            unsigned char bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (drawing[y][byte * 8 + bit] == '.')
                    bits |= static_cast<unsigned char>(0x80 >> bit);
            }
            out.push_back(bits);
        }
    }
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file) {
        std::fprintf(stderr, "makecursor: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
