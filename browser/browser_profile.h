#pragma once
// The one browser profile of the program: off the record (nothing of it is
// written to disk), shared by every browser view, and mirrored cookie by
// cookie into the program's cookie store, so that a retrieval sends the
// cookies the site's page set, HttpOnly ones included.

class QWebEngineProfile;

namespace yhz {

// Made on first use, with its cookie mirror connected before any page of it
// loads; lives as long as the application object.
QWebEngineProfile* browserProfile();

}  // namespace yhz
