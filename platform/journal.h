// The record of platform calls and the injected failures, both used by the fake
// host only: with journaling off (the SDL and browser hosts) a call costs one
// flag test more than its own work.
#pragma once

#include "platform.h"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace platform {

struct JournalEntry {
    std::string name, args, result;
    bool operator==(const JournalEntry&) const = default;
};

// Set by the fake host alone; a reset leaves it as it is.
inline bool journaling = false;
std::vector<JournalEntry>& journal();
// From the nth call of name on (counted since reset), times calls return result.
void add_failure(const std::string& name, int nth, std::int64_t result, int times);
// Forgets the journal, the failures, the counts of calls and the objects' names.
void reset_journal();

// Interface objects are named by kind and number ("surface#2", counted since the
// reset) while alive.
void name_object(const void* object, const std::string& kind);
void forget_object(const void* object);

// Arguments whose text is not their type's: flags in hex, a name that may be a
// resource number, a pointer only said to be given or not, a record of which the
// caller fills in only the size, a message number by name.
struct Hex { std::uint64_t value; };
struct Resource { const char* name; };
struct Pointer { const void* value; };
template <class Record> struct Sized { const Record* record; };
struct Message { UINT value; };

// The journal's text of each kind of argument, result or output.
template <std::integral T>
std::string arg_text(T value) { return std::to_string(value); }
std::string arg_text(double value);
std::string arg_text(const char* text);  // quoted, or NULL
std::string arg_text(Hex value);
std::string arg_text(Resource name);  // a number as "#32512"
std::string arg_text(Pointer value);  // NULL or "ptr"
std::string arg_text(Message message);
std::string arg_text(const RECT* rect);
std::string arg_text(const POINT* point);
std::string arg_text(const MSG* message);
std::string arg_text(const WNDCLASSA* window_class);
std::string arg_text(HWND window);
std::string arg_text(HMODULE module);
std::string arg_text(HCURSOR cursor);
std::string arg_text(FARPROC procedure);
std::string arg_text(const IUnknown* object);  // its name
std::string arg_text(const DDSURFACEDESC* desc);
std::string arg_text(const DDSCAPS* caps);
template <class Record>
std::string arg_text(Sized<Record> sized)
{
    return sized.record ? "{dwSize=" + std::to_string(sized.record->dwSize) + '}' : "NULL";
}

// A DirectDraw result, journaled by name; a call of Kind Status returns HRESULT.
struct Status {};
std::string status_text(HRESULT value);

// The result a test forced on this call of name, if any; counts the call.
std::optional<std::int64_t> injected_failure(const char* name);

// A call returning Kind (Status for an HRESULT, void for nothing): its entry is
// made at entry, so calls made from inside it (a window procedure run by
// DispatchMessageA) come after it; its result is journaled through call(result),
// followed by what a successful call handed back.
template <class Kind = void>
class Call {
public:
    using Value = std::conditional_t<std::is_same_v<Kind, Status>, HRESULT, Kind>;

    template <class... Args>
    Call(const char* name, const Args&... args)
    {
        if (journaling) {
            forced_ = injected_failure(name);
            std::string text;
            ((text += (text.empty() ? "" : ", ") + arg_text(args)), ...);  // no argument's text is empty
            journal().push_back({name, std::move(text), ""});
            index_ = journal().size() - 1;
        }
    }
    // Whether a test forced this call to fail: it then does nothing.
    bool forced() const { return forced_.has_value(); }
    // What a forced call returns: the test's result, but null for a handle.
    Value forced_result()
    {
        if constexpr (std::is_pointer_v<Value>)
            return (*this)(Value{});
        else
            return (*this)(static_cast<Value>(*forced_));
    }
    template <class V = Value, class... Output>  // V, never deduced, keeps Call<void> well-formed
    V operator()(std::type_identity_t<V> result, const Output&... output)
    {
        if (index_) {
            std::string text;
            if constexpr (std::is_same_v<Kind, Status>)
                text = status_text(result);
            else
                text = arg_text(result);
            ((text += ' ' + arg_text(output)), ...);
            if (*index_ < journal().size())  // a reset from inside the call empties the journal
                journal()[*index_].result = text;
        }
        return result;
    }

private:
    std::optional<std::int64_t> forced_;
    std::optional<std::size_t> index_;  // none while not journaling
};

}  // namespace platform
