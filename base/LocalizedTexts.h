#pragma once
// Localized texts that several components show, each looked up once on first use. A key the
// string tables lack shows the key itself. Safe from any thread: the first use, also by two
// threads at once, makes the one text every caller gets; the references stay valid as long as
// the shared instances live.

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

// The texts looked up so far. The composition root shares one instance, so a fresh set of
// shared instances starts with none looked up (the main bundle or the language may differ).
class LocalizedTexts {
public:
    // The text of `key`, looked up on its first use; the reference stays valid as long as this
    // object lives.
    const std::string& text(const std::string& key);
    // Alert titles by type word, built on first use.
    const std::map<std::string, std::string>& alertTitles();

private:
    std::mutex mutex_;
    std::map<std::string, std::string> texts_;
    std::optional<std::map<std::string, std::string>> alertTitles_;
};

// The text of `key` in the main bundle's best string table, or the key itself.
std::string localizedString(const std::string& key);

const std::string& NEW_VERSION_AVAILABLE();
const std::string& Q_DOWNLOAD_NEW_VERSION();
const std::string& DOWNLOAD_SIZE();
const std::string& UP_TO_DATE();
const std::string& ERROR_UPDATE_OFFLINE();
const std::string& UPDATE_TRY_AGAIN_LATER();
const std::string& IAP_DEFERRED_PURCHASE();
const std::string& IAP_RESTORE_PURCHASE();

// Alert titles by type word: "INFO", "SUCCESS", "ERROR", "WARN".
const std::map<std::string, std::string>& JS_ALERT_TITLES();

// The product identifiers the store is asked about: none.
const std::set<std::string>& PRODUCT_IDENTIFIERS();
