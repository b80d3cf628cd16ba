// DirectDraw, first-version interfaces: the DirectDraw object and the surfaces
// and clippers it makes. The primary surface is the screen's own memory; a
// flipping chain moves buffers behind fixed surface references.
#include "core.h"
#include "journal.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace platform;

namespace {

struct DirectDrawObject;
struct SurfaceObject;
struct ClipperObject;

enum class Level { none, normal, exclusive };
enum class Kind { primary, front, back, offscreen };

struct Registry {
    std::vector<std::unique_ptr<DirectDrawObject>> directdraws;
    DirectDrawObject* exclusive_owner = nullptr;
    int directdraws_made = 0, surfaces_made = 0, clippers_made = 0;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

struct ClipperObject final : IDirectDrawClipper {
    ClipperObject(DirectDrawObject* owner, int id) : owner(owner), id(id) {}
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT SetHWnd(DWORD dwFlags, HWND hWnd) override;

    DirectDrawObject* owner;
    int id;
    ULONG references = 1;
    bool has_window = false;
    HWND window = nullptr;
};

struct SurfaceObject final : IDirectDrawSurface {
    SurfaceObject(DirectDrawObject* owner, int id, Kind kind, DWORD caps)
        : owner(owner), id(id), kind(kind), caps(caps), format(state().mode.format)
    {
    }
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags,
                LPDDBLTFX lpDDBltFx) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE lpDDSurfaceTargetOverride, DWORD dwFlags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS lpDDSCaps, LPDIRECTDRAWSURFACE* lplpDDAttachedSurface) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT lpDDPixelFormat) override;
    HRESULT Lock(LPRECT lpDestRect, LPDDSURFACEDESC lpDDSurfaceDesc, DWORD dwFlags, HANDLE hEvent) override;
    HRESULT Restore() override;
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) override;
    HRESULT Unlock(LPVOID lpSurfaceData) override;

    bool on_screen() const { return kind == Kind::primary || kind == Kind::front; }
    Buffer& memory() { return on_screen() ? *state().screen : *own; }
    std::vector<SurfaceObject*> chain();  // this surface and those flipped with it
    SurfaceObject* attached();            // the next buffer of the chain

    DirectDrawObject* owner;
    int id;
    Kind kind;
    DWORD caps;
    PixelFormat format;
    int width = 0, height = 0;
    ULONG references = 1;
    std::unique_ptr<Buffer> own;
    SurfaceObject* front = nullptr;     // a back buffer's chain
    std::vector<SurfaceObject*> backs;  // a front's buffers, nearest first
    ClipperObject* clipper = nullptr;
    std::vector<LONG> columns;  // a stretching blit's source column per visible one, kept for the next
    bool lost = false;
    bool locked = false;
    void* locked_at = nullptr;
};

struct DirectDrawObject final : IDirectDraw {
    explicit DirectDrawObject(int id) : id(id) {}
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter) override;
    HRESULT CreateSurface(LPDDSURFACEDESC lpDDSurfaceDesc, LPDIRECTDRAWSURFACE* lplpDDSurface,
                          IUnknown* pUnkOuter) override;
    HRESULT RestoreDisplayMode() override;
    HRESULT SetCooperativeLevel(HWND hWnd, DWORD dwFlags) override;
    HRESULT SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP) override;

    SurfaceObject* add_surface(Kind kind, DWORD caps, int width, int height);
    void destroy_surface(SurfaceObject* surface);
    void destroy_clipper(ClipperObject* clipper);
    void destroy_everything();

    int id;
    ULONG references = 1;
    Level level = Level::none;
    HWND window = nullptr;
    bool changed_mode = false;
    std::vector<std::unique_ptr<SurfaceObject>> surfaces;
    std::vector<std::unique_ptr<ClipperObject>> clippers;
};

std::string self(const void* object) { return object_name(object); }

RECT whole(const Buffer& buffer) { return RECT{0, 0, buffer.width, buffer.height}; }

bool inside(const RECT& rect, const RECT& bounds)
{
    return rect.left >= bounds.left && rect.top >= bounds.top && rect.right <= bounds.right &&
           rect.bottom <= bounds.bottom && rect.left < rect.right && rect.top < rect.bottom;
}

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

// Destination pixels left to right - 1 of a row, each from the source column
// the map gives.
template <int bytes>
void stretch_run(std::uint8_t* to_row, const std::uint8_t* from_row, LONG left, LONG right, const LONG* column)
{
    for (LONG x = left; x < right; ++x, ++column)
        std::memcpy(to_row + x * bytes, from_row + *column * bytes, bytes);
}

SurfaceObject* find_surface(const void* pointer)
{
    for (const auto& directdraw : registry().directdraws)
        for (const auto& surface : directdraw->surfaces)
            if (surface.get() == pointer)
                return surface.get();
    return nullptr;
}

ClipperObject* find_clipper(const void* pointer)
{
    for (const auto& directdraw : registry().directdraws)
        for (const auto& clipper : directdraw->clippers)
            if (clipper.get() == pointer)
                return clipper.get();
    return nullptr;
}

void fill_pixel_format(DDPIXELFORMAT& out, const PixelFormat& format)
{
    const DWORD size = out.dwSize;
    out = DDPIXELFORMAT{};
    out.dwSize = size;
    out.dwFlags = format.palette ? DDPF_PALETTEINDEXED8 : DDPF_RGB;
    out.dwRGBBitCount = format.bits;
    out.dwRBitMask = format.red;
    out.dwGBitMask = format.green;
    out.dwBBitMask = format.blue;
}

// A record's size, the one field a caller fills in before the call fills the rest.
template <class Record>
std::string size_text(const Record* record)
{
    return record ? "{dwSize=" + std::to_string(record->dwSize) + '}' : "NULL";
}

std::string desc_text(const DDSURFACEDESC* desc)
{
    if (!desc)
        return "NULL";
    std::string out = "{dwSize=" + std::to_string(desc->dwSize) + ", dwFlags=" + hex(desc->dwFlags);
    if (desc->dwFlags & DDSD_HEIGHT)
        out += ", dwHeight=" + std::to_string(desc->dwHeight);
    if (desc->dwFlags & DDSD_WIDTH)
        out += ", dwWidth=" + std::to_string(desc->dwWidth);
    if (desc->dwFlags & DDSD_BACKBUFFERCOUNT)
        out += ", dwBackBufferCount=" + std::to_string(desc->dwBackBufferCount);
    if (desc->dwFlags & DDSD_CAPS)
        out += ", dwCaps=" + hex(desc->ddsCaps.dwCaps);
    return out + '}';
}

void set_mode(const DisplayMode& mode, std::uint32_t rgb)
{
    State& s = state();
    s.mode = mode;
    s.screen = std::make_unique<Buffer>(mode.width, mode.height, mode.format);
    s.screen->fill(rgb_to_pixel(rgb, mode.format));
    lose_all_surfaces();
    // The exclusive window covers the screen in every mode.
    if (registry().exclusive_owner)
        if (Window* window = find_window(registry().exclusive_owner->window)) {
            window->outer = RECT{0, 0, mode.width, mode.height};
            host().window_changed(*window);
        }
    host().mode_changed(mode);
}

// ---- IDirectDrawClipper

ULONG ClipperObject::AddRef()
{
    return journaled<Infallible<Number<ULONG>>>("IDirectDrawClipper::AddRef", [&] { return self(this); },
                                                [&] { return ++references; });
}

ULONG ClipperObject::Release()
{
    return journaled<Number<ULONG>>("IDirectDrawClipper::Release", [&] { return self(this); }, [&] {
        const ULONG left = --references;
        if (left == 0)
            owner->destroy_clipper(this);
        return left;
    });
}

HRESULT ClipperObject::SetHWnd(DWORD dwFlags, HWND hWnd)
{
    const auto args = [&] { return self(this) + ", " + hex(dwFlags) + ", " + window_name(hWnd); };
    return journaled<Status>("IDirectDrawClipper::SetHWnd", args, [&] {
        if (dwFlags != 0 || (hWnd && !find_window(hWnd)))
            return DDERR_INVALIDPARAMS;
        has_window = hWnd != nullptr;
        window = hWnd;
        return DD_OK;
    });
}

// ---- IDirectDrawSurface

std::vector<SurfaceObject*> SurfaceObject::chain()
{
    SurfaceObject* head = kind == Kind::back ? front : this;
    std::vector<SurfaceObject*> all{head};
    all.insert(all.end(), head->backs.begin(), head->backs.end());
    return all;
}

SurfaceObject* SurfaceObject::attached()
{
    if (kind != Kind::front && kind != Kind::back)
        return nullptr;
    const std::vector<SurfaceObject*> all = chain();
    const auto at = std::find(all.begin(), all.end(), this);
    return at + 1 != all.end() ? *(at + 1) : all.front();
}

ULONG SurfaceObject::AddRef()
{
    return journaled<Infallible<Number<ULONG>>>("IDirectDrawSurface::AddRef", [&] { return self(this); },
                                                [&] { return ++references; });
}

ULONG SurfaceObject::Release()
{
    return journaled<Number<ULONG>>("IDirectDrawSurface::Release", [&] { return self(this); }, [&] {
        // Back buffers belong to their chain and go only with its front.
        if (kind == Kind::back) {
            if (references > 0)
                --references;
            return references;
        }
        const ULONG left = --references;
        if (left == 0)
            owner->destroy_surface(this);
        return left;
    });
}

HRESULT SurfaceObject::Lock(LPRECT lpDestRect, LPDDSURFACEDESC lpDDSurfaceDesc, DWORD dwFlags, HANDLE hEvent)
{
    const auto args = [&] {
        return self(this) + ", " + rect_text(lpDestRect) + ", " + size_text(lpDDSurfaceDesc) + ", " + hex(dwFlags) +
               ", " + pointer(hEvent);
    };
    return journaled<Status>("IDirectDrawSurface::Lock", args, [&] {
        if (!lpDDSurfaceDesc || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        if (lost)
            return DDERR_SURFACELOST;
        if (locked)
            return DDERR_SURFACEBUSY;
        Buffer& buffer = memory();
        const RECT area = lpDestRect ? *lpDestRect : whole(buffer);
        if (!inside(area, whole(buffer)))
            return DDERR_INVALIDRECT;

        const DWORD size = lpDDSurfaceDesc->dwSize;
        *lpDDSurfaceDesc = DDSURFACEDESC{};
        lpDDSurfaceDesc->dwSize = size;
        lpDDSurfaceDesc->dwFlags =
            DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
        lpDDSurfaceDesc->dwWidth = static_cast<DWORD>(buffer.width);
        lpDDSurfaceDesc->dwHeight = static_cast<DWORD>(buffer.height);
        lpDDSurfaceDesc->lPitch = buffer.pitch;
        lpDDSurfaceDesc->lpSurface = buffer.row(area.top) + area.left * buffer.format.bytes();
        lpDDSurfaceDesc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        fill_pixel_format(lpDDSurfaceDesc->ddpfPixelFormat, format);
        lpDDSurfaceDesc->ddsCaps.dwCaps = caps;
        locked = true;
        locked_at = lpDDSurfaceDesc->lpSurface;
        return DD_OK;
    });
}

HRESULT SurfaceObject::Unlock(LPVOID lpSurfaceData)
{
    const auto args = [&] { return self(this) + ", " + pointer(lpSurfaceData); };
    return journaled<Status>("IDirectDrawSurface::Unlock", args, [&] {
        // The address ties the unlock to its lock; NULL unlocks whatever is locked.
        if (!locked || (lpSurfaceData && lpSurfaceData != locked_at))
            return DDERR_NOTLOCKED;
        locked = false;
        locked_at = nullptr;
        if (on_screen())
            show_screen_changed();
        return DD_OK;
    });
}

HRESULT SurfaceObject::Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags,
                           LPDDBLTFX lpDDBltFx)
{
    const auto args = [&] {
        return self(this) + ", " + rect_text(lpDestRect) + ", " + object_name(lpDDSrcSurface) + ", " +
               rect_text(lpSrcRect) + ", " + hex(dwFlags) + ", " + pointer(lpDDBltFx);
    };
    return journaled<Status>("IDirectDrawSurface::Blt", args, [&] {
        // Plain copies only: no colour fills, keys, raster operations or effects.
        if (!lpDDSrcSurface || (dwFlags & ~static_cast<DWORD>(DDBLT_WAIT | DDBLT_DONOTWAIT | DDBLT_ASYNC)))
            return DDERR_INVALIDPARAMS;
        SurfaceObject* source = find_surface(lpDDSrcSurface);
        if (!source)
            return DDERR_INVALIDOBJECT;
        if (lost || source->lost)
            return DDERR_SURFACELOST;
        if (locked || source->locked)
            return DDERR_SURFACEBUSY;
        if (!(format == source->format))
            return DDERR_INVALIDPIXELFORMAT;
        Buffer& to = memory();
        const Buffer& from = source->memory();
        const RECT from_area = lpSrcRect ? *lpSrcRect : whole(from);
        const RECT to_area = lpDestRect ? *lpDestRect : whole(to);
        if (!inside(from_area, whole(from)) || to_area.left >= to_area.right || to_area.top >= to_area.bottom)
            return DDERR_INVALIDRECT;

        RECT visible = to_area;
        if (clipper) {
            if (!clipper->has_window)
                return DDERR_NOCLIPLIST;
            const Window* window = find_window(clipper->window);
            const RECT client = window && window->visible && !window->minimized ? window->client_on_screen() : RECT{};
            visible = intersect(intersect(visible, client), whole(to));
        } else if (!inside(to_area, whole(to))) {
            return DDERR_INVALIDRECT;
        }

        // Nearest source pixel for each destination pixel: rows copied whole when
        // the widths agree, through a column map computed once per blit otherwise.
        const long long from_width = from_area.right - from_area.left, from_height = from_area.bottom - from_area.top;
        const long long to_width = to_area.right - to_area.left, to_height = to_area.bottom - to_area.top;
        const int bytes = format.bytes();
        const bool stretched = from_width != to_width;
        if (stretched && visible.left < visible.right) {
            columns.resize(static_cast<std::size_t>(visible.right - visible.left));
            for (LONG x = visible.left; x < visible.right; ++x)
                columns[static_cast<std::size_t>(x - visible.left)] =
                    from_area.left + static_cast<LONG>((x - to_area.left) * from_width / to_width);
        }
        const auto copy_run = [&](std::uint8_t* to_row, const std::uint8_t* from_row, LONG left, LONG right) {
            if (left >= right)
                return;
            if (!stretched) {  // a surface may be blitted onto itself
                std::memmove(to_row + left * bytes, from_row + (from_area.left + left - to_area.left) * bytes,
                            static_cast<std::size_t>(right - left) * bytes);
                return;
            }
            const LONG* column = columns.data() + (left - visible.left);
            switch (bytes) {
            case 1: stretch_run<1>(to_row, from_row, left, right, column); break;
            case 2: stretch_run<2>(to_row, from_row, left, right, column); break;
            case 3: stretch_run<3>(to_row, from_row, left, right, column); break;
            default: stretch_run<4>(to_row, from_row, left, right, column); break;
            }
        };
        // Another program's window over the screen splits a row into at most two runs.
        const RECT covered = on_screen() ? state().obscured : RECT{};
        const bool any_covered = covered.left < covered.right && covered.top < covered.bottom;
        for (LONG y = visible.top; y < visible.bottom; ++y) {
            const LONG from_y = from_area.top + static_cast<LONG>((y - to_area.top) * from_height / to_height);
            std::uint8_t* to_row = to.row(y);
            const std::uint8_t* from_row = from.row(from_y);
            if (any_covered && y >= covered.top && y < covered.bottom) {
                copy_run(to_row, from_row, visible.left, std::min(visible.right, covered.left));
                copy_run(to_row, from_row, std::max(visible.left, covered.right), visible.right);
            } else {
                copy_run(to_row, from_row, visible.left, visible.right);
            }
        }
        if (on_screen() && visible.left < visible.right && visible.top < visible.bottom)
            show_screen_changed();
        return DD_OK;
    });
}

HRESULT SurfaceObject::Flip(LPDIRECTDRAWSURFACE lpDDSurfaceTargetOverride, DWORD dwFlags)
{
    const auto args = [&] { return self(this) + ", " + object_name(lpDDSurfaceTargetOverride) + ", " + hex(dwFlags); };
    return journaled<Status>("IDirectDrawSurface::Flip", args, [&] {
        if (kind != Kind::front)
            return DDERR_NOTFLIPPABLE;
        if (lpDDSurfaceTargetOverride)
            return DDERR_INVALIDPARAMS;  // flips go to the next buffer only
        for (std::size_t i = 0; i <= backs.size(); ++i) {
            const SurfaceObject* surface = i == 0 ? this : backs[i - 1];
            if (surface->lost)
                return DDERR_SURFACELOST;
            if (surface->locked)
                return DDERR_SURFACEBUSY;
        }
        // The buffer behind the front becomes visible; the old front goes last.
        State& s = state();
        std::unique_ptr<Buffer> old_front = std::move(s.screen);
        s.screen = std::move(backs.front()->own);
        for (std::size_t i = 0; i + 1 < backs.size(); ++i)
            backs[i]->own = std::move(backs[i + 1]->own);
        backs.back()->own = std::move(old_front);
        show_screen_changed();
        return DD_OK;
    });
}

HRESULT SurfaceObject::Restore()
{
    return journaled<Status>("IDirectDrawSurface::Restore", [&] { return self(this); }, [&] {
        // Restoring a chain's front restores the buffers flipped with it.
        const auto each_restored = [&](auto&& visit) {
            visit(this);
            if (kind == Kind::front)
                for (SurfaceObject* back : backs)
                    visit(back);
        };
        bool any_lost = false;
        each_restored([&](const SurfaceObject* surface) { any_lost = any_lost || surface->lost; });
        if (!any_lost)
            return DD_OK;
        const DisplayMode& mode = state().mode;
        if (!(format == mode.format) || (on_screen() && (width != mode.width || height != mode.height)))
            return DDERR_WRONGMODE;
        each_restored([](SurfaceObject* surface) {
            if (surface->lost && surface->own)
                surface->own->fill(0);  // the memory comes back, its content does not
            surface->lost = false;
        });
        return DD_OK;
    });
}

HRESULT SurfaceObject::GetAttachedSurface(LPDDSCAPS lpDDSCaps, LPDIRECTDRAWSURFACE* lplpDDAttachedSurface)
{
    const auto args = [&] {
        return self(this) + ", " + (lpDDSCaps ? "{dwCaps=" + hex(lpDDSCaps->dwCaps) + '}' : "NULL") + ", " +
               pointer(lplpDDAttachedSurface);
    };
    const auto outputs = [&] { return object_name(*lplpDDAttachedSurface); };
    return journaled<Status>("IDirectDrawSurface::GetAttachedSurface", args, outputs, [&] {
        if (!lpDDSCaps || !lplpDDAttachedSurface)
            return DDERR_INVALIDPARAMS;
        SurfaceObject* next = attached();
        if (!next || (next->caps & lpDDSCaps->dwCaps) != lpDDSCaps->dwCaps)
            return DDERR_NOTFOUND;
        ++next->references;
        *lplpDDAttachedSurface = next;
        return DD_OK;
    });
}

HRESULT SurfaceObject::GetPixelFormat(LPDDPIXELFORMAT lpDDPixelFormat)
{
    const auto args = [&] { return self(this) + ", " + size_text(lpDDPixelFormat); };
    return journaled<Status>("IDirectDrawSurface::GetPixelFormat", args, [&] {
        if (!lpDDPixelFormat || lpDDPixelFormat->dwSize != sizeof(DDPIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        fill_pixel_format(*lpDDPixelFormat, format);
        return DD_OK;
    });
}

HRESULT SurfaceObject::SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper)
{
    const auto args = [&] { return self(this) + ", " + object_name(lpDDClipper); };
    return journaled<Status>("IDirectDrawSurface::SetClipper", args, [&] {
        ClipperObject* next = nullptr;
        if (lpDDClipper && !(next = find_clipper(lpDDClipper)))
            return DDERR_INVALIDOBJECT;
        if (next)
            ++next->references;
        ClipperObject* previous = std::exchange(clipper, next);
        if (previous && --previous->references == 0)
            previous->owner->destroy_clipper(previous);
        return DD_OK;
    });
}

// ---- IDirectDraw

SurfaceObject* DirectDrawObject::add_surface(Kind kind, DWORD caps, int width, int height)
{
    auto surface = std::make_unique<SurfaceObject>(this, ++registry().surfaces_made, kind, caps);
    surface->width = width;
    surface->height = height;
    if (!surface->on_screen())
        surface->own = std::make_unique<Buffer>(width, height, surface->format);
    name_object(surface.get(), "surface#" + std::to_string(surface->id));
    surfaces.push_back(std::move(surface));
    return surfaces.back().get();
}

void DirectDrawObject::destroy_surface(SurfaceObject* surface)
{
    for (SurfaceObject* back : surface->backs)
        destroy_surface(back);
    if (ClipperObject* clipper = surface->clipper; clipper && --clipper->references == 0)
        destroy_clipper(clipper);
    forget_object(surface);
    std::erase_if(surfaces, [surface](const std::unique_ptr<SurfaceObject>& s) { return s.get() == surface; });
}

void DirectDrawObject::destroy_clipper(ClipperObject* clipper)
{
    for (const auto& surface : surfaces)
        if (surface->clipper == clipper)
            surface->clipper = nullptr;
    forget_object(clipper);
    std::erase_if(clippers, [clipper](const std::unique_ptr<ClipperObject>& c) { return c.get() == clipper; });
}

// Everything this object made goes with it, whatever references remain.
void DirectDrawObject::destroy_everything()
{
    for (const auto& surface : surfaces)
        forget_object(surface.get());
    for (const auto& clipper : clippers)
        forget_object(clipper.get());
    surfaces.clear();
    clippers.clear();
    if (changed_mode) {
        changed_mode = false;
        set_mode(state().setup.desktop, state().setup.desktop_rgb);
    }
    if (registry().exclusive_owner == this) {
        registry().exclusive_owner = nullptr;
        host().exclusive_changed(nullptr);
    }
    forget_object(this);
}

ULONG DirectDrawObject::AddRef()
{
    return journaled<Infallible<Number<ULONG>>>("IDirectDraw::AddRef", [&] { return self(this); },
                                                [&] { return ++references; });
}

ULONG DirectDrawObject::Release()
{
    return journaled<Number<ULONG>>("IDirectDraw::Release", [&] { return self(this); }, [&] {
        const ULONG left = --references;
        if (left == 0) {
            destroy_everything();
            std::erase_if(registry().directdraws,
                          [this](const std::unique_ptr<DirectDrawObject>& d) { return d.get() == this; });
        }
        return left;
    });
}

HRESULT DirectDrawObject::CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter)
{
    const auto args = [&] {
        return self(this) + ", " + hex(dwFlags) + ", " + pointer(lplpDDClipper) + ", " + pointer(pUnkOuter);
    };
    const auto outputs = [&] { return object_name(*lplpDDClipper); };
    return journaled<Status>("IDirectDraw::CreateClipper", args, outputs, [&] {
        if (dwFlags != 0 || !lplpDDClipper || pUnkOuter)
            return DDERR_INVALIDPARAMS;
        clippers.push_back(std::make_unique<ClipperObject>(this, ++registry().clippers_made));
        ClipperObject* clipper = clippers.back().get();
        name_object(clipper, "clipper#" + std::to_string(clipper->id));
        *lplpDDClipper = clipper;
        return DD_OK;
    });
}

HRESULT DirectDrawObject::CreateSurface(LPDDSURFACEDESC lpDDSurfaceDesc, LPDIRECTDRAWSURFACE* lplpDDSurface,
                                        IUnknown* pUnkOuter)
{
    const auto args = [&] {
        return self(this) + ", " + desc_text(lpDDSurfaceDesc) + ", " + pointer(lplpDDSurface) + ", " +
               pointer(pUnkOuter);
    };
    const auto outputs = [&] { return object_name(*lplpDDSurface); };
    return journaled<Status>("IDirectDraw::CreateSurface", args, outputs, [&] {
        if (!lpDDSurfaceDesc || !lplpDDSurface || pUnkOuter || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC))
            return DDERR_INVALIDPARAMS;
        if (level == Level::none)
            return DDERR_NOCOOPERATIVELEVELSET;
        const DWORD flags = lpDDSurfaceDesc->dwFlags;
        const DWORD caps = lpDDSurfaceDesc->ddsCaps.dwCaps;
        if (!(flags & DDSD_CAPS))
            return DDERR_INVALIDPARAMS;
        const DWORD memory = caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY) ? 0 : DDSCAPS_VIDEOMEMORY;
        const DisplayMode& mode = state().mode;
        SurfaceObject* made = nullptr;

        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if (flags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT))
                return DDERR_INVALIDPARAMS;
            if (std::any_of(surfaces.begin(), surfaces.end(), [](const auto& s) { return s->on_screen(); }))
                return DDERR_PRIMARYSURFACEALREADYEXISTS;
            const bool flipping = caps & DDSCAPS_FLIP;
            if (flipping != ((caps & DDSCAPS_COMPLEX) != 0) || (caps & (DDSCAPS_BACKBUFFER | DDSCAPS_OFFSCREENPLAIN)))
                return DDERR_INVALIDCAPS;
            if (!flipping) {
                if (flags & DDSD_BACKBUFFERCOUNT)
                    return DDERR_INVALIDPARAMS;
                made = add_surface(Kind::primary, caps | memory | DDSCAPS_VISIBLE, mode.width, mode.height);
            } else {
                if (level != Level::exclusive)
                    return DDERR_NOEXCLUSIVEMODE;
                const DWORD count = lpDDSurfaceDesc->dwBackBufferCount;
                if (!(flags & DDSD_BACKBUFFERCOUNT) || count == 0)
                    return DDERR_INVALIDPARAMS;
                if (count > static_cast<DWORD>(state().setup.max_back_buffers))
                    return DDERR_OUTOFVIDEOMEMORY;
                made = add_surface(Kind::front, caps | memory | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE, mode.width,
                                   mode.height);
                const DWORD chained = (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY |
                                               DDSCAPS_SYSTEMMEMORY)) | memory;
                for (DWORD i = 0; i < count; ++i) {
                    SurfaceObject* back = add_surface(Kind::back, chained | (i == 0 ? DDSCAPS_BACKBUFFER : 0),
                                                      mode.width, mode.height);
                    back->references = 0;  // held by the chain until someone asks for it
                    back->front = made;
                    made->backs.push_back(back);
                }
            }
        } else if (caps & DDSCAPS_OFFSCREENPLAIN) {
            if (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_BACKBUFFER))
                return DDERR_INVALIDCAPS;
            const DWORD width = lpDDSurfaceDesc->dwWidth, height = lpDDSurfaceDesc->dwHeight;
            if ((flags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || width == 0 || height == 0 ||
                width > 16384 || height > 16384)
                return DDERR_INVALIDPARAMS;
            if (flags & DDSD_PIXELFORMAT)
                return DDERR_INVALIDPIXELFORMAT;  // only the display's own format
            made = add_surface(Kind::offscreen, caps | memory, static_cast<int>(width), static_cast<int>(height));
        } else {
            return DDERR_INVALIDCAPS;
        }
        *lplpDDSurface = made;
        return DD_OK;
    });
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND hWnd, DWORD dwFlags)
{
    const auto args = [&] { return self(this) + ", " + window_name(hWnd) + ", " + hex(dwFlags); };
    return journaled<Status>("IDirectDraw::SetCooperativeLevel", args, [&] {
        const DWORD kind = dwFlags & (DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
        Registry& r = registry();
        if (kind == DDSCL_NORMAL) {
            if (hWnd && !find_window(hWnd))
                return DDERR_INVALIDPARAMS;
            if (r.exclusive_owner == this) {
                r.exclusive_owner = nullptr;
                host().exclusive_changed(nullptr);
            }
            level = Level::normal;
            window = hWnd;
            return DD_OK;
        }
        if (kind != (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))
            return DDERR_INVALIDPARAMS;
        Window* target = find_window(hWnd);
        if (!target)
            return DDERR_INVALIDPARAMS;
        if (r.exclusive_owner && r.exclusive_owner != this)
            return DDERR_EXCLUSIVEMODEALREADYSET;
        r.exclusive_owner = this;
        level = Level::exclusive;
        window = hWnd;
        // The exclusive window is shown over the whole screen and brought to the front.
        target->outer = RECT{0, 0, state().mode.width, state().mode.height};
        target->visible = true;
        target->minimized = false;
        target->needs_paint = true;
        activate(hWnd);
        host().window_changed(*target);
        host().exclusive_changed(hWnd);
        return DD_OK;
    });
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP)
{
    const auto args = [&] {
        return self(this) + ", " + std::to_string(dwWidth) + ", " + std::to_string(dwHeight) + ", " +
               std::to_string(dwBPP);
    };
    return journaled<Status>("IDirectDraw::SetDisplayMode", args, [&] {
        if (registry().exclusive_owner != this)
            return DDERR_NOEXCLUSIVEMODE;
        for (const DisplayMode& mode : state().setup.modes)
            if (static_cast<DWORD>(mode.width) == dwWidth && static_cast<DWORD>(mode.height) == dwHeight &&
                mode.format.bits == dwBPP) {
                if (!host().allow_mode_switch(mode))
                    return DDERR_UNSUPPORTEDMODE;
                changed_mode = true;
                set_mode(mode, 0);
                return DD_OK;
            }
        return DDERR_INVALIDMODE;
    });
}

HRESULT DirectDrawObject::RestoreDisplayMode()
{
    return journaled<Status>("IDirectDraw::RestoreDisplayMode", [&] { return self(this); }, [&] {
        if (changed_mode) {
            changed_mode = false;
            set_mode(state().setup.desktop, state().setup.desktop_rgb);
        }
        return DD_OK;
    });
}

}  // namespace

HRESULT WINAPI DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter)
{
    const auto args = [&] { return pointer(lpGUID) + ", " + pointer(lplpDD) + ", " + pointer(pUnkOuter); };
    const auto outputs = [&] { return object_name(*lplpDD); };
    return journaled<Status>("DirectDrawCreate", args, outputs, [&] {
        if (!lplpDD || pUnkOuter)
            return DDERR_INVALIDPARAMS;
        if (lpGUID)
            return DDERR_INVALIDDIRECTDRAWGUID;  // only the default display driver
        if (state().setup.no_display)
            return DDERR_NODIRECTDRAWHW;  // nothing to show on: no display driver
        Registry& r = registry();
        r.directdraws.push_back(std::make_unique<DirectDrawObject>(++r.directdraws_made));
        DirectDrawObject* made = r.directdraws.back().get();
        name_object(made, "ddraw#" + std::to_string(made->id));
        *lplpDD = made;
        return DD_OK;
    });
}

namespace platform {

LiveObjects live_directdraw()
{
    LiveObjects live;
    for (const auto& directdraw : registry().directdraws) {
        ++live.directdraws;
        live.surfaces += static_cast<int>(directdraw->surfaces.size());
        live.clippers += static_cast<int>(directdraw->clippers.size());
    }
    return live;
}

void release_all_directdraw()
{
    Registry& r = registry();
    for (const auto& directdraw : r.directdraws) {
        for (const auto& surface : directdraw->surfaces)
            forget_object(surface.get());
        for (const auto& clipper : directdraw->clippers)
            forget_object(clipper.get());
        forget_object(directdraw.get());
    }
    r = Registry{};
}

void lose_all_surfaces()
{
    for (const auto& directdraw : registry().directdraws)
        for (const auto& surface : directdraw->surfaces)
            surface->lost = true;
}

void app_deactivated()
{
    if (registry().exclusive_owner)
        lose_all_surfaces();
}

bool any_slack_touched()
{
    if (state().screen->slack_touched())
        return true;
    for (const auto& directdraw : registry().directdraws)
        for (const auto& surface : directdraw->surfaces)
            if (surface->own && surface->own->slack_touched())
                return true;
    return false;
}

}  // namespace platform
