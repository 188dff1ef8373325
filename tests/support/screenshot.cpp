#include "screenshot.h"

#include "build_paths.h"
#include "text_file.h"

#include <cstring>
#include <set>
#include <vector>

namespace {

// Rows of 24-bit pixels are padded to whole four-byte words.
int RowBytes(int width)
{
    return (width * 3 + 3) & ~3;
}

// The screen device context, given back when the object ends.
class ScreenDc {
public:
    ScreenDc() : m_dc(::GetDC(nullptr)) {}
    ~ScreenDc()
    {
        if (m_dc != nullptr) ::ReleaseDC(nullptr, m_dc);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

// A memory device context with a 24-bit bottom-up picture selected into it.
class MemoryBitmap {
public:
    MemoryBitmap(HDC screen, int width, int height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = ::CreateCompatibleDC(screen);
        m_bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (m_dc != nullptr && m_bitmap != nullptr) m_previous = ::SelectObject(m_dc, m_bitmap);
    }
    ~MemoryBitmap()
    {
        if (m_previous != nullptr) ::SelectObject(m_dc, m_previous);
        if (m_bitmap != nullptr) ::DeleteObject(m_bitmap);
        if (m_dc != nullptr) ::DeleteDC(m_dc);
    }
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;

    bool IsValid() const { return m_previous != nullptr && m_bits != nullptr; }
    HDC Dc() const { return m_dc; }
    const BYTE* Bits() const { return static_cast<const BYTE*>(m_bits); }

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    void* m_bits = nullptr;
};

}  // namespace

std::string TestArtefactPath(const std::string& fileName)
{
    ::CreateDirectoryA(kTestArtefactFolder, nullptr);
    return std::string(kTestArtefactFolder) + "\\" + fileName;
}

bool SaveWindowScreenshot(HWND window, const std::string& path)
{
    // The client area: without a window manager (Xvfb) nothing draws the
    // caption and frame, and the screen shows the window from its client
    // area on.
    RECT client = {};
    POINT origin = {0, 0};
    if (!::GetClientRect(window, &client) || !::ClientToScreen(window, &origin)) return false;
    const RECT place = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    if (width <= 0 || height <= 0) return false;

    // The window belongs to another process, whose drawing this process
    // cannot ask for: the screen shows it, so the screen is copied.
    ScreenDc screen;
    MemoryBitmap picture(screen.Get(), width, height);
    if (screen.Get() == nullptr || !picture.IsValid()) return false;
    if (!::BitBlt(picture.Dc(), 0, 0, width, height, screen.Get(), place.left, place.top, SRCCOPY | CAPTUREBLT)) {
        return false;
    }
    ::GdiFlush();

    const DWORD pixelBytes = static_cast<DWORD>(RowBytes(width)) * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + pixelBytes;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = pixelBytes;

    std::string content(reinterpret_cast<const char*>(&file), sizeof file);
    content.append(reinterpret_cast<const char*>(&info), sizeof info);
    content.append(reinterpret_cast<const char*>(picture.Bits()), pixelBytes);
    return WriteWholeFile(path, content);
}

int CountBitmapColours(const std::string& path, int limit)
{
    std::string content;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    if (!ReadWholeFile(path, &content) || content.size() < sizeof file + sizeof info) return 0;
    std::memcpy(&file, content.data(), sizeof file);
    std::memcpy(&info, content.data() + sizeof file, sizeof info);
    if (file.bfType != 0x4D42 || info.biBitCount != 24 || info.biWidth <= 0 || info.biHeight == 0) return 0;
    const int width = info.biWidth;
    const int height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
    if (content.size() < file.bfOffBits + static_cast<size_t>(RowBytes(width)) * height) return 0;

    std::set<DWORD> colours;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = reinterpret_cast<const BYTE*>(content.data()) + file.bfOffBits + static_cast<size_t>(y) * RowBytes(width);
        for (int x = 0; x < width; ++x) {
            colours.insert(RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]));
            if (static_cast<int>(colours.size()) >= limit) return limit;
        }
    }
    return static_cast<int>(colours.size());
}
