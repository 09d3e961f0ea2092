// Scaling a picture down to the size option: decode (JPEG or PNG), average the source pixels that
// fall on each output pixel, encode as JPEG.
#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <png.h>

#include "tags/FullTags.h"

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // 3 bytes a pixel, rows top to bottom
};

// libjpeg reports errors by calling error_exit, which must not return.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// The library would print its warnings on standard error; a damaged picture is kept as it is instead.
void JpegQuiet(j_common_ptr) {}

// Limits what a damaged or hostile header can make us allocate.
constexpr std::uint64_t kMaxPixels = 100'000'000;

bool HeaderFits(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width * height <= kMaxPixels;
}

// Only the size when `pixels` is false.
std::optional<Image> DecodeJpeg(const std::vector<std::uint8_t>& data, bool pixels) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = &JpegFail;
    error.mgr.output_message = &JpegQuiet;
    Image image;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !HeaderFits(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    image.width = static_cast<int>(info.image_width);
    image.height = static_cast<int>(info.image_height);
    if (pixels) {
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row =
                image.rgb.data() + static_cast<std::size_t>(info.output_scanline) * image.width * 3;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    }
    // A cut or damaged picture decodes with grey in place of what is missing: keep the original.
    const bool damaged = error.mgr.num_warnings > 0;
    jpeg_destroy_decompress(&info);
    if (damaged) return std::nullopt;
    return image;
}

std::optional<Image> DecodePng(const std::vector<std::uint8_t>& data, bool pixels) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data.data(), data.size())) return std::nullopt;
    if (!HeaderFits(png.width, png.height)) {
        png_image_free(&png);
        return std::nullopt;
    }
    Image image;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    if (!pixels) {
        png_image_free(&png);
        return image;
    }
    png.format = PNG_FORMAT_RGB;
    image.rgb.resize(PNG_IMAGE_SIZE(png));
    // Transparent parts come out over white, as a player shows a cover.
    png_color white{255, 255, 255};
    if (!png_image_finish_read(&png, &white, image.rgb.data(), 0, nullptr)) return std::nullopt;
    return image;
}

std::optional<Image> Decode(const std::vector<std::uint8_t>& data, bool pixels) {
    if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return DecodeJpeg(data, pixels);
    if (data.size() >= 8 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')
        return DecodePng(data, pixels);
    return std::nullopt;
}

Image Scale(const Image& in, int width, int height) {
    Image out;
    out.width = width;
    out.height = height;
    out.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const int y0 = static_cast<int>(static_cast<std::int64_t>(y) * in.height / height);
        const int y1 =
            std::max(y0 + 1, static_cast<int>(static_cast<std::int64_t>(y + 1) * in.height / height));
        for (int x = 0; x < width; ++x) {
            const int x0 = static_cast<int>(static_cast<std::int64_t>(x) * in.width / width);
            const int x1 =
                std::max(x0 + 1, static_cast<int>(static_cast<std::int64_t>(x + 1) * in.width / width));
            std::uint64_t sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += in.rgb[(static_cast<std::size_t>(sy) * in.width + sx) * 3 + c];
            const std::uint64_t n = static_cast<std::uint64_t>(y1 - y0) * static_cast<std::uint64_t>(x1 - x0);
            for (int c = 0; c < 3; ++c)
                out.rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
                    static_cast<std::uint8_t>((sum[c] + n / 2) / n);
        }
    }
    return out;
}

std::vector<std::uint8_t> EncodeJpeg(const Image& image) {
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = &JpegFail;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> result;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(image.rgb.data() +
                                         static_cast<std::size_t>(info.next_scanline) * image.width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    result.assign(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return result;
}

}  // namespace

void LimitPictureSize(TagPicture& picture, int maxPixels) {
    if (maxPixels <= 0) return;
    const std::optional<Image> header = Decode(picture.data, false);
    if (!header || (header->width <= maxPixels && header->height <= maxPixels)) return;
    const std::optional<Image> full = Decode(picture.data, true);
    if (!full) return;
    const bool wide = full->width >= full->height;
    const auto longSide = static_cast<std::int64_t>(wide ? full->width : full->height);
    const auto shortSide = static_cast<std::int64_t>(wide ? full->height : full->width);
    const int scaledShort =
        static_cast<int>(std::max<std::int64_t>(1, (shortSide * maxPixels + longSide / 2) / longSide));
    const Image scaled = Scale(*full, wide ? maxPixels : scaledShort, wide ? scaledShort : maxPixels);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(scaled);
    if (jpeg.empty()) return;
    picture.data = std::move(jpeg);
    picture.mime = "image/jpeg";
}
