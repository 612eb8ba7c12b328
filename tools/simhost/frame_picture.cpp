// Drawing a frame into a GDI DIB: dark background, texts in the host's preset
// colours, the selection bar as a translucent band, boxes in their colours.
#include "frame_picture.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bitmap_font.h"
#include "png_writer.h"

namespace simhost {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Rgba {
    double r, g, b, a;
};

// A stand-in for the host's palette: only the indices the plug-in uses need
// to look different (3 for menu lines, 4 for the title and the lower text).
Rgba PresetColour(int index) {
    switch (index) {
        case 0:
            return {1.0, 1.0, 1.0, 1};
        case 1:
            return {0.8, 0.8, 0.8, 1};
        case 2:
            return {0.6, 0.6, 0.6, 1};
        case 3:
            return {0.92, 0.92, 0.92, 1};
        case 4:
            return {1.0, 0.77, 0.25, 1};
        default:
            return {0.5, 0.8, 1.0, 1};
    }
}

const Rgba kBackground = {0.07, 0.086, 0.118, 1};
const Rgba kSelectionBand = {0.27, 0.43, 0.75, 0.45};

double Clamp01(double v) {
    return std::min(1.0, std::max(0.0, v));
}

class Canvas {
public:
    bool Open() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ =
            CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
        if (dc_ == nullptr || bitmap_ == nullptr || pixels_ == nullptr) return false;
        oldBitmap_ = SelectObject(dc_, bitmap_);
        SetBkMode(dc_, TRANSPARENT);
        return true;
    }

    ~Canvas() {
        if (oldBitmap_ != nullptr) SelectObject(dc_, oldBitmap_);
        if (bitmap_ != nullptr) DeleteObject(bitmap_);
        if (dc_ != nullptr) DeleteDC(dc_);
    }

    HDC Dc() const { return dc_; }

    void Blend(double x, double y, double width, double height, const Rgba& colour) {
        GdiFlush();
        int left = std::max(0, static_cast<int>(x)), top = std::max(0, static_cast<int>(y));
        int right = std::min(kWidth, static_cast<int>(x + width));
        int bottom = std::min(kHeight, static_cast<int>(y + height));
        double a = Clamp01(colour.a);
        for (int py = top; py < bottom; ++py)
            for (int px = left; px < right; ++px) BlendPixel(px, py, colour, a);
    }

    void Plot(int x, int y, const Rgba& colour) {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) BlendPixel(x, y, colour, 1.0);
    }

    uint32_t Pixel(int x, int y) const { return pixels_[y * kWidth + x]; }

    std::vector<uint8_t> Rgb() {
        GdiFlush();
        std::vector<uint8_t> rgb;
        rgb.reserve(kWidth * kHeight * 3);
        for (int i = 0; i < kWidth * kHeight; ++i) {
            rgb.push_back(static_cast<uint8_t>(pixels_[i] >> 16));
            rgb.push_back(static_cast<uint8_t>(pixels_[i] >> 8));
            rgb.push_back(static_cast<uint8_t>(pixels_[i]));
        }
        return rgb;
    }

private:
    void BlendPixel(int x, int y, const Rgba& colour, double a) {
        uint32_t& p = pixels_[y * kWidth + x];
        auto mix = [&](int shift, double c) {
            double old = ((p >> shift) & 0xFF) / 255.0;
            return static_cast<uint32_t>((old * (1 - a) + Clamp01(c) * a) * 255.0 + 0.5) << shift;
        };
        p = mix(16, colour.r) | mix(8, colour.g) | mix(0, colour.b);
    }

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    uint32_t* pixels_ = nullptr;
};

HFONT MakeFont(int style) {
    return CreateFontA(style == 0 ? -12 : -14, 0, 0, 0, style == 0 ? FW_NORMAL : FW_BOLD, FALSE, FALSE, FALSE,
                       ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, "DejaVu Sans");
}

// A font "renders" when writing a letter changes pixels; a Wine without any
// font files draws nothing and reports success.
bool FontRenders(HFONT font) {
    Canvas probe;
    if (!probe.Open()) return false;
    HGDIOBJ old = SelectObject(probe.Dc(), font);
    SetTextColor(probe.Dc(), RGB(255, 255, 255));
    TextOutA(probe.Dc(), 2, 2, "MW", 2);
    SelectObject(probe.Dc(), old);
    GdiFlush();
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x)
            if (probe.Pixel(x, y) != 0) return true;
    return false;
}

void DrawBuiltinText(Canvas& canvas, double x, double y, const std::string& text, const Rgba& colour) {
    int penX = static_cast<int>(x), top = static_cast<int>(y) + 4;
    for (char c : text) {
        const uint8_t* glyph = Glyph5x7(c);
        for (int column = 0; column < 5; ++column)
            for (int row = 0; row < 7; ++row)
                if (glyph[column] & (1 << row)) canvas.Plot(penX + column, top + row, colour);
        penX += 6;
    }
}

double Arg(const HostCall& call, size_t index) {
    return index < call.args.size() && !call.args[index].isText ? call.args[index].number : 0;
}

void DrawBackdrop(Canvas& canvas) {
    canvas.Blend(0, 0, kWidth, kHeight / 2, {0.45, 0.6, 0.78, 1});
    canvas.Blend(0, kHeight / 2, kWidth, kHeight / 2, {0.33, 0.42, 0.22, 1});
    // The road narrows to the horizon.
    for (int y = kHeight / 2; y < kHeight; ++y) {
        const double half = 8 + (y - kHeight / 2) * 1.4;
        canvas.Blend(kWidth / 2 - half, y, 2 * half, 1, {0.5, 0.46, 0.4, 1});
    }
}

}  // namespace

PictureResult WriteFramePicture(const CallLog& calls, const std::string& path, bool forceBuiltinFont,
                                bool backdrop) {
    PictureResult result;
    Canvas canvas;
    if (!canvas.Open()) {
        result.error = "cannot create a GDI bitmap";
        return result;
    }
    canvas.Blend(0, 0, kWidth, kHeight, kBackground);
    if (backdrop) DrawBackdrop(canvas);
    HFONT fonts[2] = {MakeFont(0), MakeFont(1)};
    result.builtinFont =
        forceBuiltinFont || fonts[0] == nullptr || fonts[1] == nullptr || !FontRenders(fonts[1]);

    Rgba colour = PresetColour(0);
    int style = 1;
    for (const HostCall& call : calls) {
        if (call.name == "SetPresetColour") {
            colour = PresetColour(static_cast<int>(Arg(call, 0)));
        } else if (call.name == "SetColour") {
            // The host takes components from 0 to 1; larger values saturate.
            colour = {Arg(call, 0), Arg(call, 1), Arg(call, 2), Arg(call, 3)};
        } else if (call.name == "SetTextStyle") {
            style = Arg(call, 0) == 0 ? 0 : 1;
        } else if (call.name == "DrawSelectionBar") {
            canvas.Blend(Arg(call, 0), Arg(call, 1), Arg(call, 2), Arg(call, 3), kSelectionBand);
        } else if (call.name == "DrawFilledBox") {
            canvas.Blend(Arg(call, 0), Arg(call, 1), Arg(call, 2), Arg(call, 3), colour);
        } else if (call.name == "WriteText" && call.args.size() == 3) {
            const std::string& text = call.args[2].text;
            const auto noteEnd = [&](double right, double bottom) {
                if (right > kWidth || bottom > kHeight)
                    result.pastEdge.push_back("\"" + text + "\" at " + std::to_string(int(Arg(call, 0))) + ", " +
                                              std::to_string(int(Arg(call, 1))) + " ends at " +
                                              std::to_string(int(right)) + ", " + std::to_string(int(bottom)));
            };
            if (result.builtinFont) {
                noteEnd(Arg(call, 0) + 6.0 * text.size(), Arg(call, 1) + 11);
                DrawBuiltinText(canvas, Arg(call, 0), Arg(call, 1), text, colour);
                continue;
            }
            GdiFlush();
            HGDIOBJ old = SelectObject(canvas.Dc(), fonts[style]);
            SIZE extent{};
            if (GetTextExtentPoint32A(canvas.Dc(), text.c_str(), static_cast<int>(text.size()), &extent))
                noteEnd(Arg(call, 0) + extent.cx, Arg(call, 1) + extent.cy);
            SetTextColor(canvas.Dc(), RGB(static_cast<int>(Clamp01(colour.r) * 255),
                                          static_cast<int>(Clamp01(colour.g) * 255),
                                          static_cast<int>(Clamp01(colour.b) * 255)));
            TextOutA(canvas.Dc(), static_cast<int>(Arg(call, 0)), static_cast<int>(Arg(call, 1)),
                     text.c_str(), static_cast<int>(text.size()));
            SelectObject(canvas.Dc(), old);
        }
    }
    for (HFONT font : fonts)
        if (font != nullptr) DeleteObject(font);

    std::vector<uint8_t> png = EncodePng(kWidth, kHeight, canvas.Rgb());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        result.error = "cannot open " + path + " for writing";
        return result;
    }
    result.written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (std::fclose(file) != 0) result.written = false;
    if (!result.written) result.error = "cannot write " + path;
    return result;
}

}  // namespace simhost
