#pragma once
// The demo build's one exception to the embedded browser's certificate
// checks: the regional site simulator's certificate, issued by the demo
// authority that the request client trusts, for a demo site name. Every
// other certificate error stays an error.

#include <string>
#include <string_view>

namespace yhz {

// "localhost" and the names under it, which resolve to loopback and are the
// simulator's site names.
bool isDemoHost(std::string_view host);

// True when the certificate (DER) chains to the authority of the PEM file,
// is valid now, serves TLS servers and names `host`.
bool issuedByAuthorityFor(std::string_view certificateDer, std::string_view host,
                          const std::string& authorityPemPath);

// The browser's decision: a demo host, and a certificate issued for it by the
// authority HttpClient trusts. A build that trusts the system store (no
// authority of its own) accepts nothing.
bool acceptDemoCertificate(std::string_view certificateDer, std::string_view host);

}  // namespace yhz
