#include "engine/view/ScriptValues.h"

#include <cmath>
#include <cstdio>

#include "common/TextConv.h"

namespace {

std::string Utf8(const std::wstring& wide) { return ToUtf8(wide.c_str()); }

}  // namespace

const char kNativeBindingName[] = "__wkeNativeCall";

size_t ScriptValueStore::TextBytes(const ScriptValue& value) {
    return value.text.size() * sizeof(wchar_t) + value.name.size();
}

void ScriptValueStore::Forget(Slot& slot) {
    if (slot.serial == 0) return;
    m_textBytes -= TextBytes(slot.value);
    slot.serial = 0;
    slot.value = ScriptValue();
}

int64_t ScriptValueStore::Add(ScriptValue value) {
    const int64_t serial = m_next++;
    Slot& slot = SlotOf(serial);
    Forget(slot);
    m_textBytes += TextBytes(value);
    slot.serial = serial;
    slot.value = std::move(value);
    if (m_oldest < serial - static_cast<int64_t>(kCapacity) + 1) m_oldest = serial - static_cast<int64_t>(kCapacity) + 1;
    // The oldest values go first; the newest stays, however long it is.
    while (m_textBytes > kMaxTextBytes && m_oldest < serial) {
        Slot& old = SlotOf(m_oldest);
        if (old.serial == m_oldest) Forget(old);
        ++m_oldest;
    }
    return serial;
}

const ScriptValue* ScriptValueStore::Find(int64_t handle) const {
    if (handle <= 0) return nullptr;
    const Slot& slot = m_slots[static_cast<size_t>(handle % static_cast<int64_t>(kCapacity))];
    return slot.serial == handle ? &slot.value : nullptr;
}

const ScriptValue* ScriptValueStore::Resolve(int64_t handle, ScriptValue value) {
    if (handle <= 0) return nullptr;
    Slot& slot = SlotOf(handle);
    if (slot.serial != handle) return nullptr;
    m_textBytes -= TextBytes(slot.value);
    m_textBytes += TextBytes(value);
    slot.value = std::move(value);
    return &slot.value;
}

ScriptValue ValueFromRemoteObject(const Json& remote) {
    ScriptValue v;
    const std::string& type = remote["type"].AsString();
    if (type == "string") {
        v.kind = ScriptValue::Kind::String;
        v.text = Utf8ToWide(remote["value"].AsString());
    } else if (type == "number") {
        v.kind = ScriptValue::Kind::Number;
        v.number = remote["value"].AsNumber(std::nan(""));
        v.text = Utf8ToWide(remote.Has("description") ? remote["description"].AsString()
                                                : remote["unserializableValue"].AsString());
    } else if (type == "boolean") {
        v.kind = ScriptValue::Kind::Boolean;
        v.boolean = remote["value"].AsBool();
        v.text = v.boolean ? L"true" : L"false";
    } else if (type == "object" && remote["subtype"].AsString() == "null") {
        v.kind = ScriptValue::Kind::Null;
        v.text = L"null";
    } else if (type == "undefined" || type.empty()) {
        v.kind = ScriptValue::Kind::Undefined;
        v.text = L"undefined";
    } else {
        v.kind = ScriptValue::Kind::Object;
        v.text = Utf8ToWide(remote["description"].AsString());
    }
    return v;
}

ScriptValue ValueFromArgument(const Json& argument) {
    ScriptValue v;
    const std::string& type = argument["t"].AsString();
    v.text = Utf8ToWide(argument["s"].AsString());
    if (type == "string") {
        v.kind = ScriptValue::Kind::String;
    } else if (type == "number") {
        v.kind = ScriptValue::Kind::Number;
        v.number = std::strtod(argument["s"].AsString().c_str(), nullptr);
    } else if (type == "boolean") {
        v.kind = ScriptValue::Kind::Boolean;
        v.boolean = v.text == L"true";
    } else if (type == "undefined") {
        v.kind = ScriptValue::Kind::Undefined;
    } else if (type == "object" && v.text == L"null" && argument["n"].AsBool()) {
        v.kind = ScriptValue::Kind::Null;
    } else {
        v.kind = ScriptValue::Kind::Object;
    }
    return v;
}

std::string ScriptLiteral(const ScriptValue& value) {
    switch (value.kind) {
    case ScriptValue::Kind::Undefined: return "undefined";
    case ScriptValue::Kind::Null: return "null";
    case ScriptValue::Kind::Boolean: return value.boolean ? "true" : "false";
    case ScriptValue::Kind::Number: {
        if (!std::isfinite(value.number)) return std::isnan(value.number) ? "NaN" : value.number > 0 ? "Infinity" : "-Infinity";
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", value.number);
        return buf;
    }
    case ScriptValue::Kind::Global: return "globalThis[" + JsonQuote(value.name) + "]";
    case ScriptValue::Kind::Pending: return "undefined";  // the engine resolves values before use
    case ScriptValue::Kind::String:
    case ScriptValue::Kind::Object: return JsonQuote(Utf8(value.text));
    }
    return "undefined";
}

std::wstring ValueText(const ScriptValue& value) {
    switch (value.kind) {
    case ScriptValue::Kind::Undefined: return L"undefined";
    case ScriptValue::Kind::Null: return L"null";
    default: return value.text;
    }
}

std::string BindingInstallScript(const std::string& name) {
    // The forwarder keeps its own references to the binding and to JSON.stringify, so a page that
    // later replaces either cannot change what reaches the engine. Every argument travels as its
    // type and its String() text; a value whose String() throws travels as an empty text.
    return std::string("(function(){var b=globalThis.") + kNativeBindingName +
           ";if(typeof b!=='function')return;var j=JSON.stringify,S=String;"
           "globalThis[" + JsonQuote(name) + "]=function(){var a=[];"
           "for(var i=0;i<arguments.length;i++){var v=arguments[i],s='';try{s=S(v);}catch(e){}"
           "a.push({t:typeof v,s:s,n:v===null});}b(j({n:" + JsonQuote(name) + ",a:a}));};})();";
}

std::string TitleWatchScript() {
    return std::string("(function(){if(window!==window.top)return;var b=globalThis.") + kNativeBindingName +
           ";if(typeof b!=='function')return;var j=JSON.stringify,last=null;"
           "function report(){var t=document.title;if(t===last||(!t&&last===null))return;last=t;"
           "b(j({k:'title',v:t}));}"
           "new MutationObserver(report).observe(document,{subtree:true,childList:true,characterData:true});"
           "document.addEventListener('DOMContentLoaded',report);})();";
}
