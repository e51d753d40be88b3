// SPDX-License-Identifier: GPL-3.0-or-later
// Loading screens, display models and region files, on fixtures made here.
#include "screen/image.h"
#include "screen/regions.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using vistrel::screen::DisplayModel;
using vistrel::screen::ScreenSource;
using vistrel::screen::Transfer;

class Files {
  public:
    std::string path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

  private:
    QTemporaryDir dir_;
};

ScreenSource display(std::optional<Transfer> transfer = {}, double gamma = 2.2) {
    DisplayModel d;
    d.whiteCdm2 = 101.0;
    d.blackCdm2 = 1.0;
    d.transfer = transfer;
    d.gamma = gamma;
    d.pixelPitchMm = 0.25;
    return {d, {}};
}

ScreenSource luminance() { return {{}, 0.2}; }

// Rows listed top first; the file holds them bottom first.
std::string pfm(int w, int h, const std::vector<float>& topFirst, bool bigEndian, const char* magic = "Pf") {
    std::string out = std::string(magic) + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n" +
                      (bigEndian ? "1.0" : "-1.0") + "\n";
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            auto bits = std::bit_cast<std::uint32_t>(topFirst[static_cast<std::size_t>(y * w + x)]);
            for (int b = 0; b < 4; ++b) {
                out += static_cast<char>(bits >> (8 * (bigEndian ? 3 - b : b)) & 0xFFU);
            }
        }
    }
    return out;
}

// An uncompressed little-endian float TIFF in a single strip.
std::string floatTiff(int w, int h, const std::vector<float>& values) {
    std::string out("II*\0\x08\0\0\0", 8);
    auto put = [&](std::uint32_t v, int bytes) {
        for (int b = 0; b < bytes; ++b) {
            out += static_cast<char>(v >> (8 * b) & 0xFFU);
        }
    };
    const auto uw = static_cast<std::uint32_t>(w);
    const auto uh = static_cast<std::uint32_t>(h);
    const std::uint32_t entries[][3] = {{256, 4, uw},  {257, 4, uh}, {258, 3, 32}, {259, 3, 1},           {262, 3, 1},
                                        {273, 4, 134}, {277, 3, 1},  {278, 4, uh}, {279, 4, uw * uh * 4}, {339, 3, 3}};
    put(10, 2);
    for (const auto& [tag, type, value] : entries) {
        put(tag, 2), put(type, 2), put(1, 4), put(value, 4);
    }
    put(0, 4);
    std::string samples(values.size() * 4, '\0');
    std::memcpy(samples.data(), values.data(), samples.size()); // this machine is little-endian
    return out + samples;
}

std::string encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, quality));
    return bytes.toStdString();
}

QImage filled(QImage::Format format, const QColor& colour, int w = 4, int h = 3) {
    QImage image(w, h, format);
    image.fill(colour);
    return image;
}

// ---- Code values to light ----

struct TransferRow {
    std::optional<Transfer> transfer;
    double gamma;
    int code;
    double linear;
};

TEST(LoadScreen, EachTransferOnKnownCodeValues) {
    const TransferRow rows[] = {
        {Transfer::Srgb, 2.2, 128, 0.2158605},
        {std::nullopt, 2.2, 128, 0.2158605},
        {Transfer::Srgb, 2.2, 10, 10 / 255.0 / 12.92},
        {Transfer::Srgb, 2.2, 255, 1.0},
        {Transfer::Linear, 2.2, 128, 128 / 255.0},
        {Transfer::Gamma, 2.2, 128, std::pow(128 / 255.0, 2.2)},
        {Transfer::Gamma, 1.8, 64, std::pow(64 / 255.0, 1.8)},
        {Transfer::Srgb, 2.2, 0, 0.0},
    };
    const Files files;
    for (const auto& row : rows) {
        const auto file = files.write(
            "grey.png", encoded(filled(QImage::Format_Grayscale8, QColor(row.code, row.code, row.code)), "PNG"));
        const auto image = vistrel::screen::loadScreen(file, display(row.transfer, row.gamma));
        ASSERT_TRUE(image) << image.error().text();
        EXPECT_NEAR(image->at(3, 2), 1.0 + 100.0 * row.linear, 2e-5) << row.code;
        EXPECT_EQ(image->mmPerPixel, 0.25);
        EXPECT_EQ(image->assumptions.size(), row.transfer ? 0U : 1U);
    }
}

TEST(LoadScreen, SixteenBitsAndPalettesMatchTheirEightBitTwins) {
    const Files files;
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(200, 30, 90), qRgb(12, 250, 77)});
    indexed.setPixel(0, 0, 1);
    indexed.setPixel(1, 0, 0);
    const QImage rgb = indexed.convertToFormat(QImage::Format_RGB888);
    const std::pair<QImage, QImage> twins[] = {
        {filled(QImage::Format_Grayscale8, QColor(77, 77, 77)), filled(QImage::Format_Grayscale16, QColor(77, 77, 77))},
        {filled(QImage::Format_RGB888, QColor(200, 30, 90)), filled(QImage::Format_RGBX64, QColor(200, 30, 90))},
        {filled(QImage::Format_RGBA8888, QColor(200, 30, 90, 51)),
         filled(QImage::Format_RGBA64, QColor(200, 30, 90, 51))},
        {rgb, indexed},
    };
    for (const auto& [eight, other] : twins) {
        const auto a = vistrel::screen::loadScreen(files.write("a.png", encoded(eight, "PNG")), display());
        const auto b = vistrel::screen::loadScreen(files.write("b.png", encoded(other, "PNG")), display());
        ASSERT_TRUE(a && b);
        for (std::size_t i = 0; i < a->cdm2.size(); ++i) {
            EXPECT_NEAR(a->cdm2[i], b->cdm2[i], 1e-4) << other.format();
            EXPECT_EQ(a->shade[i], b->shade[i]);
        }
    }
}

TEST(LoadScreen, ColourWeightsAlphaOverBlackAndShade) {
    const Files files;
    struct Row {
        QColor colour;
        double relative;
        std::uint8_t shade;
    };
    const Row rows[] = {{QColor(255, 0, 0), 0.2126, 127},
                        {QColor(0, 255, 0), 0.7152, 220},
                        {QColor(0, 0, 255), 0.0722, 76},
                        {QColor(255, 255, 255, 128), 128 / 255.0, 188},
                        {QColor(0, 255, 0, 0), 0.0, 0}};
    for (const auto& row : rows) {
        const auto image = vistrel::screen::loadScreen(
            files.write("c.png", encoded(filled(QImage::Format_RGBA8888, row.colour), "PNG")), display());
        ASSERT_TRUE(image);
        EXPECT_NEAR(image->at(0, 0), 1.0 + 100.0 * row.relative, 1e-4) << row.colour.name().toStdString();
        EXPECT_EQ(image->shade[0], row.shade);
        EXPECT_NE(image->assumptions.back().find("composited over black"), std::string::npos);
    }
    const auto opaque = vistrel::screen::loadScreen(
        files.write("o.png", encoded(filled(QImage::Format_RGB888, Qt::red), "PNG")), display());
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->assumptions.size(), 1U);
}

TEST(LoadScreen, PitchFromTheImageWidth) {
    const Files files;
    auto source = display();
    source.display.pixelPitchMm.reset();
    source.display.widthMm = 100.0;
    const auto image = vistrel::screen::loadScreen(
        files.write("w.png", encoded(filled(QImage::Format_RGB888, Qt::gray, 400, 2), "PNG")), source);
    ASSERT_TRUE(image);
    EXPECT_DOUBLE_EQ(image->mmPerPixel, 0.25);
}

TEST(LoadScreen, LuminanceImagesInEitherByteOrderTopRowFirst) {
    const Files files;
    const std::vector<float> values{0.0F, 1.5F, 2.0F, 300.25F, 4e-3F, 1e4F};
    const std::string inputs[] = {pfm(3, 2, values, false), pfm(3, 2, values, true), floatTiff(3, 2, values)};
    for (const auto& bytes : inputs) {
        const auto image = vistrel::screen::loadScreen(files.write("l.img", bytes), luminance());
        ASSERT_TRUE(image) << image.error().text();
        EXPECT_EQ(image->cdm2, values);
        EXPECT_EQ(image->mmPerPixel, 0.2);
        EXPECT_EQ(image->shade[0], 0);
        EXPECT_EQ(image->shade[5], 255);
        EXPECT_GT(image->shade[1], 0); // four decades down still shows
    }
}

// ---- Refusals ----

std::string cut(const std::string& bytes, double keep) {
    return bytes.substr(0, static_cast<std::size_t>(static_cast<double>(bytes.size()) * keep));
}

// Whole, but with bytes in the middle of its data changed.
std::string spoilt(std::string bytes) {
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) {
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    }
    return bytes;
}

QImage noise(int w, int h) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(x * 37 % 256, y * 91 % 256, (x * y) % 256));
        }
    }
    return image;
}

std::string pngHeader(std::uint32_t w, std::uint32_t h) {
    std::string out("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (const auto v : {w, h}) {
        for (int b = 3; b >= 0; --b) {
            out += static_cast<char>(v >> (8 * b) & 0xFFU);
        }
    }
    return out + std::string("\x08\x02\0\0\0\0\0\0\0", 9);
}

TEST(LoadScreen, BadInputIsRefusedNamingTheFile) {
    auto noWhite = display();
    noWhite.display.whiteCdm2.reset();
    auto both = display();
    both.display.widthMm = 300.0;
    auto neither = display();
    neither.display.pixelPitchMm.reset();
    auto modelForLuminance = luminance();
    modelForLuminance.display.transfer = Transfer::Linear;
    auto pitchForScreenshot = display();
    pitchForScreenshot.mmPerPixel = 0.1;
    const std::vector<float> one{1.0F, 2.0F, 3.0F, 4.0F};
    const auto png = encoded(noise(64, 64), "PNG");
    const auto jpeg = encoded(noise(64, 64), "JPEG", 95);
    const auto small = encoded(noise(2, 2), "PNG");
    const char* const kMissing = "(no file)";
    const char* const kFifo = "(a pipe)";
    const std::tuple<std::string, ScreenSource, const char*> rows[] = {
        {"", display(), "is empty (0 bytes)"},
        {kMissing, display(), "cannot open the image"},
        {kFifo, display(), "is not a regular file"},
        {encoded(noise(4, 4), "BMP"), display(), "(PNG, TIFF, JPEG or PFM)"},
        {pngHeader(100000, 100000), display(), "is 100000 x 100000 pixels, more than the 40000000 pixels"},
        {pngHeader(0, 10), display(), "has no pixels"},
        {"Pf\n4294967296 4294967296\n-1\n", luminance(), "is 4294967296 x 4294967296 pixels, more than"},
        {cut(png, 0.6), display(), "damaged or truncated PNG"},
        {spoilt(png), display(), "damaged or truncated"},
        {cut(jpeg, 0.7), display(), "damaged or truncated JPEG"},
        {spoilt(jpeg), display(), "is a damaged JPEG file: the decoder says \"Corrupt JPEG data"},
        {floatTiff(2, 2, one).substr(0, 140), luminance(), "damaged or truncated TIFF"},
        {pfm(2, 2, one, false).substr(0, 20), luminance(), "damaged or truncated PFM"},
        {pfm(1, 1, {1, 2, 3}, false, "PF"), luminance(), "colour PFM"},
        {"Pf\n1 1\n-2.0\n", luminance(), "has a PFM scale of -2.0; only 1 or -1"},
        {pfm(2, 2, {1, 2, NAN, -1}, true), luminance(), "pixel 0,1 (x,y from the top left) is not a number"},
        {pfm(2, 2, {1, 2, 3, -1}, true), luminance(), "pixel 1,1 (x,y from the top left) is negative"},
        {floatTiff(2, 2, {1, INFINITY, 3, 4}), luminance(), "pixel 1,0 (x,y from the top left) is infinite"},
        {small, noWhite, "--white-cdm2 and --black-cdm2 (cd/m²), or in --display FILE"},
        {small, both, "not both"},
        {small, neither, "--pixel-pitch-mm or --width-mm"},
        {pfm(2, 2, one, true), ScreenSource{}, "--mm-per-pixel"},
        {pfm(2, 2, one, true), modelForLuminance, "leave out --transfer"},
        {small, pitchForScreenshot, "--mm-per-pixel does not apply"},
    };
    for (const auto& [bytes, source, message] : rows) {
        const Files files;
        const auto file = bytes == kMissing ? files.path("none") : files.write("image", bytes);
        if (bytes == kFifo) {
            std::filesystem::remove(file);
            mkfifo(file.c_str(), 0600);
        }
        const auto image = vistrel::screen::loadScreen(file, source);
        ASSERT_FALSE(image) << message;
        EXPECT_EQ(image.error().kind, vistrel::cli::ErrorKind::Usage) << message;
        EXPECT_EQ(image.error().file, file) << message;
        EXPECT_NE(image.error().message.find(message), std::string::npos) << image.error().text();
    }
}

// ---- Display models ----

TEST(DisplayModel, FileOverlaidByOptions) {
    const Files files;
    const auto model = vistrel::screen::readDisplayModel(
        files.write("d.toml", "white_cdm2 = 400\nblack_cdm2 = 0\ntransfer = \"gamma:2.4\"\npixel_pitch_mm = 0.2\n"));
    ASSERT_TRUE(model) << model.error().text();
    EXPECT_EQ(model->transfer, Transfer::Gamma);
    EXPECT_EQ(model->gamma, 2.4);
    DisplayModel options;
    options.widthMm = 300.0;
    options.whiteCdm2 = 500.0;
    const auto merged = vistrel::screen::overlay(*model, options);
    EXPECT_EQ(merged.whiteCdm2, 500.0);
    EXPECT_EQ(merged.blackCdm2, 0.0);
    EXPECT_EQ(merged.gamma, 2.4);
    EXPECT_FALSE(merged.pixelPitchMm); // the width replaces the file's pitch
    EXPECT_EQ(merged.widthMm, 300.0);
}

TEST(DisplayModel, RefusalsNameTheLine) {
    const std::pair<const char*, int> rows[] = {
        {"white_cdm2 = 100\nbrightness = 3\n", 2},
        {"white_cdm2 = \"100\"\n", 1},
        {"\nblack_cdm2 = -1\n", 2},
        {"white_cdm2 = 0\n", 1},
        {"width_mm = nan\n", 1},
        {"pixel_pitch_mm = inf\n", 1},
        {"transfer = \"gamma:0.05\"\n", 1},
        {"transfer = \"gamma:2.2x\"\n", 1},
        {"transfer = \"gamma:1,5\"\n", 1},
        {"transfer = \"rec709\"\n", 1},
        {"white_cdm2 = 100\nwhite_cdm2 = 200\n", 2},
        {"[display]\nwhite_cdm2 = 1\n", 1},
    };
    const Files files;
    for (const auto& [text, line] : rows) {
        const auto file = files.write("d.toml", text);
        const auto model = vistrel::screen::readDisplayModel(file);
        ASSERT_FALSE(model) << text;
        EXPECT_EQ(model.error().file, file);
        EXPECT_EQ(model.error().line, line) << text << model.error().text();
    }
}

TEST(DisplayModel, TransferTexts) {
    const std::pair<const char*, std::optional<double>> rows[] = {
        {"srgb", {}},       {"sRGB", {}},      {"linear", {}},      {"gamma:2.2", 2.2}, {"gamma:0.1", 0.1},
        {"gamma:10", 10.0}, {"gamma:", -1},    {"gamma:10.01", -1}, {"gamma: 2", -1},   {"gamma:2 ", -1},
        {"gamma:+2", -1},   {"gamma:2e0", -1}, {"gamma:inf", -1},   {"srgbx", -1}};
    for (const auto& [text, gamma] : rows) {
        const auto parsed = vistrel::screen::parseTransfer(text, {});
        ASSERT_EQ(parsed.ok(), gamma.value_or(0) >= 0) << text;
        if (parsed && gamma) {
            EXPECT_EQ(parsed->gamma, *gamma);
        }
    }
}

// ---- Regions ----

TEST(Regions, DesignersIdsAndLabelsKeptVerbatim) {
    const Files files;
    const auto regions = vistrel::screen::readRegions(
        files.write("r.csv", "\xEF\xBB\xBFid,x,y,w,h,label\r\nspeed,0,0,10,5,\"km/h, \"\"big\"\"\"\r\n\r\n"
                             " ä 2,90,45,10,5,\r\n"),
        100, 50);
    ASSERT_TRUE(regions) << regions.error().text();
    ASSERT_EQ(regions->size(), 2U);
    EXPECT_EQ((*regions)[0].label, "km/h, \"big\"");
    EXPECT_EQ((*regions)[1].id, " ä 2");
    EXPECT_EQ((*regions)[1].box, (vistrel::screen::Box{90, 45, 10, 5}));
    EXPECT_EQ((*regions)[1].label, "");
}

TEST(Regions, RefusalsNameTheLine) {
    std::string many = "id,x,y,w,h\n";
    for (int i = 0; i <= 10'000; ++i) {
        many += "r" + std::to_string(i) + ",0,0,1,1\n";
    }
    const std::pair<std::string, int> rows[] = {
        {"", 0},
        {"x,y,w,h,id\na,0,0,1,1\n", 1},
        {"id,x,y,w,h\na,0,0,1,1\n,0,0,1,1\n", 3},
        {"id,x,y,w,h\na,0,0,1,1\na,1,1,1,1\n", 3},
        {"id,x,y,w,h\na,0,0,1.5,1\n", 2},
        {"id,x,y,w,h\na,-3,0,1,1\n", 2},
        {"id,x,y,w,h\na,0,0,0,1\n", 2},
        {"id,x,y,w,h\na,95,0,6,1\n", 2},
        {"id,x,y,w,h\na,0,50,1,1\n", 2},
        {"id,x,y,w,h\na,0,0,1\n", 2},
        {"id,x,y,w,h,label\na,0,0,1,1,\"open\nstill\n", 2},
        {"id,x,y,w,h,label\na,0,0,1,\"1\"\r2\n", 2},
        {"id,x,y,w,h\na,0,0,1,99999999999\n", 2},
        {many, 10'002},
    };
    const Files files;
    for (const auto& [text, line] : rows) {
        const auto file = files.write("r.csv", text);
        const auto regions = vistrel::screen::readRegions(file, 100, 50);
        ASSERT_FALSE(regions) << text.substr(0, 40);
        EXPECT_EQ(regions.error().file, file);
        EXPECT_EQ(regions.error().line, line) << regions.error().text();
    }
}

} // namespace
