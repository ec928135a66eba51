// The manual page, the user's guide and the README describe every option of the options table
// and every settings key the program reads, and the table of keys holds every key a reader of
// the settings file names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "app/Options.h"
#include "app/SettingKeys.h"

using namespace corvane;

namespace {

const std::filesystem::path kSource = CORVANE_SOURCE_DIR;

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Replaced(std::string text, const std::string& pattern, const std::string& with) {
    return std::regex_replace(text, std::regex(pattern), with);
}

// The documents as a reader sees their words: without roff font changes, HTML tags and
// entities.
struct TDocument {
    std::string Name;
    std::string Text;
};

std::vector<TDocument> Documents() {
    std::string man = ReadText(kSource / "data/corvane.1");
    man = Replaced(Replaced(man, R"(\\f[BIRP])", ""), R"(\\-)", "-");
    std::string guide = ReadText(kSource / "src/app/help/Corvane.html");
    guide = Replaced(Replaced(guide, "<[^>]*>", ""), "&lt;", "<");
    guide = Replaced(Replaced(guide, "&gt;", ">"), "&amp;", "&");
    return {{"data/corvane.1", man},
            {"src/app/help/Corvane.html", guide},
            {"README.md", ReadText(kSource / "README.md")}};
}

bool HasWord(const std::string& text, std::string_view word) {
    return std::regex_search(
        text, std::regex("(^|[^A-Za-z0-9])" + std::string(word) + "($|[^A-Za-z0-9])"));
}

bool IsSection(const std::string& name) {
    for (const TSettingKey& key : kSettingKeys)
        if (key.Section == name)
            return true;
    return false;
}

bool IsKey(const std::string& name) {
    for (const TSettingKey& key : kSettingKeys)
        if (key.Key == name)
            return true;
    return false;
}

// The arguments of each call of a settings reader or writer in text, split at the top level.
std::vector<std::vector<std::string>> SettingsCalls(const std::string& text) {
    std::vector<std::vector<std::string>> calls;
    const std::regex call(
        R"(\b(ReadString|ReadInteger|ReadBool|ReadIntegerInRange|WriteString)\()");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), call);
         it != std::sregex_iterator(); ++it) {
        std::vector<std::string> args{""};
        int depth = 0;
        for (size_t i = it->position() + it->length(); i < text.size() && depth >= 0; ++i) {
            const char c = text[i];
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            if (c == ',' && depth == 0)
                args.emplace_back();
            else if (depth >= 0)
                args.back() += c;
        }
        if ((*it)[1] == "ReadIntegerInRange")
            args.erase(args.begin());
        calls.push_back(args);
    }
    return calls;
}

std::string Literal(const std::string& arg) {
    std::smatch m;
    return std::regex_match(arg, m, std::regex(R"(\s*"([^"]*)\"\s*)")) ? m[1].str() : "";
}

} // namespace

TEST(Documents, EveryOptionIsDescribedJoinedToItsValue) {
    for (const TDocument& doc : Documents())
        for (const TOption& option : kOptions) {
            const std::string written = std::string(option.Name) + std::string(option.Argument);
            EXPECT_NE(doc.Text.find(written), std::string::npos) << doc.Name << ": " << written;
            if (!option.Argument.empty()) {
                const std::string apart =
                    std::string(option.Name) + " " + std::string(option.Argument);
                EXPECT_EQ(doc.Text.find(apart), std::string::npos) << doc.Name << ": " << apart;
            }
        }
}

TEST(Documents, EverySettingsKeyIsDescribedWithItsSection) {
    for (const TDocument& doc : Documents())
        for (const TSettingKey& key : kSettingKeys) {
            const std::string section = "[" + std::string(key.Section) + "]";
            EXPECT_NE(doc.Text.find(section), std::string::npos) << doc.Name << ": " << section;
            if (key.Key != "<n>") {
                EXPECT_TRUE(HasWord(doc.Text, key.Key)) << doc.Name << ": " << key.Key;
            }
        }
}

// The manual page and the guide list each key as it is written in the file, with its default.
TEST(Documents, TheManualPageAndTheGuideGiveEveryDefault) {
    for (const TDocument& doc : Documents()) {
        if (doc.Name == "README.md")
            continue;
        for (const TSettingKey& key : kSettingKeys) {
            if (key.Key == "<n>")
                continue;
            const std::string written = std::string(key.Key) + "=" + std::string(key.Default);
            EXPECT_NE(doc.Text.find(written), std::string::npos) << doc.Name << ": " << written;
        }
    }
}

TEST(Documents, EveryKeyThatTheProgramReadsIsInTheTable) {
    int keysSeen = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSource / "src")) {
        if (entry.path().extension() != ".cpp")
            continue;
        for (const std::vector<std::string>& args : SettingsCalls(ReadText(entry.path()))) {
            if (args.size() < 2)
                continue;
            const std::string section = Literal(args[0]);
            const std::string key = Literal(args[1]);
            EXPECT_TRUE(section.empty() || IsSection(section)) << entry.path() << ": " << section;
            EXPECT_TRUE(key.empty() || IsKey(key)) << entry.path() << ": " << key;
            keysSeen += key.empty() ? 0 : 1;
        }
    }
    // The readers of [Settings], [Alerts], [Connections] and [MQTT] were found at all.
    EXPECT_GE(keysSeen, 20);
}
