#include "base/InternalJS.h"

#include "base/Config.h"
#include "base/JavaScriptString.h"
#include "logger/Logger.h"
#include "portable/Bundle.h"

namespace {

// The line of a text value, or "" when it is missing or empty.
std::string settingLine(const std::string& variable, const std::optional<std::string>& value,
                        const std::string& lineEnd)
{
    if (!value || value->empty())
        return {};
    return variable + " = '" + escapeJavaScriptString(*value, '\'') + "';" + lineEnd;
}

} // namespace

InternalJSValues InternalJSValues::current()
{
    InternalJSValues values;
    if (const auto* version = platform::Bundle::main()->infoValue("CFBundleShortVersionString")) {
        if (const auto* versionText = version->asString())
            values.shortVersion = *versionText;
    }
    values.user = sharedConfig().defaults.string(sharedConfig().USERNAME_KEY);
    values.uuid = sharedConfig().defaults.string("uuid");
    // The platform always names at least one preferred language.
    const auto languages = platform::preferredLanguages();
    values.language = languages.empty() ? "en" : languages.front();
    return values;
}

InternalJSValues InternalJSValues::with(const platform::PlistDict& settings) const
{
    InternalJSValues values = *this;
    auto take = [&](const std::string& key, std::optional<std::string>& value) {
        if (const auto found = settings.find(key); found != settings.end() && found->second.isString())
            value = *found->second.asString();
    };
    take(sharedConfig().USERNAME_KEY, values.user);
    take("uuid", values.uuid);
    return values;
}

std::string InternalJSValues::text() const
{
    std::string text;
    if (shortVersion) {
        if (const auto lastPoint = shortVersion->rfind('.'); lastPoint != std::string::npos)
            text += "INTERNAL_CONTAINERVERSION = " + shortVersion->substr(0, lastPoint) + ";\n\r";
    }
    text += settingLine("INTERNAL_USER", user, "\n\r");
    text += settingLine("INTERNAL_UUID", uuid, "\r\n");
    text += "INTERNAL_LANG = '" + escapeJavaScriptString(language, '\'') + "';\r\n";
    return text;
}

void writeInternalJS(const std::filesystem::path& toPath)
{
    writeInternalJS(toPath, InternalJSValues::current());
}

void writeInternalJS(const std::filesystem::path& toPath, const InternalJSValues& values)
{
    LOG_DEBUG("writing internal pref lang: " + values.language);
    const auto file = toPath / "internal.js";
    // Unchanged at most activations: then the file stays as it is.
    if (!sharedConfig().fm.writeFileAtomicallyIfChanged(file, values.text()))
        LOG_ERROR("Error: cannot write " + file.string());
}
