// An engine string that lives for one callback: handed to a handler, deleted when it returns.
#pragma once

#include <string>

#include "common/TextConv.h"
#include "engine/view/Engine.h"

class CallbackString {
public:
    CallbackString(Engine& engine, std::wstring text) : m_engine(engine), m_s(engine.NewString(std::move(text))) {}
    CallbackString(Engine& engine, const std::string& utf8) : CallbackString(engine, Utf8ToWide(utf8)) {}
    ~CallbackString() { m_engine.DeleteString(m_s); }
    CallbackString(const CallbackString&) = delete;
    CallbackString& operator=(const CallbackString&) = delete;
    operator wkeString() const { return m_s; }

private:
    Engine& m_engine;
    wkeString m_s;
};
