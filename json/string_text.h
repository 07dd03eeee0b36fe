#pragma once
// Strings written into JSON text the way a script engine's JSON writer
// writes them.

#include <string>
#include <string_view>

namespace yhz::json {

// Appends `utf8` as a quoted JSON string: the quote, the backslash and the
// usual control characters by their short escapes; the other control,
// format and invisible characters (U+0000..U+001F, U+007F..U+009F, U+00AD,
// U+200C..U+200F, U+2028..U+202F, U+2060..U+206F, U+FEFF, U+FFF0..U+FFFF and a
// few more) as \uXXXX; everything else as it stands.
void appendJsString(std::string& out, std::string_view utf8);

}  // namespace yhz::json
