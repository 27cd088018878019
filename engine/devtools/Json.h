// A small JSON document model for the DevTools traffic: parse, build, serialise.
// Text is UTF-8 throughout. Parsing is bounded in depth, in values and in memory, and never throws.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

// What parsing one document may make: at most `maxNodes` values, and at most `maxBytes` of memory
// for their records and their text. A document beyond either is refused, as broken text is.
struct JsonBudget {
    size_t maxNodes;
    size_t maxBytes;
};

class Json {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Json() = default;
    Json(std::nullptr_t) {}
    Json(bool value) : m_type(Type::Bool), m_bool(value) {}
    Json(int value) : m_type(Type::Number), m_number(value) {}
    Json(unsigned value) : m_type(Type::Number), m_number(value) {}
    Json(long long value) : m_type(Type::Number), m_number(static_cast<double>(value)) {}
    Json(double value) : m_type(Type::Number), m_number(value) {}
    Json(const char* value) : m_type(Type::String), m_string(value ? value : "") {}
    Json(std::string value) : m_type(Type::String), m_string(std::move(value)) {}

    static Json Array() { Json j; j.m_type = Type::Array; return j; }
    static Json Object() { Json j; j.m_type = Type::Object; return j; }

    // The budget of a document of `size` bytes: a few times its size, plus an allowance for small
    // messages, whose records outweigh their text.
    static JsonBudget BudgetFor(size_t size);
    // Returns a null document when the text is not valid JSON or needs more than `budget`
    // (BudgetFor(size) when not given); `used` gets the memory charged for the document.
    static Json Parse(const char* text, size_t size, bool* ok = nullptr);
    static Json Parse(const char* text, size_t size, const JsonBudget& budget, bool* ok, size_t* used);
    std::string Serialize() const;

    Type GetType() const { return m_type; }
    bool IsNull() const { return m_type == Type::Null; }
    bool IsString() const { return m_type == Type::String; }
    bool IsNumber() const { return m_type == Type::Number; }
    bool IsObject() const { return m_type == Type::Object; }
    bool IsArray() const { return m_type == Type::Array; }

    // Typed reads that answer `fallback` for a value of another type.
    bool AsBool(bool fallback = false) const { return m_type == Type::Bool ? m_bool : fallback; }
    double AsNumber(double fallback = 0) const { return m_type == Type::Number ? m_number : fallback; }
    int AsInt(int fallback = 0) const;
    const std::string& AsString() const;

    // Object access. Reading a missing key (or from a non-object) gives a shared null value.
    const Json& operator[](const char* key) const;
    bool Has(const char* key) const;
    Json& Set(const std::string& key, Json value);  // turns a null value into an object
    const std::map<std::string, Json>& Members() const { return m_object; }

    // Array access. Out of range gives the shared null value.
    const Json& At(size_t index) const;
    size_t Size() const { return m_type == Type::Array ? m_array.size() : m_object.size(); }
    Json& Push(Json value);  // turns a null value into an array

private:
    void SerializeTo(std::string& out) const;

    Type m_type = Type::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<Json> m_array;
    std::map<std::string, Json> m_object;
};

// Appends `text` to `out` as a quoted JSON string (also used to build script source safely).
void AppendJsonString(std::string& out, const std::string& text);
std::string JsonQuote(const std::string& text);
