// Script values as the engine interface hands them out (64-bit jsValue), the execution states
// of native functions, and the page-side script that forwards bound functions to the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/devtools/Json.h"
#include "platform/wke.h"

class WebView;

struct ScriptValue {
    // Pending: the answer of a script still to come (the engine waits for it when it is read).
    enum class Kind { Undefined, Null, Boolean, Number, String, Object, Global, Pending };
    Kind kind = Kind::Undefined;
    bool boolean = false;
    double number = 0;
    std::wstring text;  // the value as String() gives it (strings: the string itself)
    std::string name;   // Global: the global's name, looked up in the page when used; Pending: the page's session
    int ticket = 0;     // Pending: the connection's ticket for the answer
};

// Keeps the values handed out as jsValue. A value stays readable for the next kCapacity values
// made after it, which covers any native function call and any chain of calls in a handler, as
// long as the values made after it hold less than kMaxTextBytes of text (a page's giant strings
// would otherwise pile up). jsValue 0 is undefined. Values are made and read on the UI thread only.
class ScriptValueStore {
public:
    static constexpr size_t kCapacity = 8192;
    static constexpr size_t kMaxTextBytes = 16u << 20;
    int64_t Add(ScriptValue value);
    // Null for undefined, for a value that has been recycled and for one never made.
    const ScriptValue* Find(int64_t handle) const;
    // Replaces a value that is still kept (a pending one by its answer); the value, or null.
    const ScriptValue* Resolve(int64_t handle, ScriptValue value);

private:
    struct Slot {
        int64_t serial = 0;
        ScriptValue value;
    };
    static size_t TextBytes(const ScriptValue& value);
    Slot& SlotOf(int64_t serial) { return m_slots[static_cast<size_t>(serial % static_cast<int64_t>(kCapacity))]; }
    void Forget(Slot& slot);

    std::vector<Slot> m_slots = std::vector<Slot>(kCapacity);
    int64_t m_next = 1;
    int64_t m_oldest = 1;  // no value older than this is kept
    size_t m_textBytes = 0;
};

// An execution state: a view's global scope, or one call of a native function with its arguments
// and, when the browser told which frame made it, its caller (caller.size is 0 otherwise).
struct ExecState {
    WebView* view = nullptr;      // not owned
    std::vector<int64_t> args;    // jsValue handles of the call's arguments
    jsCallerInfo caller{};        // its texts point into the two members below
    std::wstring callerUrl;
    std::string callerName;
};

// A DevTools RemoteObject (a Runtime.evaluate result) as a script value.
ScriptValue ValueFromRemoteObject(const Json& remote);
// One argument of a bound function as the page-side forwarder describes it: {"t": typeof, "s": String(v)}.
ScriptValue ValueFromArgument(const Json& argument);
// The value as script source text, to be used inside an expression.
std::string ScriptLiteral(const ScriptValue& value);
// The value as String() in the page would give it.
std::wstring ValueText(const ScriptValue& value);

// The name of the single DevTools binding that every bound function goes through.
extern const char kNativeBindingName[];
// Script that defines the global function `name` forwarding its arguments to the binding.
std::string BindingInstallScript(const std::string& name);
// Script for every new document that reports the top document's title through the binding
// ({"k":"title","v":title}) whenever it changes; the browser announces no title changes itself.
std::string TitleWatchScript();
