// The record of platform calls and the injected failures, both used by the fake
// host only: with journaling off (the SDL and browser hosts) a call costs one
// flag test more than its own work.
#pragma once

#include "platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
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

// Argument and result texts.
std::string hex(std::uint64_t value);
std::string text(const char* string);  // quoted, or NULL
std::string pointer(const void* value);  // NULL, or "ptr"
std::string resource_text(const char* name);  // a number as "#32512", else text(name)
std::string rect_text(const RECT* rect);
std::string message_name(UINT message);
std::string message_text(const MSG& message);
std::string hresult_name(HRESULT value);
std::string window_name(HWND window);
std::string module_name(HMODULE module);
std::string cursor_name(HCURSOR cursor);
std::string handle_name(HWND window);
std::string handle_name(HMODULE module);
std::string handle_name(HCURSOR cursor);
std::string handle_name(FARPROC procedure);
// Interface objects are named by kind and number ("surface#2") while alive.
void name_object(const void* object, std::string name);
void forget_object(const void* object);
std::string object_name(const void* object);

// The journal's entry for one call, made at entry, so calls made from inside
// it (a window procedure run by DispatchMessageA) come after it. Used through
// journaled() below.
class Call {
public:
    template <class Describe>
    Call(const char* name, Describe&& describe_args)
    {
        if (journaling())
            begin(name, describe_args());
    }
    // The result a test injected for this call, if any.
    const std::optional<std::int64_t>& forced() const { return forced_; }
    // The result text is made only when the call is journaled.
    template <class Describe>
    void finish(Describe&& describe_result)
    {
        if (index_ >= 0)
            record(describe_result());
    }

private:
    void begin(const char* name, std::string args);
    void record(const std::string& text);

    std::optional<std::int64_t> forced_;
    long index_ = -1;
};

// The kinds of result a call returns, chosen once per call: each names its
// Value, the journal's text for one, what the call returns when a test forces
// it to fail, and, for calls that journal what they wrote through their
// out-parameters, whether a result is the success that wrote it.
struct Status {
    using Value = HRESULT;
    static std::string text(HRESULT value) { return hresult_name(value); }
    static HRESULT forced(std::int64_t result) { return static_cast<HRESULT>(result); }
    static bool succeeded(HRESULT value) { return value == DD_OK; }
};

template <class Result>
struct Number {
    using Value = Result;
    static std::string text(Result value) { return std::to_string(static_cast<long long>(value)); }
    static Result forced(std::int64_t result) { return static_cast<Result>(result); }
    static bool succeeded(Result value) { return value != 0; }
};
using Boolean = Number<BOOL>;

// A failed call returns no handle, whatever result the test chose.
template <class H>
struct Handle {
    using Value = H;
    static std::string text(H value) { return handle_name(value); }
    static H forced(std::int64_t) { return H{}; }
};

// A forced call does nothing.
struct Nothing {
    using Value = void;
};

// A call that cannot fail (AddRef, ExitProcess, the runtime's) is journaled but
// never forced.
template <class Kind>
struct Infallible : Kind {};
template <class Kind>
inline constexpr bool can_fail = true;
template <class Kind>
inline constexpr bool can_fail<Infallible<Kind>> = false;

inline const auto no_args = [] { return std::string(); };
struct NoOutputs {};

// One platform call: journaled at entry, answered at once with the result a
// test forced on it, or else run. body returns the call's plain result, which
// is journaled as its kind says, followed after a success by the text of
// describe_outputs(). The texts are made only when the call is journaled.
template <class Kind, class DescribeArgs, class DescribeOutputs, class Body>
typename Kind::Value journaled(const char* name, DescribeArgs&& describe_args, DescribeOutputs&& describe_outputs,
                               Body&& body)
{
    using Value = typename Kind::Value;
    Call call(name, describe_args);
    if constexpr (can_fail<Kind>) {
        if (const std::optional<std::int64_t>& result = call.forced()) {
            if constexpr (std::is_void_v<Value>) {
                return;
            } else {
                const Value value = Kind::forced(*result);
                call.finish([&] { return Kind::text(value); });
                return value;
            }
        }
    }
    if constexpr (std::is_void_v<Value>) {
        body();
    } else {
        const Value value = body();
        call.finish([&] {
            if constexpr (!std::is_same_v<std::remove_cvref_t<DescribeOutputs>, NoOutputs>)
                if (Kind::succeeded(value))
                    return Kind::text(value) + ' ' + describe_outputs();
            return Kind::text(value);
        });
        return value;
    }
}

template <class Kind, class DescribeArgs, class Body>
typename Kind::Value journaled(const char* name, DescribeArgs&& describe_args, Body&& body)
{
    return journaled<Kind>(name, describe_args, NoOutputs{}, body);
}

}  // namespace platform
