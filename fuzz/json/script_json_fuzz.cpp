// The JSON reader on arbitrary text followed by path queries. The bytes before
// the first newline are a member path, the rest is the text to parse.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "json/script_json.h"

using yhz::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string_view path = newline == std::string_view::npos ? "" : input.substr(0, newline);
    const std::string_view text =
        newline == std::string_view::npos ? input : input.substr(newline + 1);

    yhz::ScriptJson reader;
    const bool parsed = reader.parse(text);
    const std::string json = reader.toJson();
    check(parsed == !json.empty());

    for (const std::string_view p :
         {path, std::string_view("data"), std::string_view("content[0].subhd"),
          std::string_view("[0]"), std::string_view("")}) {
        (void)reader.getText(p);
        (void)reader.getText(p, true);
        (void)reader.count(p);
        (void)reader.typeOf(p);
        (void)reader.has(p);
        (void)reader.getNumber(p);
        std::vector<std::string> keys;
        check(reader.keys(keys, p) == static_cast<long>(keys.size()));
        yhz::ScriptJson part = reader.getObject(p);
        (void)part.toJson();
    }

    if (parsed) {
        // What the reader writes it reads back, and writes the same again.
        yhz::ScriptJson again;
        check(again.parse(json));
        const std::string second = again.toJson();
        yhz::ScriptJson third;
        check(third.parse(second));
        check(third.toJson() == second);

        reader.setMember(path, "v");
        reader.push(text, path, true);
        reader.setMemberJson(path, text);
        reader.removeAt(path);
        (void)reader.toJson();
    }
    return 0;
}
