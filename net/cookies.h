#pragma once
// Cookie texts: the "name=value; name2=value2" form the program carries from
// request to request of one site, built from Set-Cookie replies and from the
// browser's cookie store.

#include <string>
#include <string_view>

namespace yhz {

// Cookie items joined by "; "; no domain, path or expiry: the text belongs to
// the one site it is used with.
using CookieJar = std::string;

// The name=value items of the reply's "Set-Cookie: " lines, in line order,
// attributes dropped.
CookieJar collectSetCookies(std::string_view headerText);

// Merges `newer` over `older`: newer items come first and win by name, older
// items of other names follow, "=deleted" items drop the name. Both arguments
// are rewritten: `older` receives the result, `newer` its own text with every
// space removed.
CookieJar mergeCookies(CookieJar& older, CookieJar& newer);

// The cookies the browser cookie store holds for `address`, HttpOnly ones
// included. A missing scheme means "http://".
CookieJar browserCookies(std::string_view address);

}  // namespace yhz
