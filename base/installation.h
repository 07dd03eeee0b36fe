#pragma once
// Portable or installed: a program in a folder the user can write to keeps
// its files beside itself and replaces itself when a new version is out; one
// the package manager put in place keeps them in the desktop's data folder
// and leaves new versions to the package manager.

#include <filesystem>
#include <string_view>

namespace yhz {

enum class Installation { Portable, Installed };

// The file a package puts beside the program to say the folder is the
// package manager's. Needed because root may write anywhere, so a folder's
// permissions alone do not tell an installed program from a portable one.
inline constexpr std::string_view kPackageMarker = "installed-by-package-manager";

// Installed when the folder holds the marker or the user cannot write to it.
Installation installationOf(const std::filesystem::path& programFolder);

// The XDG data folder: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share (the account's home when HOME is unset); empty when
// no home is known. On Windows the user's local application data folder.
std::filesystem::path xdgDataHome();

// Where an installed program keeps its files: <data home>/yunhaizhou/data.
std::filesystem::path installedDataDirectory(const std::filesystem::path& dataHome);

}  // namespace yhz
