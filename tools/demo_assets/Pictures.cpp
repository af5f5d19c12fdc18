#include "Pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace demo_assets {

namespace {

using Rgba = std::array<float, 4>;
// Paints the pixel at (u, v), both in [0, 1), v up.
using Painter = std::function<Rgba(float u, float v)>;

float Clamp01(float x) { return std::clamp(x, 0.0f, 1.0f); }
unsigned char Byte(float x) { return static_cast<unsigned char>(std::lround(Clamp01(x) * 255.0f)); }
float Smooth(float e0, float e1, float x) {
  const float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}
float Mix(float a, float b, float t) { return a + (b - a) * t; }

// Value noise on a lattice that wraps every `period` cells, so textures tile.
float Lattice(int x, int y, int period, unsigned salt) {
  x = ((x % period) + period) % period;
  y = ((y % period) + period) % period;
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + salt * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

float Noise(float u, float v, int period, unsigned salt) {
  const float x = u * static_cast<float>(period), y = v * static_cast<float>(period);
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  const float fx = Smooth(0, 1, x - static_cast<float>(ix)), fy = Smooth(0, 1, y - static_cast<float>(iy));
  return Mix(Mix(Lattice(ix, iy, period, salt), Lattice(ix + 1, iy, period, salt), fx),
             Mix(Lattice(ix, iy + 1, period, salt), Lattice(ix + 1, iy + 1, period, salt), fx), fy);
}

// Octaves of noise, tiling, in [0, 1].
float Fbm(float u, float v, int period, unsigned salt, int octaves = 5) {
  float sum = 0, weight = 0.5f, total = 0;
  for (int i = 0; i < octaves; ++i, period *= 2, weight *= 0.5f) {
    sum += weight * Noise(u, v, period, salt + static_cast<unsigned>(i));
    total += weight;
  }
  return sum / total;
}

// Rows of a picture, bottom row first.
std::vector<Rgba> Paint(int width, int height, const Painter& painter) {
  std::vector<Rgba> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      pixels.push_back(painter((static_cast<float>(x) + 0.5f) / static_cast<float>(width),
                               (static_cast<float>(y) + 0.5f) / static_cast<float>(height)));
    }
  }
  return pixels;
}

// PPM (colour) or PGM (the alpha as grey), rows from the top.
void WriteNetpbm(const std::filesystem::path& path, int width, int height, const Painter& painter, bool alphaAsGrey) {
  const std::vector<Rgba> pixels = Paint(width, height, painter);
  std::ofstream out(path, std::ios::binary);
  out << (alphaAsGrey ? "P5\n" : "P6\n") << width << " " << height << "\n255\n";
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgba& p = pixels[static_cast<std::size_t>(y * width + x)];
      if (alphaAsGrey) {
        out.put(static_cast<char>(Byte(p[3])));
      } else {
        for (int c = 0; c < 3; ++c) out.put(static_cast<char>(Byte(p[static_cast<std::size_t>(c)])));
      }
    }
  }
}

// Uncompressed TGA, bottom row first; 32 bits with alpha.
void WriteTga(const std::filesystem::path& path, int width, int height, const Painter& painter, bool alpha) {
  const std::vector<Rgba> pixels = Paint(width, height, painter);
  std::ofstream out(path, std::ios::binary);
  const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    static_cast<unsigned char>(width), static_cast<unsigned char>(width >> 8),
                                    static_cast<unsigned char>(height), static_cast<unsigned char>(height >> 8),
                                    static_cast<unsigned char>(alpha ? 32 : 24), static_cast<unsigned char>(alpha ? 8 : 0)};
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  for (const Rgba& p : pixels) {
    out.put(static_cast<char>(Byte(p[2])));
    out.put(static_cast<char>(Byte(p[1])));
    out.put(static_cast<char>(Byte(p[0])));
    if (alpha) out.put(static_cast<char>(Byte(p[3])));
  }
}

// 5 x 7 capitals, top row first, for the few words the pictures spell.
const char* Glyph(char c) {
  switch (c) {
    case 'A':
      return " ### "
             "#   #"
             "#   #"
             "#####"
             "#   #"
             "#   #"
             "#   #";
    case 'D':
      return "#### "
             "#   #"
             "#   #"
             "#   #"
             "#   #"
             "#   #"
             "#### ";
    case 'E':
      return "#####"
             "#    "
             "#    "
             "#### "
             "#    "
             "#    "
             "#####";
    case 'G':
      return " ### "
             "#   #"
             "#    "
             "# ###"
             "#   #"
             "#   #"
             " ### ";
    case 'I':
      return " ### "
             "  #  "
             "  #  "
             "  #  "
             "  #  "
             "  #  "
             " ### ";
    case 'K':
      return "#   #"
             "#  # "
             "# #  "
             "##   "
             "# #  "
             "#  # "
             "#   #";
    case 'L':
      return "#    "
             "#    "
             "#    "
             "#    "
             "#    "
             "#    "
             "#####";
    case 'N':
      return "#   #"
             "##  #"
             "# # #"
             "#  ##"
             "#   #"
             "#   #"
             "#   #";
    case 'O':
      return " ### "
             "#   #"
             "#   #"
             "#   #"
             "#   #"
             "#   #"
             " ### ";
    case 'R':
      return "#### "
             "#   #"
             "#   #"
             "#### "
             "# #  "
             "#  # "
             "#   #";
    case 'S':
      return " ####"
             "#    "
             "#    "
             " ### "
             "    #"
             "    #"
             "#### ";
    case 'T':
      return "#####"
             "  #  "
             "  #  "
             "  #  "
             "  #  "
             "  #  "
             "  #  ";
    case 'W':
      return "#   #"
             "#   #"
             "#   #"
             "# # #"
             "# # #"
             "## ##"
             "#   #";
    default:
      return "                                   ";
  }
}

// Distance, in glyph cells, from (x, y) to the nearest lit cell of text
// centred on (cx, cy); cell is one cell's width, aspect its height over width.
float TextDistance(const std::string& text, float x, float y, float cx, float cy, float cell, float aspect) {
  const float width = (static_cast<float>(text.size()) * 6 - 1) * cell, height = 7 * cell * aspect;
  const float left = cx - width / 2, top = cy + height / 2;
  float best = 1e9f;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* g = Glyph(text[i]);
    for (int r = 0; r < 7; ++r) {
      for (int c = 0; c < 5; ++c) {
        if (g[r * 5 + c] != '#') continue;
        const float x0 = left + (static_cast<float>(i) * 6 + static_cast<float>(c)) * cell;
        const float y1 = top - static_cast<float>(r) * cell * aspect;
        const float dx = std::max({x0 - x, 0.0f, x - (x0 + cell)}) / cell;
        const float dy = std::max({(y1 - cell * aspect) - y, 0.0f, y - y1}) / (cell * aspect);
        best = std::min(best, std::sqrt(dx * dx + dy * dy));
      }
    }
  }
  return best;
}

Rgba LoadingPicture(float u, float v) {
  const float du = u - 0.5f, dv = v - 0.5f;
  const float glow = std::exp(-8.0f * (du * du + dv * dv));
  const float d = TextDistance("LOADING", u, v, 0.5f, 0.5f, 0.022f, 4.0f / 3.0f);
  const float letters = 1.0f - Smooth(0.0f, 0.15f, d);
  const float halo = std::exp(-d * 0.9f) * 0.5f;
  return {0.05f + 0.15f * glow + letters + halo * 0.2f, 0.07f + 0.2f * glow + letters * 0.9f + halo * 0.5f,
          0.15f + 0.4f * glow + letters * 0.8f + halo, 1};
}

// Dusk: deep blue above, orange at the horizon (a third of the way up), the
// sun's haze on the left, dark hills below.
Rgba Sky(float u, float v) {
  const float h = v - 0.36f;
  const float up = Smooth(0.0f, 0.6f, h);
  float r = Mix(1.0f, 0.10f, up), g = Mix(0.55f, 0.12f, up), b = Mix(0.35f, 0.32f, up);
  const float du = (u - 0.3f) * 1.3f, dv = h;
  const float haze = std::exp(-12.0f * (du * du + dv * dv));
  r += haze * 0.6f;
  g += haze * 0.45f;
  b += haze * 0.2f;
  const float cloud = Smooth(0.55f, 0.8f, Fbm(u * 2.0f, v * 6.0f, 4, 9)) * Smooth(0.02f, 0.25f, h) * (1 - up);
  r = Mix(r, 0.9f, cloud * 0.5f);
  g = Mix(g, 0.5f, cloud * 0.5f);
  b = Mix(b, 0.45f, cloud * 0.5f);
  const float ridge = 0.33f + 0.05f * Fbm(u, 0.5f, 6, 3, 3) - 0.03f;
  if (v < ridge) return {0.16f, 0.08f, 0.12f, 1};
  const float star = Lattice(static_cast<int>(u * 256), static_cast<int>(v * 256), 256, 5) > 0.995f ? up : 0.0f;
  return {r + star, g + star, b + star, 1};
}

Rgba Title(float u, float v) {
  // Stretched to 4:3 on screen: cells are drawn 3/4 as tall to look square.
  const float d = TextDistance("STAGWERK", u, v, 0.5f, 0.55f, 0.018f, 4.0f / 3.0f);
  const float letters = 1.0f - Smooth(0.0f, 0.12f, d);
  const float glow = std::exp(-d * 0.7f);
  const float band = std::exp(-std::pow((v - 0.55f) / 0.12f, 2.0f)) * 0.35f;
  const float a = std::max({letters, glow * 0.8f, band});
  const float shine = 0.85f + 0.15f * std::sin(u * 40.0f);
  return {Mix(1.0f, 1.0f, letters) * shine, Mix(0.55f, 0.92f, letters) * shine, Mix(0.2f, 0.7f, letters), a};
}

Rgba Rock(float u, float v) {
  const float n = Fbm(u, v, 8, 1);
  const float crack = Smooth(0.02f, 0.0f, std::fabs(Fbm(u, v, 4, 2, 3) - 0.5f));
  const float k = 0.45f + 0.55f * n - 0.3f * crack;
  return {0.62f * k + 0.08f, 0.5f * k + 0.06f, 0.42f * k + 0.05f, 1};
}

// Broad patches of light and shade and a path of lighter sand along the
// middle, laid once over the whole ground by the second texture layer.
Rgba Shade(float u, float v) {
  const float n = Fbm(u, v, 4, 11, 4);
  const float path = std::exp(-std::pow((u - 0.5f) / 0.06f, 2.0f)) * 0.35f;
  const float k = 0.55f + 0.6f * n + path;
  return {k * 1.0f, k * 0.9f, k * 0.85f, 1};
}

Rgba Runes(float u, float v) {
  const float stone = 0.18f + 0.12f * Fbm(u, v, 8, 21);
  const int cx = static_cast<int>(u * 4), cy = static_cast<int>(v * 8);
  const float fx = u * 4 - static_cast<float>(cx), fy = v * 8 - static_cast<float>(cy);
  const float pattern = Lattice(cx, cy, 64, 22);
  float line = 0;
  if (pattern > 0.3f) line = std::max(line, Smooth(0.07f, 0.02f, std::fabs(fx - 0.5f)) * (fy > 0.2f && fy < 0.8f));
  if (pattern > 0.55f) line = std::max(line, Smooth(0.07f, 0.02f, std::fabs(fy - 0.5f)) * (fx > 0.2f && fx < 0.8f));
  if (pattern < 0.3f) line = std::max(line, Smooth(0.06f, 0.02f, std::fabs(std::hypot(fx - 0.5f, fy - 0.5f) - 0.25f)));
  return {stone + 0.2f * line, stone + 0.8f * line, stone + 1.0f * line, 1};
}

Rgba Metal(float u, float v) {
  const float brushed = 0.55f + 0.15f * Noise(u * 0.05f, v, 64, 31) + 0.1f * Fbm(u, v, 8, 32, 2);
  const float fu = std::fmod(u * 2, 1.0f), fv = std::fmod(v * 2, 1.0f);
  const float seam = Smooth(0.03f, 0.01f, std::min({fu, fv, 1 - fu, 1 - fv}));
  const float rivet = Smooth(0.05f, 0.03f, std::hypot(std::fabs(fu - 0.5f) - 0.4f, std::fabs(fv - 0.5f) - 0.4f));
  const float k = brushed * (1 - 0.6f * seam) + 0.3f * rivet;
  return {k * 0.95f, k * 0.85f, k * 0.7f, 1};
}

Rgba Tiles(float u, float v) {
  const float fu = std::fmod(u * 4, 1.0f), fv = std::fmod(v * 4, 1.0f);
  const int parity = (static_cast<int>(u * 4) + static_cast<int>(v * 4)) % 2;
  const float grout = Smooth(0.04f, 0.02f, std::min({fu, fv, 1 - fu, 1 - fv}));
  const float k = (parity ? 0.55f : 0.32f) + 0.1f * Fbm(u, v, 8, 41, 3);
  const float g = 1 - grout;
  return {k * 0.6f * g + grout * 0.05f, k * 0.65f * g + grout * 0.3f, k * 0.8f * g + grout * 0.5f, 1};
}

Rgba Nebula(float u, float v) {
  const float a = Fbm(u, v, 4, 51), b = Fbm(u + 0.3f, v, 4, 52);
  const float cloud = Smooth(0.4f, 0.8f, a);
  const float star = Lattice(static_cast<int>(u * 256), static_cast<int>(v * 256), 256, 53) > 0.993f ? 0.8f : 0.0f;
  return {0.02f + 0.35f * cloud * b + star, 0.02f + 0.1f * cloud + star, 0.08f + 0.45f * cloud * (1 - b) + star, 1};
}

Rgba Spark(float u, float v) {
  const float du = u - 0.5f, dv = v - 0.5f;
  const float r = std::sqrt(du * du + dv * dv) * 2;
  const float core = std::exp(-r * r * 12.0f);
  const float rays = std::exp(-std::fabs(du) * 60.0f) * std::exp(-std::fabs(dv) * 6.0f) +
                     std::exp(-std::fabs(dv) * 60.0f) * std::exp(-std::fabs(du) * 6.0f);
  const float k = Clamp01(core + 0.5f * rays) * Smooth(1.0f, 0.8f, r);
  return {k, k, k, k};
}

// Seen in a sphere map: sky above, bright horizon, warm floor below.
Rgba Chrome(float u, float v) {
  const float du = u - 0.5f, dv = v - 0.5f;
  const float y = dv * 2;
  const float r = std::sqrt(du * du + dv * dv) * 2;
  const float horizon = std::exp(-std::pow(y / 0.08f, 2.0f));
  float red = y > 0 ? Mix(0.5f, 0.15f, y) : Mix(0.45f, 0.15f, -y);
  float green = y > 0 ? Mix(0.6f, 0.25f, y) : Mix(0.3f, 0.1f, -y);
  float blue = y > 0 ? Mix(0.9f, 0.6f, y) : Mix(0.25f, 0.08f, -y);
  const float window = (std::fabs(du + 0.18f) < 0.06f && dv > 0.12f && dv < 0.35f) ? 0.8f : 0.0f;
  red += horizon + window;
  green += horizon + window;
  blue += horizon * 0.9f + window;
  const float edge = Smooth(1.0f, 0.9f, r);
  return {red * edge, green * edge, blue * edge, 1};
}

// A lens flare: a hot centre, rays and a faint ring, tinted.
Painter Flare(float red, float green, float blue) {
  return [=](float u, float v) {
    const float du = u - 0.5f, dv = v - 0.5f;
    const float r = std::sqrt(du * du + dv * dv) * 2;
    const float angle = std::atan2(dv, du);
    const float core = std::exp(-r * r * 30.0f);
    const float glow = std::exp(-r * 4.0f) * 0.6f;
    const float rays = std::pow(std::fabs(std::cos(angle * 4.0f)), 30.0f) * std::exp(-r * 3.0f) * 0.7f +
                       std::pow(std::fabs(std::cos(angle * 7.0f + 0.4f)), 60.0f) * std::exp(-r * 5.0f) * 0.4f;
    const float ring = std::exp(-std::pow((r - 0.7f) / 0.03f, 2.0f)) * 0.25f;
    const float k = (glow + rays + ring) * Smooth(1.0f, 0.92f, r);
    return Rgba{core + k * red, core + k * green, core + k * blue, 1};
  };
}

}  // namespace

void WritePictures(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  const auto jpeg = [&](const char* name, int size, const Painter& painter) {
    WriteNetpbm(dir / (std::string(name) + ".ppm"), size, size, painter, false);
  };
  jpeg("PleaseWaitLoading", 256, LoadingPicture);
  jpeg("Rock", 256, Rock);
  jpeg("Shade", 128, Shade);
  jpeg("Runes", 128, Runes);
  jpeg("Metal", 128, Metal);
  jpeg("Tiles", 256, Tiles);
  jpeg("Nebula", 256, Nebula);
  jpeg("Spark", 64, Spark);
  WriteNetpbm(dir / "Spark.a.pgm", 64, 64, Spark, true);  // its opacity
  jpeg("Chrome", 256, Chrome);
  jpeg("Sun", 128, Flare(1.0f, 0.7f, 0.4f));
  jpeg("Core", 128, Flare(0.4f, 0.8f, 1.0f));
  jpeg("Nova", 128, Flare(1.0f, 0.5f, 0.9f));
  WriteTga(dir / "Sky.tga", 256, 256, Sky, false);
  WriteTga(dir / "Title.tga", 512, 256, Title, true);
}

}  // namespace demo_assets
