#pragma once
// The demo's certificate authority, made with the project's own script
// (scripts/make-demo-ca) for servers the tests and benchmarks run over TLS.

#include <filesystem>

namespace yhz::testing {

// Makes the authority and the server certificate in `dir` (ca.pem,
// server.pem, server.key among them); the script's status as std::system
// answers it, 0 when all went well.
int makeDemoCa(const std::filesystem::path& dir);

}  // namespace yhz::testing
