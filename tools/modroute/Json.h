// A small JSON writer for the --json outputs: objects, arrays, UTF-8 strings,
// integers and booleans, written compactly in the order they are given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modroute::tool {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Number(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // Key and value in one call.
    JsonWriter& Field(std::string_view name, std::string_view utf8) { return Key(name).String(utf8); }
    JsonWriter& Field(std::string_view name, std::int64_t value) { return Key(name).Number(value); }

    const std::string& Text() const { return m_text; }

private:
    void BeforeValue();
    void Quoted(std::string_view text);

    std::string m_text;
    std::vector<bool> m_hasItems;  // one per open object or array
    bool m_afterKey = false;
};

}  // namespace modroute::tool
