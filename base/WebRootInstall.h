#pragma once
// Installing the bundled web application ("app.zip") as the web root, for the first start and
// for the reset to the installed state. The archive is unpacked into a fresh folder beside the
// web root ("<web root>.install") and renamed into place only when every entry was unpacked,
// so a failed or interrupted install never leaves a half-filled web root: the old one, when
// there is one, stays as it was. The new one replaces the old one through WebRootSwap (old one
// aside, new one in, old one deleted last; a failed rename puts the old one back).
//
// Main thread (it blocks while it unpacks); one install of the same web root at a time.

#include <filesystem>
#include <string>

// Unpacks `archive` and puts it in place of `webRoot` (a missing web root is simply filled).
// False, with the reason logged, when the archive did not unpack or could not be put in
// place; the old web root is then untouched.
bool installWebRoot(const std::filesystem::path& archive, const std::filesystem::path& webRoot);

// Installs the main bundle's "app.zip" (installWebRoot) as `webRoot`. False when the bundle has
// none, logged as the error `missingArchiveError` (the first start and the reset word it
// differently), or when it could not be installed, logged as "Error unzipping file " + the
// archive's path + " to " + `webRoot`.
bool installBundledWebRoot(const std::filesystem::path& webRoot, const std::string& missingArchiveError);
