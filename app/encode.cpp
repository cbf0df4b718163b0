// Page files through the Windows Imaging Component: the DIB's rows go to the encoder top row
// first, as gray levels when the colour table is the gray ramp (a gray file to every reader),
// else in the DIB's own indexed format with its colour table where the encoder takes it, else
// expanded to 24-bit BGR; the resolution goes with every frame.
#include <wincodec.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/twacq.h"

namespace {

std::wstring Wide(const std::string &text) {
    std::wstring w(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, w.data(), static_cast<int>(w.size()));
    w.resize(n > 0 ? n - 1 : 0);
    return w;
}

std::string Failed(const char *what, HRESULT hr) {
    char text[96];
    snprintf(text, sizeof text, "%s failed (HRESULT %#lx)", what, static_cast<unsigned long>(hr));
    return text;
}

template <typename T> void Drop(void *&p) {
    if (p) static_cast<T *>(p)->Release();
    p = nullptr;
}

const GUID *IndexedFormat(WORD bits) {
    switch (bits) {
    case 1: return &GUID_WICPixelFormat1bppIndexed;
    case 4: return &GUID_WICPixelFormat4bppIndexed;
    case 8: return &GUID_WICPixelFormat8bppIndexed;
    default: return nullptr;
    }
}

const GUID *GrayFormat(WORD bits) {
    switch (bits) {
    case 1: return &GUID_WICPixelFormatBlackWhite;
    case 4: return &GUID_WICPixelFormat4bppGray;
    case 8: return &GUID_WICPixelFormat8bppGray;
    default: return nullptr;
    }
}

// A table that runs from black to white in even steps: the pixels are gray levels as they are.
bool IsGrayRamp(const std::vector<WICColor> &colours) {
    const size_t n = colours.size();
    for (size_t i = 0; i < n; ++i) {
        const WICColor v = static_cast<WICColor>(i * 255 / (n - 1));
        if (colours[i] != (0xFF000000u | v << 16 | v << 8 | v)) return false;
    }
    return n >= 2;
}

}  // namespace

ImageFile::~ImageFile() { Discard(); }

void ImageFile::Discard() {
    Release();
    if (!path_.empty()) DeleteFileA(path_.c_str());
    path_.clear();
    frames_ = 0;
}

void ImageFile::Release() {
    Drop<IWICBitmapEncoder>(encoder_);
    Drop<IWICStream>(stream_);
    Drop<IWICImagingFactory>(factory_);
}

bool ImageFile::Create(const std::string &path, PageFormat format, std::string &why) {
    IWICImagingFactory *factory = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void **>(&factory));
    if (FAILED(hr)) return why = Failed("the imaging component (CoCreateInstance)", hr), false;
    factory_ = factory;
    IWICStream *stream = nullptr;
    hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) {
        stream_ = stream;
        hr = stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE);
    }
    if (FAILED(hr)) {
        Release();
        return why = Failed("creating the file", hr), false;
    }
    path_ = path;
    IWICBitmapEncoder *encoder = nullptr;
    hr = factory->CreateEncoder(format == PageFormat::kTiff ? GUID_ContainerFormatTiff : GUID_ContainerFormatPng,
                                nullptr, &encoder);
    if (SUCCEEDED(hr)) {
        encoder_ = encoder;
        hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    }
    if (FAILED(hr)) {
        Release();
        return why = Failed("the encoder", hr), false;
    }
    return true;
}

bool ImageFile::AddPage(HGLOBAL dib, double dpiX, double dpiY, bool &converted, std::string &why) {
    converted = false;
    auto *encoder = static_cast<IWICBitmapEncoder *>(encoder_);
    auto *factory = static_cast<IWICImagingFactory *>(factory_);
    if (!encoder) return why = "the file is not open", false;
    const auto *base = static_cast<const BYTE *>(GlobalLock(dib));
    DibLayout d{};
    if (!base || !MeasureDib(base, GlobalSize(dib), d, why)) {
        if (base) GlobalUnlock(dib);
        return false;
    }
    if (!d.plainRgb || (d.bits != 24 && !IndexedFormat(d.bits))) {
        GlobalUnlock(dib);
        return why = "a DIB of " + std::to_string(d.bits) + " bits or with masks is not written", false;
    }
    const auto *table = reinterpret_cast<const RGBQUAD *>(base + d.pixelOffset - d.colours * 4);
    std::vector<WICColor> colours;
    for (DWORD i = 0; i < d.colours; ++i)
        colours.push_back(0xFF000000u | table[i].rgbRed << 16 | table[i].rgbGreen << 8 | table[i].rgbBlue);
    // Rows top first, as the encoder takes them.
    const BYTE *pixels = base + d.pixelOffset;
    std::vector<BYTE> rows(static_cast<size_t>(d.rowBytes) * d.height);
    for (LONG y = 0; y < d.height; ++y)
        memcpy(&rows[static_cast<size_t>(y) * d.rowBytes],
               pixels + static_cast<size_t>(d.bottomUp ? d.height - 1 - y : y) * d.rowBytes, d.rowBytes);
    GlobalUnlock(dib);

    IWICBitmapFrameEncode *frame = nullptr;
    IPropertyBag2 *options = nullptr;
    HRESULT hr = encoder->CreateNewFrame(&frame, &options);
    if (SUCCEEDED(hr)) hr = frame->Initialize(options);
    if (SUCCEEDED(hr)) hr = frame->SetSize(d.width, d.height);
    if (SUCCEEDED(hr)) hr = frame->SetResolution(dpiX, dpiY);
    // Gray pages go as gray levels, which every reader takes; other tables as indexed colour.
    const GUID *gray = d.bits != 24 && IsGrayRamp(colours) ? GrayFormat(d.bits) : nullptr;
    const GUID *wanted = d.bits == 24 ? &GUID_WICPixelFormat24bppBGR : IndexedFormat(d.bits);
    WICPixelFormatGUID format{};
    if (SUCCEEDED(hr) && gray) {
        format = *gray;
        hr = frame->SetPixelFormat(&format);
        if (SUCCEEDED(hr) && IsEqualGUID(format, *gray)) wanted = gray;
    }
    if (SUCCEEDED(hr) && wanted != gray) {
        format = *wanted;
        hr = frame->SetPixelFormat(&format);
    }
    if (SUCCEEDED(hr) && wanted == IndexedFormat(d.bits) && IsEqualGUID(format, *wanted)) {
        IWICPalette *palette = nullptr;
        hr = factory->CreatePalette(&palette);
        if (SUCCEEDED(hr)) hr = palette->InitializeCustom(colours.data(), static_cast<UINT>(colours.size()));
        if (SUCCEEDED(hr)) hr = frame->SetPalette(palette);
        if (palette) palette->Release();
        // An encoder that takes the format but not a colour table gets 24-bit colour.
        if (FAILED(hr)) format = GUID_WICPixelFormatUndefined;
        hr = S_OK;
    }
    UINT stride = d.rowBytes;
    if (SUCCEEDED(hr) && !IsEqualGUID(format, *wanted)) {
        // The encoder refused the DIB's indexed format: the pixels through the colour table.
        converted = true;
        format = GUID_WICPixelFormat24bppBGR;
        hr = frame->SetPixelFormat(&format);
        if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
        stride = (static_cast<UINT>(d.width) * 3 + 3) & ~3u;
        std::vector<BYTE> bgr(static_cast<size_t>(stride) * d.height);
        const int bits = d.bits;
        for (LONG y = 0; SUCCEEDED(hr) && y < d.height; ++y) {
            const BYTE *from = &rows[static_cast<size_t>(y) * d.rowBytes];
            BYTE *to = &bgr[static_cast<size_t>(y) * stride];
            for (LONG x = 0; x < d.width; ++x) {
                DWORD index = (from[x * bits / 8] >> (8 - bits - x * bits % 8)) & ((1u << bits) - 1);
                if (index >= colours.size()) index = 0;
                to[x * 3] = static_cast<BYTE>(colours[index]);
                to[x * 3 + 1] = static_cast<BYTE>(colours[index] >> 8);
                to[x * 3 + 2] = static_cast<BYTE>(colours[index] >> 16);
            }
        }
        rows.swap(bgr);
    }
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(d.height, stride, static_cast<UINT>(rows.size()), rows.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (options) options->Release();
    if (frame) frame->Release();
    if (FAILED(hr)) return why = Failed("encoding the page", hr), false;
    ++frames_;
    return true;
}

bool ImageFile::Commit(std::string &why) {
    auto *encoder = static_cast<IWICBitmapEncoder *>(encoder_);
    const HRESULT hr = encoder ? encoder->Commit() : E_UNEXPECTED;
    Release();  // closes the file
    if (FAILED(hr)) return why = Failed("writing the file", hr), false;
    path_.clear();  // kept
    return true;
}
