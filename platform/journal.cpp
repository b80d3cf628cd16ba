#include "journal.h"

#include "core.h"

#include <cstdio>
#include <map>

namespace platform {
namespace {

struct Failure { int first, last; std::int64_t result; };

struct JournalState {
    std::vector<JournalEntry> entries;
    std::map<std::string, int> calls;
    std::map<std::string, std::vector<Failure>> failures;
    std::map<const void*, std::string> objects;
    std::map<std::string, int> made;  // objects of each kind
};

JournalState& journal_state() { static JournalState instance; return instance; }

std::string hex(std::uint64_t value)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
    return buffer;
}

// What an unknown handle or object is shown as: its kind and its address.
std::string address(const char* kind, const void* at) { return kind + hex(reinterpret_cast<std::uintptr_t>(at)); }

// A code's own name, from one list.
#define NAMED(code) {code, #code}

template <class Code>
std::string name_of(const std::map<Code, const char*>& names, Code code)
{
    const auto found = names.find(code);
    return found != names.end() ? found->second : hex(static_cast<std::uint32_t>(code));
}

}  // namespace

std::string arg_text(Message message)
{
    // The messages the stand-in and its hosts make.
    static const std::map<UINT, const char*> names = {
        NAMED(WM_PAINT),      NAMED(WM_CLOSE),      NAMED(WM_ACTIVATEAPP), NAMED(WM_SETCURSOR),
        NAMED(WM_KEYDOWN),    NAMED(WM_KEYUP),      NAMED(WM_SYSKEYDOWN),  NAMED(WM_SYSKEYUP),
        NAMED(WM_SYSCOMMAND),
    };
    return name_of(names, message.value);
}

std::vector<JournalEntry>& journal() { return journal_state().entries; }

void add_failure(const std::string& name, int nth, std::int64_t result, int times)
{
    journal_state().failures[name].push_back({nth, nth + times - 1, result});
}

void reset_journal() { journal_state() = JournalState{}; }

std::optional<std::int64_t> injected_failure(const char* name)
{
    JournalState& journal = journal_state();
    const int number = ++journal.calls[name];
    std::optional<std::int64_t> forced;
    for (const Failure& failure : journal.failures[name])
        if (number >= failure.first && number <= failure.last)
            forced = failure.result;
    return forced;
}

void name_object(const void* object, const std::string& kind)
{
    journal_state().objects[object] = kind + '#' + std::to_string(++journal_state().made[kind]);
}
void forget_object(const void* object) { journal_state().objects.erase(object); }

std::string status_text(HRESULT value)
{
    static const std::map<HRESULT, const char*> names = {
        NAMED(DD_OK), NAMED(DDERR_GENERIC), NAMED(DDERR_INVALIDPARAMS), NAMED(DDERR_INVALIDCAPS),
        NAMED(DDERR_INVALIDMODE), NAMED(DDERR_INVALIDOBJECT), NAMED(DDERR_INVALIDRECT), NAMED(DDERR_NOCLIPLIST),
        NAMED(DDERR_NOCOOPERATIVELEVELSET), NAMED(DDERR_NOEXCLUSIVEMODE), NAMED(DDERR_NOTFOUND),
        NAMED(DDERR_OUTOFVIDEOMEMORY), NAMED(DDERR_SURFACEBUSY), NAMED(DDERR_SURFACELOST),
        NAMED(DDERR_INVALIDDIRECTDRAWGUID), NAMED(DDERR_NODIRECTDRAWHW), NAMED(DDERR_PRIMARYSURFACEALREADYEXISTS),
        NAMED(DDERR_DIRECTDRAWALREADYCREATED), NAMED(DDERR_NOTFLIPPABLE), NAMED(DDERR_NOTLOCKED),
        NAMED(DDERR_WRONGMODE), NAMED(DDERR_UNSUPPORTEDMODE),
    };
    return name_of(names, value);
}

std::string arg_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string arg_text(const char* text) { return text ? '"' + std::string(text) + '"' : "NULL"; }
std::string arg_text(Hex value) { return hex(value.value); }
std::string arg_text(Pointer value) { return value.value ? "ptr" : "NULL"; }

std::string arg_text(Resource name)
{
    return name.name && IS_INTRESOURCE(name.name) ? '#' + std::to_string(reinterpret_cast<std::uintptr_t>(name.name))
                                                  : arg_text(name.name);
}

std::string arg_text(const RECT* r)
{
    return r ? '{' + std::to_string(r->left) + ',' + std::to_string(r->top) + ',' + std::to_string(r->right) + ',' +
                   std::to_string(r->bottom) + '}'
             : "NULL";
}

std::string arg_text(const POINT* point)
{
    return point ? '{' + std::to_string(point->x) + ',' + std::to_string(point->y) + '}' : "NULL";
}

std::string arg_text(const MSG* m)
{
    return m ? '{' + arg_text(m->hwnd) + ", " + arg_text(Message{m->message}) + ", " + hex(m->wParam) + ", " +
                   hex(static_cast<std::uint64_t>(m->lParam)) + '}'
             : "NULL";
}

std::string arg_text(const WNDCLASSA* c)
{
    return c ? '{' + hex(c->style) + ", " + arg_text(Pointer{reinterpret_cast<const void*>(c->lpfnWndProc)}) + ", " +
                   arg_text(c->hCursor) + ", " + arg_text(c->lpszClassName) + '}'
             : "NULL";
}

std::string arg_text(HWND window)
{
    const int id = window_id(window);
    return !window ? "NULL" : id ? "hwnd#" + std::to_string(id) : address("hwnd?", window);
}

std::string arg_text(HMODULE module)
{
    return !module ? "NULL" : module == ddraw_module() ? "ddraw.dll" : address("module?", module);
}

std::string arg_text(HCURSOR cursor) { return cursor ? "cursor#" + std::to_string(cursor_resource(cursor)) : "NULL"; }
std::string arg_text(FARPROC procedure) { return procedure ? "DirectDrawCreate" : "NULL"; }

std::string arg_text(const IUnknown* object)
{
    const auto found = journal_state().objects.find(object);
    return !object ? "NULL" : found != journal_state().objects.end() ? found->second : address("object?", object);
}

std::string arg_text(const DDSURFACEDESC* desc)
{
    if (!desc)
        return "NULL";
    // The fields its flags say are given, in the record's order.
    std::string out = "{dwSize=" + std::to_string(desc->dwSize) + ", dwFlags=" + hex(desc->dwFlags);
    const auto field = [&](DWORD flag, const char* name, const std::string& value) {
        out += desc->dwFlags & flag ? std::string(", ") + name + '=' + value : "";
    };
    field(DDSD_HEIGHT, "dwHeight", std::to_string(desc->dwHeight));
    field(DDSD_WIDTH, "dwWidth", std::to_string(desc->dwWidth));
    field(DDSD_BACKBUFFERCOUNT, "dwBackBufferCount", std::to_string(desc->dwBackBufferCount));
    field(DDSD_CAPS, "dwCaps", hex(desc->ddsCaps.dwCaps));
    return out + '}';
}

std::string arg_text(const DDSCAPS* caps) { return caps ? "{dwCaps=" + hex(caps->dwCaps) + '}' : "NULL"; }

}  // namespace platform
