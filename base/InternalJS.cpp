#include "base/InternalJS.h"

#include "base/Config.h"
#include "base/JavaScriptString.h"
#include "base/Logger.h"
#include "platform/Bundle.h"

namespace {

// The line of a text setting, or "" when the setting is missing, not text or empty.
std::string settingLine(const std::string& variable, const std::string& key, const std::string& lineEnd)
{
    const auto value = sharedConfig().defaults.string(key);
    if (!value || value->empty())
        return {};
    return variable + " = '" + escapeJavaScriptString(*value, '\'') + "';" + lineEnd;
}

std::string internalJSText()
{
    std::string text;
    if (const auto* version = platform::Bundle::main()->infoValue("CFBundleShortVersionString")) {
        if (const auto* versionText = version->asString()) {
            if (const auto lastPoint = versionText->rfind('.'); lastPoint != std::string::npos)
                text += "INTERNAL_CONTAINERVERSION = " + versionText->substr(0, lastPoint) + ";\n\r";
        }
    }
    text += settingLine("INTERNAL_USER", sharedConfig().USERNAME_KEY, "\n\r");
    text += settingLine("INTERNAL_UUID", "uuid", "\r\n");
    // The platform always names at least one preferred language.
    const auto languages = platform::preferredLanguages();
    const std::string language = languages.empty() ? "en" : languages.front();
    text += "INTERNAL_LANG = '" + escapeJavaScriptString(language, '\'') + "';\r\n";
    LOG_DEBUG("writing internal pref lang: " + language);
    return text;
}

} // namespace

void writeInternalJS(const std::filesystem::path& toPath)
{
    const auto file = toPath / "internal.js";
    if (!sharedConfig().fm.writeFileAtomically(file, internalJSText()))
        LOG_ERROR("Error: cannot write " + file.string());
}
