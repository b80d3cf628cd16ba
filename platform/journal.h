// The record of platform calls and the injected failures, both used by the fake
// host only: with journaling off (the SDL host) a Call costs one flag test.
#pragma once

#include "platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct JournalEntry {
    std::string name;
    std::string args;
    std::string result;
    bool operator==(const JournalEntry&) const = default;
};

bool journaling();
void set_journaling(bool on);
std::vector<JournalEntry>& journal();
void clear_journal();
// From the nth call of name on (counted since reset), times calls return result.
void add_failure(const std::string& name, int nth, std::int64_t result, int times);
void clear_failures();

// One platform call: journaled at entry, so calls made from inside it (a
// window procedure run by DispatchMessageA) come after it; the result is
// filled in when it returns.
class Call {
public:
    template <class Describe>
    Call(const char* name, Describe&& describe_args)
    {
        if (journaling())
            begin(name, describe_args());
    }
    // Whether a test injected a failure for this call: the call then returns
    // forced_hresult(), forced_boolean() or forced_number<Result>() at once,
    // the injected result journaled as the call's own.
    bool forced() const { return forced_.has_value(); }
    HRESULT forced_hresult() { return hresult(static_cast<HRESULT>(*forced_)); }
    BOOL forced_boolean() { return boolean(static_cast<BOOL>(*forced_)); }
    template <class Result>
    Result forced_number()
    {
        return static_cast<Result>(number(*forced_));
    }

    HRESULT hresult(HRESULT value);
    BOOL boolean(BOOL value);
    long long number(long long value);
    template <class Handle>
    Handle handle(Handle value)
    {
        if (index_ >= 0)
            finish(handle_name(value));
        return value;
    }
    // The result text is made only when the call is journaled.
    template <class Describe>
    void done(Describe&& describe_result)
    {
        if (index_ >= 0)
            finish(describe_result());
    }
    void done() { done([] { return std::string(); }); }

private:
    void begin(const char* name, std::string args);
    void finish(const std::string& text);
    static std::string handle_name(HWND value);
    static std::string handle_name(HMODULE value);
    static std::string handle_name(HCURSOR value);
    static std::string handle_name(FARPROC value);

    std::optional<std::int64_t> forced_;
    long index_ = -1;
};

// Argument texts.
std::string hex(std::uint64_t value);
std::string text(const char* string);  // quoted, or NULL
std::string pointer(const void* value);  // NULL, or "ptr"
std::string rect_text(const RECT* rect);
std::string message_name(UINT message);
std::string message_text(const MSG& message);
std::string hresult_name(HRESULT value);
std::string window_name(HWND window);
std::string module_name(HMODULE module);
std::string cursor_name(HCURSOR cursor);
// Interface objects are named by kind and number ("surface#2") while alive.
void name_object(const void* object, std::string name);
void forget_object(const void* object);
std::string object_name(const void* object);

}  // namespace platform
