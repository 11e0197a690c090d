// The authors' guide names everything a script can reach. The player's
// vocabulary is read out of a real interpreter: whatever the script engine
// adds to the globals of a plain Lua state (one with only the standard
// libraries) is the player's own, and is sorted by what it is:
//   a table whose registry metatable of the same name indexes it: a class,
//       whose functions (but "new") are its methods;
//   a function whose registry metatable of the same name indexes itself: a
//       value type's constructor, whose metatable's functions not beginning
//       "__" are the type's methods;
//   any other function: a global function;
//   a number: a constant.
// So classes and functions bound later are found without being listed here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <utility>
#include <set>
#include <string>
#include <vector>

#include <lua.hpp>

#include "controller/CTRL_Generic.h"
#include "scripting/LMP_Registration.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/docs/guide_text.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_Support.h"

namespace {

// A method name and what identifies its implementation: the row that the
// class mechanism's closure carries (shared by every class that inherits
// it), or the function itself.
typedef std::map<std::string, const void *> MethodTable;

struct Vocabulary {
    std::map<std::string, MethodTable> m_oClasses;
    std::map<std::string, std::set<std::string>> m_oValueTypes;
    std::set<std::string> m_oFunctions;
    std::map<std::string, double> m_oConstants;
    std::map<std::string, std::string> m_oOthers; // name -> Lua type name
};

std::set<std::string> globalNames(lua_State *L)
{
    std::set<std::string> names;
    lua_pushglobaltable(L);
    lua_pushnil(L);
    while (lua_next(L, -2) != 0) {
        if (lua_type(L, -2) == LUA_TSTRING)
            names.insert(lua_tostring(L, -2));
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return names;
}

Vocabulary readVocabulary(lua_State *L, const std::set<std::string> &standard)
{
    Vocabulary vocabulary;
    for (const std::string &name : globalNames(L)) {
        if (standard.count(name) != 0)
            continue;
        lua_getglobal(L, name.c_str());
        if (lua_type(L, -1) == LUA_TNUMBER) {
            vocabulary.m_oConstants[name] = lua_tonumber(L, -1);
        } else if (lua_istable(L, -1) && TEST_metatableIndexes(L, name.c_str(), -1)) {
            MethodTable methods = TEST_functionsOf(L);
            methods.erase("new");
            vocabulary.m_oClasses[name] = methods;
        } else if (lua_isfunction(L, -1)) {
            luaL_getmetatable(L, name.c_str());
            if (lua_istable(L, -1) && TEST_metatableIndexes(L, name.c_str(), -1)) {
                std::set<std::string> &methods = vocabulary.m_oValueTypes[name];
                for (const auto &function : TEST_functionsOf(L))
                    if (function.first.compare(0, 2, "__") != 0)
                        methods.insert(function.first);
            } else {
                vocabulary.m_oFunctions.insert(name);
            }
            lua_pop(L, 1);
        } else {
            vocabulary.m_oOthers[name] = luaL_typename(L, -1);
        }
        lua_pop(L, 1);
    }
    return vocabulary;
}

// The player's vocabulary, from a script engine attached to a controller.
const Vocabulary &playerVocabulary()
{
    static const Vocabulary s_oVocabulary = [] {
        lua_State *plain = luaL_newstate();
        luaL_openlibs(plain);
        std::set<std::string> standard = globalNames(plain);
        lua_close(plain);
        TEST_LogCapture log;
        CTRL_Generic controller(new LMP_ScriptEngine(), CTRL_PLATFORM_LINUX);
        return readVocabulary(LMP_ScriptEngine::of(&controller)->m_poLuaState, standard);
    }();
    return s_oVocabulary;
}

// The one section whose heading begins with the name in backquotes; null
// (with a note of why) when there is none or more than one.
const GuideSection *namedSection(const std::string &name, std::vector<std::string> &missing)
{
    std::vector<const GuideSection *> sections = TEST_authorsGuide().sectionsStartingWith("`" + name + "`");
    if (sections.size() == 1)
        return sections[0];
    missing.push_back(name + (sections.empty() ? " (no section)" : " (more than one section)"));
    return nullptr;
}

std::set<std::string> entriesOfSections(const std::string &prefix)
{
    std::set<std::string> entries;
    for (const GuideSection *section : TEST_authorsGuide().sectionsStartingWith(prefix))
        for (const std::string &entry : section->entries())
            entries.insert(entry);
    return entries;
}

std::string listed(const std::vector<std::string> &names)
{
    std::string text;
    for (const std::string &name : names)
        text += "\n  " + name;
    return text;
}

} // namespace

// The discovery finds the player's vocabulary and nothing of Lua's own.
TEST(AuthorsGuide, TheVocabularyIsFound)
{
    const Vocabulary &vocabulary = playerVocabulary();
    EXPECT_FALSE(vocabulary.m_oClasses.empty());
    EXPECT_FALSE(vocabulary.m_oValueTypes.empty());
    EXPECT_FALSE(vocabulary.m_oFunctions.empty());
    for (int i = 0; i < LMP_iConstantCount(); i++)
        EXPECT_EQ(vocabulary.m_oConstants.count(LMP_sConstantName(i)), 1u) << LMP_sConstantName(i);
    for (const char *standard : {"print", "require", "string", "io", "_G", "_VERSION"}) {
        EXPECT_EQ(vocabulary.m_oFunctions.count(standard), 0u) << standard;
        EXPECT_EQ(vocabulary.m_oOthers.count(standard), 0u) << standard;
    }
    EXPECT_GE(TEST_authorsGuide().m_iFileCount, 1);
}

// Every class has its section, with its constructor and every method; an
// inherited method may be documented once, in the section of any class
// that has the same implementation. Nothing is documented that the class
// lacks.
TEST(AuthorsGuide, EveryClassAndMethodIsDocumented)
{
    const Vocabulary &vocabulary = playerVocabulary();
    std::map<std::string, std::set<std::string>> documented;
    std::vector<std::string> missing;
    for (const auto &c : vocabulary.m_oClasses)
        if (const GuideSection *section = namedSection(c.first, missing))
            documented[c.first] = section->entries();

    // A method left out is listed once, with every class that has it.
    std::map<std::pair<std::string, const void *>, std::string> undocumented;
    std::vector<std::string> stale;
    for (const auto &c : vocabulary.m_oClasses) {
        const std::set<std::string> &own = documented[c.first];
        if (documented.count(c.first) != 0 && own.count(c.first) == 0)
            missing.push_back(c.first + "(...) (the constructor)");
        for (const auto &method : c.second) {
            bool found = own.count(method.first) != 0;
            for (const auto &other : vocabulary.m_oClasses) {
                auto same = other.second.find(method.first);
                if (!found && same != other.second.end() && same->second == method.second)
                    found = documented[other.first].count(method.first) != 0;
            }
            if (!found) {
                std::string &classes = undocumented[method];
                classes += (classes.empty() ? "" : ", ") + c.first;
            }
        }
        for (const std::string &entry : own)
            if (entry != c.first && c.second.count(entry) == 0)
                stale.push_back(c.first + ":" + entry);
    }
    for (const auto &method : undocumented)
        missing.push_back(method.first.first + " (of " + method.second + ")");
    EXPECT_TRUE(missing.empty()) << "the guide leaves out:" << listed(missing);
    EXPECT_TRUE(stale.empty()) << "the guide documents what the classes lack:" << listed(stale);
}

TEST(AuthorsGuide, EveryValueTypeFunctionIsDocumented)
{
    std::vector<std::string> missing;
    std::vector<std::string> stale;
    for (const auto &type : playerVocabulary().m_oValueTypes) {
        const GuideSection *section = namedSection(type.first, missing);
        if (section == nullptr)
            continue;
        std::set<std::string> entries = section->entries();
        if (entries.count(type.first) == 0)
            missing.push_back(type.first + "(...) (the constructor)");
        for (const std::string &method : type.second)
            if (entries.count(method) == 0)
                missing.push_back(type.first + ":" + method);
        for (const std::string &entry : entries)
            if (entry != type.first && type.second.count(entry) == 0)
                stale.push_back(type.first + ":" + entry);
    }
    EXPECT_TRUE(missing.empty()) << "the guide leaves out:" << listed(missing);
    EXPECT_TRUE(stale.empty()) << "the guide documents what the value types lack:" << listed(stale);
}

TEST(AuthorsGuide, EveryGlobalFunctionIsDocumented)
{
    const Vocabulary &vocabulary = playerVocabulary();
    std::set<std::string> entries = entriesOfSections("Global functions");
    std::vector<std::string> missing;
    for (const std::string &function : vocabulary.m_oFunctions)
        if (entries.count(function) == 0)
            missing.push_back(function);
    std::vector<std::string> stale;
    for (const std::string &entry : entries)
        if (vocabulary.m_oFunctions.count(entry) == 0)
            stale.push_back(entry);
    EXPECT_TRUE(missing.empty()) << "the guide leaves out:" << listed(missing);
    EXPECT_TRUE(stale.empty()) << "the guide documents global functions the player lacks:" << listed(stale);
}

// Every constant stands in a table row of the constants, its value in the
// cell after its name.
TEST(AuthorsGuide, EveryConstantIsDocumentedWithItsValue)
{
    std::multimap<std::string, std::string> cells;
    for (const GuideSection *section : TEST_authorsGuide().sectionsStartingWith("Constants"))
        for (const auto &cell : section->tableValues())
            cells.insert(cell);
    std::vector<std::string> missing;
    for (const auto &constant : playerVocabulary().m_oConstants) {
        bool found = false;
        auto range = cells.equal_range(constant.first);
        for (auto it = range.first; it != range.second && !found; ++it) {
            char *end = nullptr;
            double value = strtod(it->second.c_str(), &end);
            found = end != it->second.c_str() && *end == '\0' && value == constant.second;
        }
        if (!found)
            missing.push_back(constant.first + " = " + std::to_string(constant.second));
    }
    EXPECT_TRUE(missing.empty() && !cells.empty()) << "the guide's constants leave out:" << listed(missing);
}

// Globals of any other kind are at least named somewhere in the guide.
TEST(AuthorsGuide, EveryOtherGlobalIsNamed)
{
    std::vector<std::string> missing;
    for (const auto &other : playerVocabulary().m_oOthers)
        if (!TEST_authorsGuide().mentions(other.first))
            missing.push_back(other.first + " (" + other.second + ")");
    EXPECT_TRUE(missing.empty()) << "the guide never names:" << listed(missing);
}

// Every option the player's usage names has its row in the guide's table of
// options, so the guide grows with the options.
TEST(AuthorsGuide, EveryPlayerOptionIsDocumented)
{
    TEST_ProcessResult help = TEST_run(VEKTA_PLAYER_EXE, {"--help"});
    ASSERT_EQ(help.m_iExitCode, 0) << help.m_sErr;
    const GuideText &guide = TEST_authorsGuide();
    std::set<std::string> options;
    const std::string &usage = help.m_sOut;
    for (size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
        size_t end = at + 2;
        while (end < usage.size() && (isalnum(static_cast<unsigned char>(usage[end])) || usage[end] == '-'))
            end++;
        if (end > at + 2)
            options.insert(usage.substr(at, end - at));
    }
    EXPECT_GE(options.size(), 8u) << usage;
    std::string missing;
    for (const std::string &option : options)
        if (guide.m_sAllText.find("| `" + option) == std::string::npos)
            missing += "  " + option + "\n";
    EXPECT_TRUE(missing.empty()) << "the guide's table of options leaves out:\n" << missing;
}
