// PNG reading and writing through libpng's simplified interface.
#include "virtual/png_page.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace ordavel::virtual_scanner {

RasterPage::RasterPage(std::string name, int columns, int rows, double dpi, int channels, std::vector<uint8_t> pixels)
    : Page(std::move(name), columns / dpi, rows / dpi, channels == 3),
      columns_(columns),
      rows_(rows),
      channels_(channels),
      dpi_(dpi),
      pixels_(std::move(pixels)) {}

float RasterPage::reflectance(double x, double y, Channel channel) const {
    const int c = std::clamp(static_cast<int>(x * dpi_), 0, columns_ - 1);
    const int r = std::clamp(static_cast<int>(y * dpi_), 0, rows_ - 1);
    const int k = channels_ == 3 ? static_cast<int>(channel) : 0;
    return pixels_[(static_cast<std::size_t>(r) * columns_ + c) * channels_ + k] / 255.0f;
}

void RasterPage::sampleRow(double y, double x0, double dx, int count, Channel channel, float* out) const {
    const int r = std::clamp(static_cast<int>(y * dpi_), 0, rows_ - 1);
    const int k = channels_ == 3 ? static_cast<int>(channel) : 0;
    const uint8_t* row = pixels_.data() + static_cast<std::size_t>(r) * columns_ * channels_;
    for (int i = 0; i < count; ++i) {
        const int c = std::clamp(static_cast<int>((x0 + dx * i) * dpi_), 0, columns_ - 1);
        out[i] = row[static_cast<std::size_t>(c) * channels_ + k] / 255.0f;
    }
}

std::shared_ptr<const Page> LoadPngPage(const std::string& path, double dpi, std::string& error) {
    if (!(dpi > 0)) {
        error = "resolution of " + path + " must be positive";
        return nullptr;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": " + image.message;
        return nullptr;
    }
    const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&image, &white, pixels.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return nullptr;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    return std::make_shared<RasterPage>(name, static_cast<int>(image.width), static_cast<int>(image.height), dpi,
                                        colour ? 3 : 1, std::move(pixels));
}

bool WritePagePng(const Page& page, double dpi, const std::string& path, std::string& error) {
    const int columns = static_cast<int>(std::lround(page.widthInches() * dpi));
    const int rows = static_cast<int>(std::lround(page.heightInches() * dpi));
    if (columns <= 0 || rows <= 0) {
        error = "the page has no pixels at that resolution";
        return false;
    }
    const int channels = page.colour() ? 3 : 1;
    std::vector<uint8_t> pixels(static_cast<std::size_t>(columns) * rows * channels);
    std::vector<float> row(static_cast<std::size_t>(columns));
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < channels; ++k) {
            const Channel channel = channels == 3 ? static_cast<Channel>(k) : Channel::Green;
            page.sampleRow((r + 0.5) / dpi, 0.5 / dpi, 1.0 / dpi, columns, channel, row.data());
            for (int c = 0; c < columns; ++c) {
                const float v = std::clamp(row[static_cast<std::size_t>(c)], 0.0f, 1.0f);
                pixels[(static_cast<std::size_t>(r) * columns + c) * channels + k] =
                    static_cast<uint8_t>(std::lround(v * 255.0f));
            }
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(columns);
    image.height = static_cast<png_uint_32>(rows);
    image.format = channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    if (!png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        return false;
    }
    return true;
}

}  // namespace ordavel::virtual_scanner
