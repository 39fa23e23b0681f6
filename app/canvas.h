// Drawing surface handed to a paint handler. Toolkit-neutral: the Qt layer
// realises it on a QPainter, tests record the calls. Colours are RGB
// (0xRRGGBB); coordinates are pixels from the box's top-left corner.
#pragma once

#include <cstdint>
#include <string>

class TCanvas {
public:
    virtual ~TCanvas() = default;
    // Size of the box being painted.
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void setPen(uint32_t rgb, int width = 1) = 0;
    virtual void setBrush(uint32_t rgb) = 0;
    virtual void fillRect(int left, int top, int right, int bottom) = 0;
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    // Text with its top-left corner at (x, y), in the current font.
    virtual void textOut(int x, int y, const std::string& text) = 0;
    // Font of later textOut calls: face, point size, colour; a transparent
    // background leaves the pixels behind the glyphs as they are.
    virtual void setFont(const std::string& /*face*/, int /*pointSize*/, uint32_t /*rgb*/) {}
    virtual void setTextBackgroundTransparent(bool /*transparent*/) {}
};
