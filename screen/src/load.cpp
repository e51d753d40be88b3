// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/image.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>

#include <unistd.h>

namespace vistrel::screen {

namespace {

using cli::ErrorKind;

Error refused(const std::string& file, std::string message, int line = 0) {
    return {ErrorKind::Usage, std::move(message), file, line};
}

std::string pixels(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// ---- What the file's header says, read before anything is decoded ----

enum class Format { Png, Jpeg, Tiff, Pfm };

struct Header {
    Format format = Format::Png;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    bool floatSamples = false; // a luminance image rather than code values
};

// The file's bytes through a small buffer, so that a header can be walked
// without reading the whole file into memory.
class Bytes {
  public:
    explicit Bytes(const std::string& file) : in_(file, std::ios::binary) {}
    [[nodiscard]] bool open() const { return static_cast<bool>(in_); }

    bool next(std::uint8_t& byte) {
        if (at_ == end_ && !fill()) {
            return false;
        }
        byte = buffer_[at_++];
        return true;
    }
    bool read(std::uint8_t* out, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!next(out[i])) {
                return false;
            }
        }
        return true;
    }
    bool skip(std::uint64_t count) {
        const std::uint64_t buffered = end_ - at_;
        if (count <= buffered) {
            at_ += static_cast<std::size_t>(count);
            return true;
        }
        return count <= size() - offset() && seek(offset() + count);
    }
    bool seek(std::uint64_t to) {
        if (to > size()) {
            return false;
        }
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(to));
        base_ = to;
        at_ = end_ = 0;
        return static_cast<bool>(in_);
    }
    [[nodiscard]] std::uint64_t offset() const { return base_ + at_; }
    std::uint64_t size() {
        if (!size_) {
            in_.clear();
            const auto here = in_.tellg();
            in_.seekg(0, std::ios::end);
            size_ = static_cast<std::uint64_t>(std::max<std::streamoff>(in_.tellg(), 0));
            in_.clear();
            in_.seekg(here);
        }
        return *size_;
    }

  private:
    bool fill() {
        base_ += end_;
        at_ = 0;
        in_.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(buffer_.size()));
        end_ = static_cast<std::size_t>(in_.gcount());
        return end_ > 0;
    }

    std::ifstream in_;
    std::array<std::uint8_t, std::size_t{64} * 1024> buffer_{};
    std::uint64_t base_ = 0; // file offset of buffer_[0]
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    std::optional<std::uint64_t> size_;
};

std::uint64_t bigEndian(const std::uint8_t* p, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8U | p[i];
    }
    return value;
}

std::uint64_t littleEndian(const std::uint8_t* p, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8U | p[i];
    }
    return value;
}

using Sniffed = Expected<Header>;

const char* const kUnknownFormat = "cannot read it as an image (PNG, TIFF, JPEG or PFM)";

// Before anything is decoded, so that a forged header costs nothing.
Expected<void> sizeAllowed(const std::string& file, const Header& header) {
    if (header.width == 0 || header.height == 0) {
        return refused(file, "has no pixels (" + pixels(header.width, header.height) + ")");
    }
    // Either side alone first, so that the product cannot wrap around.
    if (header.width > kMaxPixels || header.height > kMaxPixels || header.width * header.height > kMaxPixels) {
        return refused(file, "is " + pixels(header.width, header.height) + ", more than the " +
                                 std::to_string(kMaxPixels) + " pixels an image may have");
    }
    return {};
}

Sniffed damaged(const std::string& file, const std::string& format, const std::string& what) {
    return refused(file, "is a damaged or truncated " + format + " file: " + what);
}

Sniffed pngHeader(Bytes& bytes, const std::string& file) {
    std::array<std::uint8_t, 16> ihdr{}; // length, type, width, height
    if (!bytes.read(ihdr.data(), ihdr.size()) || std::memcmp(ihdr.data(), "\0\0\0\x0dIHDR", 8) != 0) {
        return damaged(file, "PNG", "no image header (IHDR)");
    }
    const Header header{Format::Png, bigEndian(ihdr.data() + 8, 4), bigEndian(ihdr.data() + 12, 4), false};
    if (auto allowed = sizeAllowed(file, header); !allowed) {
        return allowed.error();
    }
    // Chunk by chunk to the end chunk: libpng prints its complaint about a
    // truncated file, so such a file is refused before it is decoded.
    std::uint64_t rest = 5 + 4; // of the header chunk, and its check sum
    std::array<std::uint8_t, 8> chunk{};
    while (bytes.skip(rest) && bytes.read(chunk.data(), chunk.size())) {
        rest = bigEndian(chunk.data(), 4) + 4;
        if (std::memcmp(chunk.data() + 4, "IEND", 4) == 0) {
            if (bytes.skip(rest)) {
                return header;
            }
            break;
        }
    }
    return damaged(file, "PNG", "it ends before its end chunk (IEND)");
}

bool isFrameMarker(std::uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the JPEG's markers to its end: libjpeg decodes a truncated file with
// only a warning, filling the missing part with grey, so a file that stops
// before its end-of-image marker is refused here.
Sniffed jpegHeader(Bytes& bytes, const std::string& file) {
    std::optional<Header> header;
    bool inScan = false;
    std::uint8_t byte = 0;
    while (bytes.next(byte)) {
        if (byte != 0xFF) {
            if (inScan) {
                continue;
            }
            return damaged(file, "JPEG", "a marker was expected at byte " + std::to_string(bytes.offset() - 1));
        }
        std::uint8_t marker = 0xFF;
        while (marker == 0xFF) {
            if (!bytes.next(marker)) {
                return damaged(file, "JPEG", "it ends before its end-of-image marker");
            }
        }
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            continue; // a stuffed byte or a restart inside the scan
        }
        if (marker == 0xD9) {
            if (!header) {
                return damaged(file, "JPEG", "it has no frame header");
            }
            return *header;
        }
        std::array<std::uint8_t, 7> segment{};
        if (!bytes.read(segment.data(), 2)) {
            break;
        }
        const auto length = bigEndian(segment.data(), 2);
        if (length < 2) {
            return damaged(file, "JPEG", "a segment of length " + std::to_string(length));
        }
        if (isFrameMarker(marker) && !header) {
            if (length < 7 || !bytes.read(segment.data() + 2, 5)) {
                break;
            }
            header = Header{Format::Jpeg, bigEndian(segment.data() + 5, 2), bigEndian(segment.data() + 3, 2), false};
            if (auto allowed = sizeAllowed(file, *header); !allowed) {
                return allowed.error();
            }
            if (!bytes.skip(length - 7)) {
                break;
            }
        } else if (!bytes.skip(length - 2)) {
            break;
        }
        if (marker == 0xDA && !header) {
            return damaged(file, "JPEG", "a scan comes before the frame header");
        }
        inScan = marker == 0xDA;
    }
    return damaged(file, "JPEG", "it ends before its end-of-image marker");
}

// ImageWidth, ImageLength and the sample format from the first directory.
Sniffed tiffHeader(Bytes& bytes, const std::string& file, bool little) {
    auto number = [little](const std::uint8_t* p, int count) {
        return little ? littleEndian(p, count) : bigEndian(p, count);
    };
    // Version 42 with a 32-bit offset, or BigTIFF's 43, 8, 0 and a 64-bit one.
    std::array<std::uint8_t, 14> head{};
    if (!bytes.read(head.data(), 6)) {
        return damaged(file, "TIFF", "no header");
    }
    const auto version = number(head.data(), 2);
    const bool big = version == 43;
    if (version != 42 && !big) {
        return refused(file, kUnknownFormat);
    }
    if (big && !bytes.read(head.data() + 6, 8)) {
        return damaged(file, "TIFF", "no header");
    }
    const std::uint64_t first = big ? number(head.data() + 6, 8) : number(head.data() + 2, 4);
    std::array<std::uint8_t, 8> countBytes{};
    const int countSize = big ? 8 : 2;
    if (!bytes.seek(first) || !bytes.read(countBytes.data(), static_cast<std::size_t>(countSize))) {
        return damaged(file, "TIFF", "its first image directory is missing");
    }
    const std::uint64_t entries = number(countBytes.data(), countSize);
    // Each entry: tag, type, count and a value field as wide as the count.
    const int fieldSize = big ? 8 : 4;
    const std::size_t entrySize = 4 + 2 * static_cast<std::size_t>(fieldSize);
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t sampleFormat = 1;
    struct Numbers {
        int size = 0; // bytes per number
        std::uint64_t count = 0;
        std::array<std::uint8_t, 8> field{};
    };
    std::array<Numbers, 2> offsets; // of strips or tiles, then their byte counts
    std::array<std::uint8_t, 20> entry{};
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(entries, 4096); ++i) {
        if (!bytes.read(entry.data(), entrySize)) {
            return damaged(file, "TIFF", "its first image directory is cut short");
        }
        const auto tag = number(entry.data(), 2);
        const auto type = number(entry.data() + 2, 2);
        const std::uint8_t* field = entry.data() + 4 + fieldSize;
        // SHORT, LONG or LONG8; a SHORT is the first bytes of the value field.
        const int size = type == 3 ? 2 : type == 4 ? 4 : type == 16 ? 8 : 0;
        if (size == 0) {
            continue;
        }
        const auto value = number(field, size);
        if (tag == 256) {
            width = value;
        } else if (tag == 257) {
            height = value;
        } else if (tag == 339) {
            sampleFormat = value;
        } else if (tag == 273 || tag == 324 || tag == 279 || tag == 325) {
            auto& numbers = offsets[tag == 273 || tag == 324 ? 0 : 1];
            numbers.size = size;
            numbers.count = number(entry.data() + 4, fieldSize);
            std::copy(field, field + fieldSize, numbers.field.begin());
        }
    }
    if (entries == 0 || (width == 0 && height == 0)) {
        return damaged(file, "TIFF", "its first image directory has no image size");
    }
    const Header header{Format::Tiff, width, height, sampleFormat == 3};
    if (auto allowed = sizeAllowed(file, header); !allowed) {
        return allowed.error();
    }
    // libtiff reports a strip past the end only while decoding, and OpenCV
    // prints that; a truncated file is refused here instead.
    const auto [starts, lengths] = offsets;
    if (starts.count != lengths.count || starts.count == 0 || starts.count > (1U << 20U)) {
        return damaged(file, "TIFF", "its strips or tiles are not listed");
    }
    auto values = [&](const Numbers& numbers, std::vector<std::uint64_t>& out) {
        const auto size = static_cast<std::size_t>(numbers.size);
        std::vector<std::uint8_t> held(static_cast<std::size_t>(numbers.count) * size);
        if (held.size() <= static_cast<std::size_t>(fieldSize)) {
            std::copy(numbers.field.begin(), numbers.field.begin() + static_cast<std::ptrdiff_t>(held.size()),
                      held.begin());
        } else if (!bytes.seek(number(numbers.field.data(), fieldSize)) || !bytes.read(held.data(), held.size())) {
            return false;
        }
        for (std::size_t k = 0; k < held.size(); k += size) {
            out.push_back(number(held.data() + k, numbers.size));
        }
        return true;
    };
    std::vector<std::uint64_t> startsAt;
    std::vector<std::uint64_t> lengthsOf;
    if (!values(starts, startsAt) || !values(lengths, lengthsOf)) {
        return damaged(file, "TIFF", "its list of strips or tiles stops before the end of the file");
    }
    for (std::size_t k = 0; k < startsAt.size(); ++k) {
        if (startsAt[k] > bytes.size() || lengthsOf[k] > bytes.size() - startsAt[k]) {
            return damaged(file, "TIFF", "its image data stops before the end of the file");
        }
    }
    return header;
}

bool blank(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

Sniffed pfmHeader(Bytes& bytes, const std::string& file, std::uint8_t kind) {
    if (kind == 'F') {
        return refused(file, "is a colour PFM (PF); a luminance image has a single channel (Pf)");
    }
    // "Pf", width, height and scale, separated by blanks, then one blank.
    std::array<std::uint64_t, 2> size{};
    std::uint8_t c = 0;
    bool got = bytes.next(c);
    for (auto& value : size) {
        if (!got || !blank(c)) {
            return damaged(file, "PFM", "its header is not 'Pf WIDTH HEIGHT SCALE'");
        }
        while (got && blank(c)) {
            got = bytes.next(c);
        }
        int digits = 0;
        while (got && c >= '0' && c <= '9' && digits < 12) {
            value = value * 10 + (c - '0');
            ++digits;
            got = bytes.next(c);
        }
        if (digits == 0) {
            return damaged(file, "PFM", "its header is not 'Pf WIDTH HEIGHT SCALE'");
        }
    }
    while (got && blank(c)) {
        got = bytes.next(c);
    }
    std::string scale;
    while (got && !blank(c) && scale.size() < 64) {
        scale += static_cast<char>(c);
        got = bytes.next(c);
    }
    const auto number = NumberText(NumberFormat::invariant()).parse(scale);
    if (!got || !number.ok()) {
        return damaged(file, "PFM", "its header is not 'Pf WIDTH HEIGHT SCALE'");
    }
    // Its sign gives the byte order; other sizes are read differently by
    // different programs, so none is guessed.
    if (std::abs(number.value) != 1.0) {
        return refused(file, "has a PFM scale of " + scale + "; only 1 or -1 is read, with pixels in cd/m² as stored");
    }
    const std::uint64_t pixelsStart = bytes.offset();
    const Header header{Format::Pfm, size[0], size[1], true};
    if (auto allowed = sizeAllowed(file, header); !allowed) {
        return allowed.error();
    }
    if (bytes.size() - pixelsStart < header.width * header.height * 4) {
        return damaged(file, "PFM",
                       "it holds fewer than the " + pixels(header.width, header.height) +
                           " of 4 bytes its header announces");
    }
    return header;
}

Sniffed sniff(const std::string& file) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        return refused(file, "is a folder, not an image");
    }
    // A pipe could be read only once, and the decoder reads the file again.
    if (std::filesystem::exists(file, error) && !std::filesystem::is_regular_file(file, error)) {
        return refused(file, "is not a regular file; give the image as a file");
    }
    Bytes bytes(file);
    if (!bytes.open()) {
        return refused(file, std::string("cannot open the image: ") + std::strerror(errno));
    }
    if (bytes.size() == 0) {
        return refused(file, "is empty (0 bytes), not an image");
    }
    std::array<std::uint8_t, 8> magic{};
    if (!bytes.read(magic.data(), 2)) {
        return refused(file, kUnknownFormat);
    }
    if (magic[0] == 0xFF && magic[1] == 0xD8) {
        return jpegHeader(bytes, file);
    }
    if (magic[0] == 'P' && (magic[1] == 'f' || magic[1] == 'F')) {
        return pfmHeader(bytes, file, magic[1]);
    }
    if ((magic[0] == 'I' && magic[1] == 'I') || (magic[0] == 'M' && magic[1] == 'M')) {
        return tiffHeader(bytes, file, magic[0] == 'I');
    }
    static constexpr std::array<std::uint8_t, 8> kPng{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.read(magic.data() + 2, 6) && magic == kPng) {
        return pngHeader(bytes, file);
    }
    return refused(file, kUnknownFormat);
}

// ---- From code values to light ----

double srgbToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

double linearToSrgb(double y) { return y <= 0.0031308 ? 12.92 * y : 1.055 * std::pow(y, 1.0 / 2.4) - 0.055; }

// The linear value of every code value of one depth.
std::vector<double> linearTable(const DisplayModel& display, int codes) {
    std::vector<double> table(static_cast<std::size_t>(codes));
    const auto transfer = display.transfer.value_or(Transfer::Srgb);
    for (int code = 0; code < codes; ++code) {
        const double v = code / static_cast<double>(codes - 1);
        table[static_cast<std::size_t>(code)] = transfer == Transfer::Srgb    ? srgbToLinear(v)
                                                : transfer == Transfer::Gamma ? std::pow(v, display.gamma)
                                                                              : v;
    }
    return table;
}

// Relative luminance, 0 to 1, to the 8-bit grey that shows it on an sRGB screen.
class ShadeTable {
  public:
    ShadeTable() : table_(kSteps + 1) {
        for (std::size_t i = 0; i <= kSteps; ++i) {
            table_[i] = static_cast<std::uint8_t>(std::lround(255.0 * linearToSrgb(static_cast<double>(i) / kSteps)));
        }
    }
    [[nodiscard]] std::uint8_t operator()(double y) const {
        return table_[static_cast<std::size_t>(std::clamp(y, 0.0, 1.0) * kSteps + 0.5)];
    }

  private:
    static constexpr std::size_t kSteps = 65535;
    std::vector<std::uint8_t> table_;
};

template <class Code> void screenshotLight(const cv::Mat& mat, const DisplayModel& display, LuminanceImage& image) {
    constexpr int kCodes = sizeof(Code) == 1 ? 256 : 65536;
    const auto linear = linearTable(display, kCodes);
    const ShadeTable shade;
    const double black = *display.blackCdm2;
    const double span = *display.whiteCdm2 - black;
    const int channels = mat.channels();
    const bool alpha = channels == 2 || channels == 4;
    for (int y = 0; y < mat.rows; ++y) {
        const Code* row = mat.ptr<Code>(y);
        const std::size_t base = static_cast<std::size_t>(y) * static_cast<std::size_t>(mat.cols);
        for (int x = 0; x < mat.cols; ++x) {
            const Code* p = row + static_cast<std::ptrdiff_t>(x) * channels;
            // OpenCV keeps colour as blue, green, red (then alpha).
            double relative =
                channels <= 2 ? linear[p[0]] : 0.2126 * linear[p[2]] + 0.7152 * linear[p[1]] + 0.0722 * linear[p[0]];
            if (alpha) {
                relative *= p[channels - 1] / static_cast<double>(kCodes - 1);
            }
            image.cdm2[base + static_cast<std::size_t>(x)] = static_cast<float>(black + span * relative);
            image.shade[base + static_cast<std::size_t>(x)] = shade(relative);
        }
    }
}

// Logarithmic, over four decades below the brightest pixel, so that a dark
// screen still shows its text on the map.
void luminanceShade(LuminanceImage& image) {
    const float brightest = image.cdm2.empty() ? 0.0F : *std::max_element(image.cdm2.begin(), image.cdm2.end());
    if (!(brightest > 0.0F)) {
        return; // all black: shade stays 0
    }
    float darkest = brightest;
    for (const float l : image.cdm2) {
        if (l > 0.0F && l < darkest) {
            darkest = l;
        }
    }
    const double low = std::log(std::max(static_cast<double>(darkest), brightest * 1e-4));
    const double range = std::log(static_cast<double>(brightest)) - low;
    for (std::size_t i = 0; i < image.cdm2.size(); ++i) {
        const float l = image.cdm2[i];
        if (range <= 0.0) {
            image.shade[i] = l > 0.0F ? 255 : 0;
        } else if (l > 0.0F) {
            const double t = std::clamp((std::log(static_cast<double>(l)) - low) / range, 0.0, 1.0);
            image.shade[i] = static_cast<std::uint8_t>(std::lround(255.0 * t));
        }
    }
}

std::string describe(float value) {
    if (std::isnan(value)) {
        return "not a number (NaN)";
    }
    if (std::isinf(value)) {
        return "infinite";
    }
    std::ostringstream text;
    text << "negative (" << value << " cd/m²)";
    return text.str();
}

// ---- What the command line must give with each kind of image ----

std::vector<std::string> displayOptionsGiven(const DisplayModel& d) {
    std::vector<std::string> given;
    if (d.whiteCdm2) {
        given.emplace_back("--white-cdm2");
    }
    if (d.blackCdm2) {
        given.emplace_back("--black-cdm2");
    }
    if (d.transfer) {
        given.emplace_back("--transfer");
    }
    if (d.pixelPitchMm) {
        given.emplace_back("--pixel-pitch-mm");
    }
    if (d.widthMm) {
        given.emplace_back("--width-mm");
    }
    return given;
}

bool positive(double v) { return std::isfinite(v) && v > 0.0; }

Expected<double> luminanceScale(const std::string& file, const ScreenSource& source) {
    if (const auto given = displayOptionsGiven(source.display); !given.empty()) {
        std::string names;
        for (const auto& name : given) {
            names += (names.empty() ? "" : ", ") + name;
        }
        return refused(file, "is a luminance image in cd/m², which takes no display model: leave out " + names);
    }
    if (!source.mmPerPixel) {
        return refused(file, "is a luminance image: give the size of its pixels with --mm-per-pixel");
    }
    if (!positive(*source.mmPerPixel)) {
        return refused(file, "--mm-per-pixel must be a positive number of millimetres, not " +
                                 std::to_string(*source.mmPerPixel));
    }
    return *source.mmPerPixel;
}

Expected<void> checkDisplay(const std::string& file, const ScreenSource& source) {
    const DisplayModel& d = source.display;
    if (source.mmPerPixel) {
        return refused(file, "is a screenshot, so --mm-per-pixel does not apply: give the display's "
                             "--pixel-pitch-mm or --width-mm");
    }
    if (!d.whiteCdm2 || !d.blackCdm2) {
        return refused(file, "is a screenshot: give the display's luminances with --white-cdm2 and --black-cdm2 "
                             "(cd/m²), or in --display FILE");
    }
    if (!std::isfinite(*d.blackCdm2) || *d.blackCdm2 < 0.0) {
        return refused(file, "--black-cdm2 must be 0 or more cd/m²");
    }
    if (!std::isfinite(*d.whiteCdm2) || !(*d.whiteCdm2 > *d.blackCdm2)) {
        return refused(file, "--white-cdm2 must be above --black-cdm2");
    }
    if (d.transfer == Transfer::Gamma && !(d.gamma >= 0.1 && d.gamma <= 10.0)) {
        return refused(file, "--transfer gamma must be from 0.1 to 10");
    }
    if (d.pixelPitchMm && d.widthMm) {
        return refused(file, "give either --pixel-pitch-mm or --width-mm, not both");
    }
    if (!d.pixelPitchMm && !d.widthMm) {
        return refused(file, "is a screenshot: give the display's --pixel-pitch-mm or --width-mm (the image's "
                             "width on the panel), or either in --display FILE");
    }
    if (d.pixelPitchMm && !positive(*d.pixelPitchMm)) {
        return refused(file, "--pixel-pitch-mm must be a positive number of millimetres");
    }
    if (d.widthMm && !positive(*d.widthMm)) {
        return refused(file, "--width-mm must be a positive number of millimetres");
    }
    return {};
}

std::string sampleName(int depth) {
    switch (depth) {
    case CV_8S: return "signed 8-bit";
    case CV_16S: return "signed 16-bit";
    case CV_32S: return "32-bit integer";
    case CV_64F: return "64-bit float";
    case CV_16F: return "16-bit float";
    default: return "unusual";
    }
}

// libjpeg reports corrupt data only as a warning on stderr and still returns
// a picture, and libpng and OpenCV print their own complaints there: while
// an image decodes, stderr goes to a temporary file that is read and dropped.
class Decoding {
  public:
    Decoding() : lock_(mutex()) {
        static std::once_flag once;
        std::call_once(once, [] { cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT); });
        std::fflush(stderr);
        capture_ = std::tmpfile();
        saved_ = capture_ != nullptr ? ::dup(STDERR_FILENO) : -1;
        if (saved_ >= 0 && ::dup2(::fileno(capture_), STDERR_FILENO) < 0) {
            ::close(saved_);
            saved_ = -1;
        }
    }
    Decoding(const Decoding&) = delete;
    Decoding& operator=(const Decoding&) = delete;
    ~Decoding() { (void)complaints(); }

    // What the decoders printed; stderr is the process's own again.
    std::string complaints() {
        std::string text;
        if (saved_ >= 0) {
            std::cerr.flush();
            std::fflush(stderr);
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            saved_ = -1;
            std::rewind(capture_);
            std::array<char, 512> buffer{};
            text.assign(buffer.data(), std::fread(buffer.data(), 1, buffer.size(), capture_));
        }
        if (capture_ != nullptr) {
            std::fclose(capture_);
            capture_ = nullptr;
        }
        return text;
    }

  private:
    static std::mutex& mutex() {
        static std::mutex m; // stderr is one per process
        return m;
    }
    std::lock_guard<std::mutex> lock_;
    std::FILE* capture_ = nullptr;
    int saved_ = -1;
};

} // namespace

Expected<LuminanceImage> loadScreen(const std::string& file, const ScreenSource& source) {
    auto header = sniff(file);
    if (!header) {
        return header.error();
    }
    LuminanceImage image;
    if (header->floatSamples) {
        auto scale = luminanceScale(file, source);
        if (!scale) {
            return scale.error();
        }
        image.mmPerPixel = *scale;
    } else if (auto checked = checkDisplay(file, source); !checked) {
        return checked.error();
    }

    cv::Mat mat;
    std::string complaints;
    {
        Decoding decoding;
        try {
            mat = cv::imread(file, cv::IMREAD_UNCHANGED);
        } catch (const cv::Exception&) {
            mat.release();
        }
        complaints = decoding.complaints();
    }
    if (mat.empty()) {
        return refused(file, "is damaged or truncated: its pixels cannot be decoded");
    }
    if (header->format == Format::Jpeg && !complaints.empty()) {
        // libjpeg only warns of damage; what it decoded would be judged wrongly.
        const auto end = complaints.find_first_of("\r\n");
        return refused(file, "is a damaged JPEG file: the decoder says \"" + complaints.substr(0, end) + "\"");
    }
    if (static_cast<std::uint64_t>(mat.cols) != header->width ||
        static_cast<std::uint64_t>(mat.rows) != header->height) {
        return refused(file, "decodes to " +
                                 pixels(static_cast<std::uint64_t>(mat.cols), static_cast<std::uint64_t>(mat.rows)) +
                                 " but its header says " + pixels(header->width, header->height));
    }
    const int depth = mat.depth();
    if (header->floatSamples != (depth == CV_32F)) {
        return refused(file, "has " + sampleName(depth) +
                                 " samples: a screenshot has 8- or 16-bit code values, a luminance image 32-bit "
                                 "float cd/m²");
    }
    if (depth == CV_32F && mat.channels() != 1) {
        return refused(file, "has " + std::to_string(mat.channels()) +
                                 " float channels; a luminance image has a single channel of cd/m²");
    }
    if (depth != CV_32F && depth != CV_8U && depth != CV_16U) {
        return refused(file, "has " + sampleName(depth) +
                                 " samples: a screenshot has 8- or 16-bit code values, a luminance image 32-bit "
                                 "float cd/m²");
    }

    image.width = mat.cols;
    image.height = mat.rows;
    const std::size_t count = static_cast<std::size_t>(mat.cols) * static_cast<std::size_t>(mat.rows);
    image.cdm2.resize(count);
    image.shade.assign(count, 0);
    if (depth == CV_32F) {
        for (int y = 0; y < mat.rows; ++y) {
            const float* row = mat.ptr<float>(y);
            for (int x = 0; x < mat.cols; ++x) {
                if (!(row[x] >= 0.0F) || std::isinf(row[x])) {
                    return refused(file, "pixel " + std::to_string(x) + "," + std::to_string(y) +
                                             " (x,y from the "
                                             "top left) is " +
                                             describe(row[x]) + "; luminances are 0 or more");
                }
            }
            std::copy(row, row + mat.cols, image.cdm2.begin() + static_cast<std::ptrdiff_t>(y) * mat.cols);
        }
        luminanceShade(image);
        return image;
    }

    const DisplayModel& display = source.display;
    image.mmPerPixel = display.pixelPitchMm ? *display.pixelPitchMm : *display.widthMm / mat.cols;
    if (depth == CV_8U) {
        screenshotLight<std::uint8_t>(mat, display, image);
    } else {
        screenshotLight<std::uint16_t>(mat, display, image);
    }
    if (!display.transfer) {
        image.assumptions.emplace_back("The code values were taken as sRGB, as no transfer was given.");
    }
    if (mat.channels() == 2 || mat.channels() == 4) {
        image.assumptions.emplace_back(
            "The image has an alpha channel: its pixels were composited over black, the panel's off state.");
    }
    return image;
}

} // namespace vistrel::screen
