// DirectDraw, first-version interfaces: the one DirectDraw object a process
// makes, and the surfaces and clippers it makes. The primary surface is the
// screen's own memory; a flipping chain moves buffers behind fixed surface
// references.
#include "core.h"
#include "journal.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace platform;

namespace {

struct DirectDrawObject;

enum class Level { none, normal, exclusive };
enum class Kind { primary, front, back, offscreen };

RECT whole(const Buffer& buffer) { return RECT{0, 0, buffer.width, buffer.height}; }

bool inside(const RECT& rect, const RECT& bounds)
{
    return rect.left >= bounds.left && rect.top >= bounds.top && rect.right <= bounds.right &&
           rect.bottom <= bounds.bottom && rect.left < rect.right && rect.top < rect.bottom;
}

template <class Object>
Object* find(const std::vector<std::unique_ptr<Object>>& objects, const void* pointer)
{
    const auto found = std::find_if(objects.begin(), objects.end(), [=](const auto& o) { return o.get() == pointer; });
    return found != objects.end() ? found->get() : nullptr;
}

DDPIXELFORMAT pixel_format_record(const PixelFormat& format)
{
    const DWORD kind = format.palette ? DDPF_PALETTEINDEXED8 : DDPF_RGB;
    return DDPIXELFORMAT{sizeof(DDPIXELFORMAT), kind, 0, format.bits, format.red, format.green, format.blue, 0};
}

// The one DirectDraw object a process may have; the surfaces and clippers it
// made live no longer than it.
std::unique_ptr<DirectDrawObject> directdraw;

// Clippers, like back buffers, go with what made them: their references are only counted.
struct ClipperObject final : IDirectDrawClipper {
    ULONG Release() override
    {
        Call<ULONG> call("IDirectDrawClipper::Release", this);
        return call.forced() ? call.forced_result() : call(references > 0 ? --references : 0);
    }
    HRESULT SetHWnd(DWORD dwFlags, HWND hWnd) override
    {
        Call<Status> call("IDirectDrawClipper::SetHWnd", this, Hex{dwFlags}, hWnd);
        if (call.forced()) return call.forced_result();
        if (dwFlags != 0 || (hWnd && !find_window(hWnd)))
            return call(DDERR_INVALIDPARAMS);
        window = hWnd;
        return call(DD_OK);
    }

    ULONG references = 1;
    HWND window = nullptr;  // none: no clip list yet
};

struct SurfaceObject final : IDirectDrawSurface {
    SurfaceObject(Kind kind, int width, int height)
        : kind(kind), format(state().mode.format), width(width), height(height),
          own(on_screen() ? nullptr : std::make_unique<Buffer>(width, height, format)) {}
    ULONG Release() override;
    HRESULT Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags,
                LPDDBLTFX lpDDBltFx) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE lpDDSurfaceTargetOverride, DWORD dwFlags) override
    {
        Call<Status> call("IDirectDrawSurface::Flip", this, lpDDSurfaceTargetOverride, Hex{dwFlags});
        if (call.forced()) return call.forced_result();
        if (kind != Kind::front)
            return call(DDERR_NOTFLIPPABLE);
        if (lpDDSurfaceTargetOverride)
            return call(DDERR_INVALIDPARAMS);  // flips go to the next buffer only
        for (const SurfaceObject* surface : chain())
            if (const HRESULT why = surface->blocked())
                return call(why);
        // The buffer behind the front becomes visible; the old front goes last.
        std::swap(state().screen, backs.front()->own);
        for (std::size_t i = 0; i + 1 < backs.size(); ++i)
            std::swap(backs[i]->own, backs[i + 1]->own);
        host().screen_changed();
        return call(DD_OK);
    }
    HRESULT GetAttachedSurface(LPDDSCAPS lpDDSCaps, LPDIRECTDRAWSURFACE* lplpDDAttachedSurface) override
    {
        Call<Status> call("IDirectDrawSurface::GetAttachedSurface", this, lpDDSCaps, Pointer{lplpDDAttachedSurface});
        if (call.forced()) return call.forced_result();
        if (!lpDDSCaps || !lplpDDAttachedSurface)
            return call(DDERR_INVALIDPARAMS);
        // Only a chain's front has a surface attached: the back buffer it flips to,
        // asked for by DDSCAPS_BACKBUFFER alone as the display asks.
        SurfaceObject* next = kind == Kind::front ? backs.front() : nullptr;
        if (!next || lpDDSCaps->dwCaps != DDSCAPS_BACKBUFFER)
            return call(DDERR_NOTFOUND);
        ++next->references;
        *lplpDDAttachedSurface = next;
        return call(DD_OK, next);
    }
    HRESULT GetPixelFormat(LPDDPIXELFORMAT lpDDPixelFormat) override
    {
        Call<Status> call("IDirectDrawSurface::GetPixelFormat", this, Sized<DDPIXELFORMAT>{lpDDPixelFormat});
        if (call.forced()) return call.forced_result();
        if (!lpDDPixelFormat || lpDDPixelFormat->dwSize != sizeof(DDPIXELFORMAT))
            return call(DDERR_INVALIDPARAMS);
        *lpDDPixelFormat = pixel_format_record(format);  // its size checked as this one's
        return call(DD_OK);
    }
    HRESULT Lock(LPRECT lpDestRect, LPDDSURFACEDESC lpDDSurfaceDesc, DWORD dwFlags, HANDLE hEvent) override
    {
        Call<Status> call("IDirectDrawSurface::Lock", this, lpDestRect, Sized<DDSURFACEDESC>{lpDDSurfaceDesc},
                          Hex{dwFlags}, Pointer{hEvent});
        if (call.forced()) return call.forced_result();
        // Whole surfaces only: the display never locks a part.
        if (!lpDDSurfaceDesc || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC) || lpDestRect)
            return call(DDERR_INVALIDPARAMS);
        if (const HRESULT why = blocked())
            return call(why);
        Buffer& buffer = memory();
        locked_at = buffer.row(0);
        // Size, flags, height, width, pitch, four unused, the memory, no colour keys, the format, no caps kept.
        const DWORD given = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_LPSURFACE | DDSD_PIXELFORMAT;
        *lpDDSurfaceDesc = DDSURFACEDESC{sizeof(DDSURFACEDESC), given, static_cast<DWORD>(buffer.height),
                                         static_cast<DWORD>(buffer.width), buffer.pitch, 0, 0, 0, 0, locked_at, {},
                                         pixel_format_record(format), {}};
        return call(DD_OK);
    }
    HRESULT Restore() override
    {
        Call<Status> call("IDirectDrawSurface::Restore", this);
        if (call.forced()) return call.forced_result();
        // Restoring a chain's front restores the buffers flipped with it.
        const std::vector<SurfaceObject*> restored = chain();
        if (std::none_of(restored.begin(), restored.end(), [](const SurfaceObject* s) { return s->lost; }))
            return call(DD_OK);
        const DisplayMode& mode = state().mode;
        if (!(format == mode.format) || (on_screen() && (width != mode.width || height != mode.height)))
            return call(DDERR_WRONGMODE);
        for (SurfaceObject* surface : restored) {
            if (surface->lost && surface->own)
                surface->own->fill(0);  // the memory comes back, its content does not
            surface->lost = false;
        }
        return call(DD_OK);
    }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) override;
    HRESULT Unlock(LPVOID lpSurfaceData) override
    {
        Call<Status> call("IDirectDrawSurface::Unlock", this, Pointer{lpSurfaceData});
        if (call.forced()) return call.forced_result();
        // The address ties the unlock to its lock; NULL unlocks whatever is locked.
        if (!locked_at || (lpSurfaceData && lpSurfaceData != locked_at))
            return call(DDERR_NOTLOCKED);
        locked_at = nullptr;
        if (on_screen())
            host().screen_changed();
        return call(DD_OK);
    }

    bool on_screen() const { return kind == Kind::primary || kind == Kind::front; }
    // Why the surface cannot be drawn on or flipped now, or DD_OK.
    HRESULT blocked() const { return lost ? DDERR_SURFACELOST : locked_at ? DDERR_SURFACEBUSY : DD_OK; }
    Buffer& memory() { return on_screen() ? *state().screen : *own; }
    // A front and the buffers flipped with it; any other surface alone.
    std::vector<SurfaceObject*> chain()
    {
        std::vector<SurfaceObject*> all{this};
        all.insert(all.end(), backs.begin(), backs.end());
        return all;
    }

    Kind kind;
    PixelFormat format;
    int width, height;
    ULONG references = kind == Kind::back ? 0 : 1;  // a back buffer is held by its chain until someone asks for it
    std::unique_ptr<Buffer> own;
    std::vector<SurfaceObject*> backs;  // a front's buffers, nearest first
    ClipperObject* clipper = nullptr;
    bool lost = false;
    void* locked_at = nullptr;  // none while unlocked
};

struct DirectDrawObject final : IDirectDraw {
    ULONG Release() override
    {
        Call<ULONG> call("IDirectDraw::Release", this);
        if (call.forced()) return call.forced_result();
        const ULONG left = --references;
        if (left == 0) {
            restore_desktop_mode();
            if (level == Level::exclusive)
                host().exclusive_changed(nullptr);
            // Everything this object made goes with it, whatever references remain.
            for (const auto& surface : surfaces)
                forget_object(surface.get());
            for (const auto& clipper : clippers)
                forget_object(clipper.get());
            forget_object(this);
            directdraw.reset();
        }
        return call(left);
    }
    HRESULT CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter) override
    {
        Call<Status> call("IDirectDraw::CreateClipper", this, Hex{dwFlags}, Pointer{lplpDDClipper}, Pointer{pUnkOuter});
        if (call.forced()) return call.forced_result();
        if (dwFlags != 0 || !lplpDDClipper || pUnkOuter)
            return call(DDERR_INVALIDPARAMS);
        ClipperObject* clipper = clippers.emplace_back(std::make_unique<ClipperObject>()).get();
        name_object(clipper, "clipper");
        *lplpDDClipper = clipper;
        return call(DD_OK, clipper);
    }
    HRESULT CreateSurface(LPDDSURFACEDESC lpDDSurfaceDesc, LPDIRECTDRAWSURFACE* lplpDDSurface,
                          IUnknown* pUnkOuter) override
    {
        Call<Status> call("IDirectDraw::CreateSurface", this, lpDDSurfaceDesc, Pointer{lplpDDSurface},
                          Pointer{pUnkOuter});
        if (call.forced()) return call.forced_result();
        if (!lpDDSurfaceDesc || !lplpDDSurface || pUnkOuter || lpDDSurfaceDesc->dwSize != sizeof(DDSURFACEDESC) ||
            !(lpDDSurfaceDesc->dwFlags & DDSD_CAPS))
            return call(DDERR_INVALIDPARAMS);
        if (level == Level::none)
            return call(DDERR_NOCOOPERATIVELEVELSET);
        // The surfaces the display makes: a primary, alone or at the front of a flipping
        // chain, and offscreen surfaces, all in the display's format.
        const DWORD flags = lpDDSurfaceDesc->dwFlags, caps = lpDDSurfaceDesc->ddsCaps.dwCaps;
        const DisplayMode& mode = state().mode;
        SurfaceObject* made = nullptr;
        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if (std::any_of(surfaces.begin(), surfaces.end(), [](const auto& s) { return s->on_screen(); }))
                return call(DDERR_PRIMARYSURFACEALREADYEXISTS);
            if (!(caps & DDSCAPS_FLIP)) {
                made = add_surface(Kind::primary, mode.width, mode.height);
            } else {
                const DWORD count = flags & DDSD_BACKBUFFERCOUNT ? lpDDSurfaceDesc->dwBackBufferCount : 0;
                if (level != Level::exclusive)
                    return call(DDERR_NOEXCLUSIVEMODE);
                if (count == 0)
                    return call(DDERR_INVALIDPARAMS);
                if (count > static_cast<DWORD>(state().setup.max_back_buffers))
                    return call(DDERR_OUTOFVIDEOMEMORY);
                made = add_surface(Kind::front, mode.width, mode.height);
                for (DWORD i = 0; i < count; ++i)
                    made->backs.push_back(add_surface(Kind::back, mode.width, mode.height));
            }
        } else if (caps & DDSCAPS_OFFSCREENPLAIN) {
            const DWORD width = lpDDSurfaceDesc->dwWidth, height = lpDDSurfaceDesc->dwHeight;
            if ((flags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || width == 0 || height == 0 ||
                width > 16384 || height > 16384)
                return call(DDERR_INVALIDPARAMS);
            made = add_surface(Kind::offscreen, static_cast<int>(width), static_cast<int>(height));
        } else {
            return call(DDERR_INVALIDCAPS);
        }
        *lplpDDSurface = made;
        return call(DD_OK, made);
    }
    HRESULT RestoreDisplayMode() override
    {
        Call<Status> call("IDirectDraw::RestoreDisplayMode", this);
        if (call.forced()) return call.forced_result();
        restore_desktop_mode();
        return call(DD_OK);
    }
    HRESULT SetCooperativeLevel(HWND hWnd, DWORD dwFlags) override
    {
        Call<Status> call("IDirectDraw::SetCooperativeLevel", this, hWnd, Hex{dwFlags});
        if (call.forced()) return call.forced_result();
        const DWORD kind = dwFlags & (DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
        if (kind == DDSCL_NORMAL) {
            if (hWnd && !find_window(hWnd))
                return call(DDERR_INVALIDPARAMS);
            if (level == Level::exclusive)
                host().exclusive_changed(nullptr);
            level = Level::normal;
            window = hWnd;
            return call(DD_OK);
        }
        Window* target = find_window(hWnd);
        if (kind != (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) || !target)
            return call(DDERR_INVALIDPARAMS);
        level = Level::exclusive;
        window = hWnd;
        // The exclusive window is shown over the whole screen and brought to the front.
        target->outer = RECT{0, 0, state().mode.width, state().mode.height};
        show_window(*target);
        host().exclusive_changed(hWnd);
        return call(DD_OK);
    }
    HRESULT SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP) override
    {
        Call<Status> call("IDirectDraw::SetDisplayMode", this, dwWidth, dwHeight, dwBPP);
        if (call.forced()) return call.forced_result();
        if (level != Level::exclusive)
            return call(DDERR_NOEXCLUSIVEMODE);
        for (const DisplayMode& mode : state().setup.modes)
            if (static_cast<DWORD>(mode.width) == dwWidth && static_cast<DWORD>(mode.height) == dwHeight &&
                mode.format.bits == dwBPP) {
                if (!host().allow_mode_switch(mode))
                    return call(DDERR_UNSUPPORTEDMODE);
                changed_mode = true;
                set_mode(mode, 0);
                return call(DD_OK);
            }
        return call(DDERR_INVALIDMODE);
    }

    SurfaceObject* add_surface(Kind kind, int width, int height)
    {
        SurfaceObject* made = surfaces.emplace_back(std::make_unique<SurfaceObject>(kind, width, height)).get();
        name_object(made, "surface");
        return made;
    }
    void destroy_surface(SurfaceObject* surface)
    {
        for (SurfaceObject* back : surface->backs)
            destroy_surface(back);
        forget_object(surface);
        std::erase_if(surfaces, [surface](const std::unique_ptr<SurfaceObject>& s) { return s.get() == surface; });
    }
    void set_mode(const DisplayMode& mode, std::uint32_t rgb)
    {
        State& s = state();
        s.mode = mode;
        s.screen = std::make_unique<Buffer>(mode.width, mode.height, mode.format, rgb_to_pixel(rgb, mode.format));
        lose_all_surfaces();
        // The exclusive window covers the screen in every mode.
        if (Window* covering = level == Level::exclusive ? find_window(window) : nullptr) {
            covering->outer = RECT{0, 0, mode.width, mode.height};
            host().window_changed(*covering);
        }
        host().screen_changed();
    }
    void restore_desktop_mode()
    {
        if (std::exchange(changed_mode, false))
            set_mode(state().setup.desktop, state().setup.desktop_rgb);
    }

    ULONG references = 1;
    Level level = Level::none;
    HWND window = nullptr;
    bool changed_mode = false;
    std::vector<std::unique_ptr<SurfaceObject>> surfaces;
    std::vector<std::unique_ptr<ClipperObject>> clippers;
};

// The methods that reach the DirectDraw object, defined once it is complete.

ULONG SurfaceObject::Release()
{
    Call<ULONG> call("IDirectDrawSurface::Release", this);
    if (call.forced()) return call.forced_result();
    // Back buffers belong to their chain and go only with its front.
    if (kind == Kind::back)
        return call(references > 0 ? --references : 0);
    const ULONG left = --references;
    if (left == 0)
        directdraw->destroy_surface(this);
    return call(left);
}

HRESULT SurfaceObject::Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags,
                           LPDDBLTFX lpDDBltFx)
{
    Call<Status> call("IDirectDrawSurface::Blt", this, lpDestRect, lpDDSrcSurface, lpSrcRect, Hex{dwFlags},
                      Pointer{lpDDBltFx});
    if (call.forced()) return call.forced_result();
    // Plain copies only: no colour fills, keys, raster operations or effects.
    if (!lpDDSrcSurface || (dwFlags & ~static_cast<DWORD>(DDBLT_WAIT)))
        return call(DDERR_INVALIDPARAMS);
    SurfaceObject* source = find(directdraw->surfaces, lpDDSrcSurface);
    if (!source)
        return call(DDERR_INVALIDOBJECT);
    for (const SurfaceObject* surface : {this, source})
        if (const HRESULT why = surface->blocked())
            return call(why);
    Buffer& to = memory();
    const Buffer& from = source->memory();
    const RECT from_area = lpSrcRect ? *lpSrcRect : whole(from);
    const RECT to_area = lpDestRect ? *lpDestRect : whole(to);
    if (!inside(from_area, whole(from)) || to_area.left >= to_area.right || to_area.top >= to_area.bottom)
        return call(DDERR_INVALIDRECT);

    RECT visible = to_area;
    if (clipper) {
        if (!clipper->window)
            return call(DDERR_NOCLIPLIST);
        const Window* window = find_window(clipper->window);
        const RECT client = window && window->visible ? window->client_on_screen() : RECT{};  // empty if minimised
        // Inverted when they do not meet: the copy below takes that for empty.
        visible = RECT{std::max({to_area.left, client.left, LONG{0}}), std::max({to_area.top, client.top, LONG{0}}),
                       std::min({to_area.right, client.right, LONG{to.width}}),
                       std::min({to_area.bottom, client.bottom, LONG{to.height}})};
    } else if (!inside(to_area, whole(to))) {
        return call(DDERR_INVALIDRECT);
    }

    // Nearest source pixel for each destination pixel; rows are copied whole when
    // the widths agree (moved: a surface may be blitted onto itself).
    const long long from_width = from_area.right - from_area.left, from_height = from_area.bottom - from_area.top;
    const long long to_width = to_area.right - to_area.left, to_height = to_area.bottom - to_area.top;
    const int bytes = format.bytes();
    for (LONG y = visible.top; y < visible.bottom; ++y) {
        const LONG from_y = from_area.top + static_cast<LONG>((y - to_area.top) * from_height / to_height);
        std::uint8_t* to_row = to.row(y);
        const std::uint8_t* from_row = from.row(from_y);
        if (from_width != to_width) {
            for (LONG x = visible.left; x < visible.right; ++x) {
                const long long column = from_area.left + (x - to_area.left) * from_width / to_width;
                std::memcpy(to_row + x * bytes, from_row + column * bytes, static_cast<std::size_t>(bytes));
            }
        } else if (visible.left < visible.right) {
            const LONG column = from_area.left + visible.left - to_area.left;
            std::memmove(to_row + visible.left * bytes, from_row + column * bytes,
                         static_cast<std::size_t>(visible.right - visible.left) * bytes);
        }
    }
    if (on_screen() && visible.left < visible.right && visible.top < visible.bottom)
        host().screen_changed();
    return call(DD_OK);
}

HRESULT SurfaceObject::SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper)
{
    Call<Status> call("IDirectDrawSurface::SetClipper", this, lpDDClipper);
    if (call.forced()) return call.forced_result();
    ClipperObject* next = find(directdraw->clippers, lpDDClipper);
    if (lpDDClipper && !next)
        return call(DDERR_INVALIDOBJECT);
    clipper = next;
    return call(DD_OK);
}

}  // namespace

HRESULT WINAPI DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter)
{
    Call<Status> call("DirectDrawCreate", Pointer{lpGUID}, Pointer{lplpDD}, Pointer{pUnkOuter});
    if (call.forced()) return call.forced_result();
    if (!lplpDD || pUnkOuter)
        return call(DDERR_INVALIDPARAMS);
    if (lpGUID)
        return call(DDERR_INVALIDDIRECTDRAWGUID);  // only the default display driver
    if (state().setup.no_display)
        return call(DDERR_NODIRECTDRAWHW);  // nothing to show on: no display driver
    if (directdraw)
        return call(DDERR_DIRECTDRAWALREADYCREATED);  // one per process, as the system makes
    directdraw = std::make_unique<DirectDrawObject>();
    name_object(directdraw.get(), "ddraw");
    *lplpDD = directdraw.get();
    return call(DD_OK, *lplpDD);
}

namespace platform {

LiveObjects live_directdraw()
{
    const auto& d = directdraw;
    return d ? LiveObjects{1, static_cast<int>(d->surfaces.size()), static_cast<int>(d->clippers.size())}
             : LiveObjects{};
}

void release_all_directdraw() { directdraw.reset(); }

void lose_all_surfaces()
{
    if (directdraw)
        for (const auto& surface : directdraw->surfaces)
            surface->lost = true;
}

void app_deactivated()
{
    if (directdraw && directdraw->level == Level::exclusive)
        lose_all_surfaces();
}

bool any_slack_touched()
{
    const auto& d = directdraw;
    const auto touched = [](const auto& surface) { return surface->own && surface->own->slack_touched(); };
    return state().screen->slack_touched() || (d && std::any_of(d->surfaces.begin(), d->surfaces.end(), touched));
}

}  // namespace platform
